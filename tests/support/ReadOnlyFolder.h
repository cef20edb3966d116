#pragma once
// While an object of this class lives, nothing can be created, removed or
// renamed in a folder, as on a read-only medium or in another user's folder.
// For an ordinary user the folder loses its write permission; root, whom
// permissions do not bind, gets the folder marked immutable (chattr +i). When
// neither takes effect here, Active() is false and Reason() says why.
#include <QString>

class TReadOnlyFolder {
public:
    explicit TReadOnlyFolder(QString Folder);
    ~TReadOnlyFolder();
    TReadOnlyFolder(const TReadOnlyFolder &) = delete;
    TReadOnlyFolder &operator=(const TReadOnlyFolder &) = delete;

    bool Active() const { return FMode != TMode::None; }
    const QString &Reason() const { return FReason; }

private:
    enum class TMode { None, Permissions, Immutable };

    bool MakeImmutable(bool On);
    // True when a new file cannot be made in the folder.
    bool Refuses() const;

    QString FFolder;
    TMode FMode = TMode::None;
    int FOldPermissions = 0;
    QString FReason;
};
