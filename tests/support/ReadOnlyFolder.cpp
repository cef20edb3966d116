#include "ReadOnlyFolder.h"

#include <QFile>
#include <QUuid>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

TReadOnlyFolder::TReadOnlyFolder(QString Folder) : FFolder(std::move(Folder)) {
    struct stat Info {};
    if (::stat(QFile::encodeName(FFolder).constData(), &Info) != 0 || !S_ISDIR(Info.st_mode)) {
        FReason = QStringLiteral("no folder ") + FFolder;
        return;
    }
    FOldPermissions = static_cast<int>(Info.st_mode & 07777);
    if (::chmod(QFile::encodeName(FFolder).constData(), static_cast<mode_t>(FOldPermissions & ~0222)) == 0) {
        if (Refuses()) {
            FMode = TMode::Permissions;
            return;
        }
        ::chmod(QFile::encodeName(FFolder).constData(), static_cast<mode_t>(FOldPermissions));
    }
    if (MakeImmutable(true)) {
        if (Refuses()) {
            FMode = TMode::Immutable;
            return;
        }
        MakeImmutable(false);
    }
    FReason = QStringLiteral("cannot make %1 read-only here: neither its permissions nor the immutable flag "
                             "(chattr +i) stop this process from writing in it")
                  .arg(FFolder);
}

TReadOnlyFolder::~TReadOnlyFolder() {
    if (FMode == TMode::Permissions)
        ::chmod(QFile::encodeName(FFolder).constData(), static_cast<mode_t>(FOldPermissions));
    else if (FMode == TMode::Immutable)
        MakeImmutable(false);
}

bool TReadOnlyFolder::MakeImmutable(bool On) {
    const int Fd = ::open(QFile::encodeName(FFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0)
        return false;
    int Flags = 0;
    bool Done = ::ioctl(Fd, FS_IOC_GETFLAGS, &Flags) == 0;
    if (Done) {
        Flags = On ? Flags | FS_IMMUTABLE_FL : Flags & ~FS_IMMUTABLE_FL;
        Done = ::ioctl(Fd, FS_IOC_SETFLAGS, &Flags) == 0;
    }
    ::close(Fd);
    return Done;
}

bool TReadOnlyFolder::Refuses() const {
    const QByteArray Probe = QFile::encodeName(FFolder + QStringLiteral("/probe-") + QUuid::createUuid().toString(QUuid::Id128));
    const int Fd = ::open(Probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (Fd < 0)
        return true;
    ::close(Fd);
    ::unlink(Probe.constData());
    return false;
}
