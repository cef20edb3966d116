#include "uPortOpenFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

QString Comm(const QString &Pid) {
    QFile F(QStringLiteral("/proc/") + Pid + QStringLiteral("/comm"));
    if (!F.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(F.readAll()).trimmed();
}

// The pid in a UUCP lock file (/var/lock/LCK..ttyUSB0): ten characters of
// ASCII, or a binary int of old programs.
QString LockPid(const QString &Name) {
    const QString Base = QFileInfo(Name).fileName();
    for (const char *Dir : {"/var/lock", "/run/lock"}) {
        QFile F(QLatin1String(Dir) + QStringLiteral("/LCK..") + Base);
        if (!F.open(QIODevice::ReadOnly))
            continue;
        const QByteArray Data = F.read(64);
        bool Ok = false;
        const int Pid = Data.trimmed().toInt(&Ok);
        if (Ok && Pid > 0)
            return QString::number(Pid);
        if (Data.size() == 4) {
            int Binary = 0;
            std::memcpy(&Binary, Data.constData(), 4);
            if (Binary > 0)
                return QString::number(Binary);
        }
    }
    return {};
}

} // namespace

QString TPortOpenFailure::HolderOf(const QString &Name) {
    const QString Target = QFileInfo(Name).canonicalFilePath();
    if (Target.isEmpty())
        return {};
    const QString Self = QString::number(::getpid());
    const QStringList Pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &Pid : Pids) {
        bool Number = false;
        Pid.toInt(&Number);
        if (!Number || Pid == Self)
            continue;
        const QDir Fds(QStringLiteral("/proc/") + Pid + QStringLiteral("/fd"));
        for (const QFileInfo &Fd : Fds.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
            if (Fd.symLinkTarget() == Target)
                return Comm(Pid) + QStringLiteral(" (pid ") + Pid + u')';
    }
    const QString Locked = LockPid(Name);
    if (!Locked.isEmpty() && Locked != Self && QFileInfo::exists(QStringLiteral("/proc/") + Locked))
        return Comm(Locked) + QStringLiteral(" (pid ") + Locked + u')';
    return {};
}

TPortOpenFailure TPortOpenFailure::Of(const QString &Name, const QSerialPort &Port) {
    TKind Kind = TKind::Other;
    switch (Port.error()) {
    case QSerialPort::DeviceNotFoundError: Kind = TKind::NotFound; break;
    case QSerialPort::PermissionError: Kind = TKind::NoPermission; break;
    default: break;
    }
    return Of(Name, Kind, Port.errorString());
}

TPortOpenFailure TPortOpenFailure::Of(const QString &Name, TKind Kind, const QString &System) {
    TPortOpenFailure F;
    F.Kind = Kind;
    F.System = System;
    if (Kind == TKind::NoPermission || Kind == TKind::Busy || Kind == TKind::Other) {
        // Qt says "permission" both for a file we may not open and for one
        // that another program holds (the lock): the file tells them apart.
        const QByteArray Path = QFile::encodeName(Name);
        if (::access(Path.constData(), R_OK | W_OK) != 0) {
            if (errno == ENOENT)
                F.Kind = TKind::NotFound;
            else if (errno == EACCES || errno == EPERM)
                F.Kind = TKind::NoPermission;
        } else if (Kind == TKind::NoPermission) {
            F.Kind = TKind::Busy;
        }
    }
    if (F.Kind == TKind::Busy)
        F.Holder = HolderOf(Name);
    return F;
}

QString TPortOpenFailure::RussianText() const {
    switch (Kind) {
    case TKind::None: return {};
    case TKind::NotFound: return QStringLiteral("порт не найден");
    case TKind::NoPermission:
        return QStringLiteral("нет прав на порт; добавьте пользователя в группу dialout "
                              "(sudo usermod -aG dialout $USER) и войдите в систему заново");
    case TKind::Busy:
        return Holder.isEmpty() ? QStringLiteral("порт занят другой программой")
                                : QStringLiteral("порт занят программой ") + Holder;
    case TKind::Other: break;
    }
    return System;
}

QString TPortOpenFailure::EnglishText() const {
    switch (Kind) {
    case TKind::None: return {};
    case TKind::NotFound: return QStringLiteral("no such port");
    case TKind::NoPermission:
        return QStringLiteral("permission denied; join the dialout group (sudo usermod -aG dialout $USER) "
                              "and log in again");
    case TKind::Busy:
        return Holder.isEmpty() ? QStringLiteral("the port is busy (another program has it open)")
                                : QStringLiteral("the port is busy: ") + Holder + QStringLiteral(" has it open");
    case TKind::Other: break;
    }
    return System;
}
