#pragma once
// One ini file: [Section] lines and key=value lines in Windows-1251 text.
// Sections and keys match without regard to letter case. Writing a key rewrites
// the file at once, replacing the key in place or appending it to its section
// (a new section goes to the end), and keeps every other line byte for byte.
// The file is replaced atomically, so it is never left half-written.
//
// A file that exists but could not be read whole (no permission, an I/O error,
// a folder at that path, over 64 MiB) reads as empty and is never written: a
// write would replace every key the file holds with the one key written.
#include "uFormat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

// A settings file could not be written.
class EIniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TIniFile {
public:
    // Reads the file; a missing or unreadable file reads as empty.
    explicit TIniFile(QString FileName);

    const QString &FileName() const { return FFileName; }
    // Why the file last read could not be read; empty when it was read or is missing.
    const QString &LoadError() const { return FLoadError; }

    QString ReadString(const QString &Section, const QString &Key, const QString &Default) const;
    // Decimal or "0x" hexadecimal (kept in 32 bits); anything else yields Default.
    int ReadInteger(const QString &Section, const QString &Key, int Default) const;
    // Stored as an integer; any non-zero integer is true.
    bool ReadBool(const QString &Section, const QString &Key, bool Default) const;
    double ReadFloat(const QString &Section, const QString &Key, double Default,
                     const TFormatSettings &Settings = DefaultFormatSettings()) const;

    // Each write rereads the file and throws EIniFileError when the file
    // cannot be read (see above) or written; the file then stays as it was.
    void WriteString(const QString &Section, const QString &Key, const QString &Value);
    void WriteInteger(const QString &Section, const QString &Key, int Value);
    void WriteBool(const QString &Section, const QString &Key, bool Value);
    void WriteFloat(const QString &Section, const QString &Key, double Value,
                    const TFormatSettings &Settings = DefaultFormatSettings());

    // Between BeginUpdate and EndUpdate writes are kept in memory and the file
    // is written once, at EndUpdate: a set of keys lands on disk whole or not at all.
    void BeginUpdate();
    void EndUpdate(); // throws EIniFileError (as a write does); the file then stays as it was

    bool SectionExists(const QString &Section) const;
    bool ValueExists(const QString &Section, const QString &Key) const;
    QStringList ReadSection(const QString &Section) const; // key names in file order
    QStringList ReadSections() const;

    // Creates the file empty, and its folder, when it does not exist; false on failure.
    static bool CreateEmpty(const QString &FileName);

private:
    struct TLine {
        QByteArray Text;   // the line without its end
        QByteArray Ending; // "\r\n", "\n", "\r" or empty for a last line without one
    };

    void Load();
    // Throws EIniFileError when the file did not load: writing it would lose what it holds.
    void CheckLoaded() const;
    void Save() const; // CheckLoaded first

    // Index of the line holding Key in Section, or -1.
    qsizetype FindKey(const QString &Section, const QString &Key) const;
    // Index of the header of Section, or -1.
    qsizetype FindSection(const QString &Section) const;
    qsizetype SectionEnd(qsizetype Header) const;

    QString FFileName;
    std::vector<TLine> FLines;
    QString FLoadError;
    int FUpdating = 0;
};
