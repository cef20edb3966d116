#pragma once
// A plain text log: each Write appends one time-stamped Windows-1251 line and
// closes the file again, so a crash loses nothing already written and other
// programs may read the file at any time.
#include <QString>
#include <mutex>
#include <stdexcept>

// The log file could not be opened or written.
class ELogError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    ELogError(const std::string &What, const QString &File, const QString &Reason)
        : std::runtime_error(What), FFile(File), FReason(Reason) {}
    // The log file, and why it failed as the user reads it.
    const QString &File() const { return FFile; }
    const QString &Reason() const { return FReason; }

private:
    QString FFile, FReason;
};

class TLog {
public:
    TLog() = default;
    TLog(const TLog &Other);
    TLog &operator=(const TLog &Other);

    QString FileName() const;
    // An empty name keeps the previous one.
    void SetFileName(const QString &Name);
    // Takes the file name of Source.
    void Assign(const TLog &Source);

    // Appends "dd.MM.yyyy HH:mm:ss,zzz Text" and CR LF, creating missing
    // folders and the file; throws ELogError when that fails.
    void Write(const QString &Text);

private:
    mutable std::mutex FLock; // the name may be changed while another thread writes
    QString FFileName = QStringLiteral("log.txt");
};
