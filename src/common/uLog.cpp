#include "uLog.h"

#include "uClock.h"
#include "uMakeFolder.h"
#include "uSysUtils.h"
#include "uWin1251.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

TLog::TLog(const TLog &Other) : FFileName(Other.FileName()) {}

TLog &TLog::operator=(const TLog &Other) {
    if (this != &Other)
        Assign(Other);
    return *this;
}

QString TLog::FileName() const {
    std::lock_guard Guard(FLock);
    return FFileName;
}

void TLog::SetFileName(const QString &Name) {
    if (Name.isEmpty())
        return;
    std::lock_guard Guard(FLock);
    FFileName = Name;
}

void TLog::Assign(const TLog &Source) {
    const QString Name = Source.FileName(); // outside our lock: Source may be *this
    std::lock_guard Guard(FLock);
    FFileName = Name;
}

void TLog::Write(const QString &Text) {
    const QString Name = FileName();
    // A folder that cannot be made shows up as the open error below.
    ForceDirectories(ExtractFileDir(Name));

    const QByteArray Line = ToWin1251(CurrentDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss,zzz")))
                            + ' ' + ToWin1251(Text) + "\r\n";
    // Append mode also creates a missing file; truncating a file that merely
    // refused to open would lose the lines already logged.
    QFile File(Name);
    const auto Fail = [&](const char *What) {
        // Qt refuses a folder itself, without a system error.
        const int Errno = QFileInfo(Name).isDir() ? EISDIR : errno ? errno : EIO;
        return ELogError(std::string(What) + ' ' + Name.toStdString() + ": " + File.errorString().toStdString(), Name,
                         FileErrorReason(Errno));
    };
    errno = 0;
    if (!File.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        throw Fail("Cannot open log");
    if (File.write(Line) != Line.size() || !File.flush())
        throw Fail("Cannot write log");
    File.close();
    if (File.error() != QFileDevice::NoError)
        throw Fail("Cannot close log");
}
