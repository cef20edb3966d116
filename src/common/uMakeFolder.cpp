#include "uMakeFolder.h"

#include "uMessages.h"
#include "uSysUtils.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

Q_LOGGING_CATEGORY(lcFolders, "lanx1.folders")

namespace {

struct TFailed {
    std::mutex Lock;
    QSet<QString> Folders;
};

TFailed &Failed() {
    static TFailed F;
    return F;
}

QString FolderOf(const QString &FilePath) {
    return QFileInfo(FilePath).absolutePath();
}

} // namespace

QString FileErrorReason(int Errno) {
    switch (Errno) {
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав на запись");
    case EROFS:
        return QStringLiteral("носитель только для чтения");
    case ENOSPC:
        return QStringLiteral("нет места на диске");
    case EDQUOT:
        return QStringLiteral("превышена дисковая квота");
    case EEXIST:
    case ENOTDIR:
        return QStringLiteral("на этом месте файл, а не папка");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    case ENOENT:
        return QStringLiteral("нет такого файла или папки");
    case EISDIR:
        return QStringLiteral("на этом месте папка, а не файл");
    case EBUSY:
        return QStringLiteral("занято другой программой");
    default:
        return QString::fromLocal8Bit(std::strerror(Errno));
    }
}

bool MakeFolderOf(const QString &FilePath, QString *Reason) {
    const QString Folder = FolderOf(FilePath);
    const QFileInfo Info(Folder);
    if (Info.isDir())
        return true;
    std::error_code Error;
    const std::filesystem::path Path(Folder.toStdString());
    std::filesystem::create_directories(Path, Error);
    if (!Error && std::filesystem::is_directory(Path, Error) && !Error)
        return true;
    // create_directories gives no error for a file in the way: is_directory then tells.
    const QString Why = FileErrorReason(Error ? Error.value() : ENOTDIR);
    if (Reason)
        *Reason = Why;
    qCWarning(lcFolders) << "cannot create the folder" << Folder << ":" << Why;
    bool First = false;
    {
        TFailed &F = Failed();
        std::lock_guard Guard(F.Lock);
        if (!F.Folders.contains(Folder)) {
            F.Folders.insert(Folder);
            First = true;
        }
    }
    if (First)
        ShowMessageBox(QStringLiteral("Ошибка"),
                       QStringLiteral("Не удалось создать папку\r") + Folder + QStringLiteral("\r") + Why,
                       TMsgIcon::Error);
    return false;
}

bool FolderFailed(const QString &FilePath) {
    const QString Folder = FolderOf(FilePath);
    TFailed &F = Failed();
    std::lock_guard Guard(F.Lock);
    return F.Folders.contains(Folder) && !QFileInfo(Folder).isDir();
}

void ForgetFailedFolders() {
    TFailed &F = Failed();
    std::lock_guard Guard(F.Lock);
    F.Folders.clear();
}
