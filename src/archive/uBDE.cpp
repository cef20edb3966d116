#include "uBDE.h"

#include "uFormat.h"
#include "uIniFile.h"
#include "uMakeFolder.h"
#include "uSysUtils.h"
#include "uWin1251.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <sqlite3.h>

namespace {

const QString kSection = QStringLiteral("BDE");
const QString kAliasKey = QStringLiteral("dbAlias");
const QString kPathKey = QStringLiteral("dbPath");
const QString kDefaultAlias = QStringLiteral("Lanx1");

// CreateArchiveTable builds a new day table as "<name>.db.new-<32 hex digits>"
// beside it; SQLite puts its -journal, -wal and -shm files beside that.
const QString kTempTag = QStringLiteral(".db.new-");
// A temporary this young may belong to a table being created right now by
// another process writing the same day; creating one takes milliseconds.
constexpr qint64 kTempLeftoverSeconds = 60;
// How often a process looks again into a day folder it writes to.
constexpr auto kLeftoverRescan = std::chrono::seconds(60);

// The settings are loaded by the GUI thread and read by the polling thread.
struct TArchiveSettings {
    std::mutex Lock;
    QString Alias = kDefaultAlias;
    QString Path; // empty: AppDir/DATA
    bool Pinned = false; // set for this run: the settings file is neither read nor written
};

TArchiveSettings &Settings() {
    static TArchiveSettings S;
    return S;
}

QString DefaultDbPath() {
    return JoinPath(AppDir(), QStringLiteral("DATA"));
}

// Settings files written on Windows name folders with backslashes.
QString NormalisedPath(const QString &Path) {
    QString P = Path.trimmed();
    P.replace(u'\\', u'/');
    return P;
}

QString TablePath(const QString &Name, const QString &FileName, TDateTime DT, const QString &Ext) {
    const QString Given = FileName.trimmed();
    return Given.isEmpty() ? ArchiveFilePath(Name, DT, Ext) : Given;
}

// The file of a day table must exist before the first insert; an empty file
// (left by a crash, say) has no table yet either.
bool TableFileMissing(const QString &Path) {
    const QFileInfo Info(Path);
    return !Info.exists() || Info.size() == 0;
}

enum class TInsertResult { Done, Broken, Failed };

// Why the last archive write of this thread failed (a poll thread writes and
// then asks, so no other thread's failure can come in between).
thread_local QString GLastWriteFailure;

void NoteWriteFailure(const QString &Path, const QString &Reason) {
    GLastWriteFailure = Path + QStringLiteral(": ") + Reason;
}

// SQLite's codes as the user reads them.
QString SqliteReason(int Rc) {
    switch (Rc & 0xFF) {
    case SQLITE_READONLY: return QStringLiteral("только для чтения");
    case SQLITE_FULL: return QStringLiteral("нет места на диске");
    case SQLITE_CANTOPEN: return QStringLiteral("файл не открывается");
    case SQLITE_PERM:
    case SQLITE_AUTH: return QStringLiteral("нет прав на запись");
    case SQLITE_IOERR: return QStringLiteral("ошибка ввода-вывода");
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("файл занят другой программой");
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: return QStringLiteral("файл повреждён");
    default: return QStringLiteral("ошибка базы данных (код %1)").arg(Rc);
    }
}

// Tables of older versions have V and DT only: the other fields are added
// (which changes nothing of the rows already there).
bool AddRowExtras(TArchiveDb &Db, const QString &Name) {
    const QByteArray Table = QuotedArchiveName(Name);
    const QByteArray Sql = "ALTER TABLE " + Table + " ADD COLUMN OFS INTEGER; ALTER TABLE " + Table +
                           " ADD COLUMN PLANT INTEGER;";
    if (Db.Exec(Sql.constData()))
        return true;
    qCWarning(lcArchive) << "cannot add the offset and plant fields to" << Name << Db.ErrorText();
    return false;
}

TInsertResult InsertRow(const QString &Path, const QString &Name, const QByteArray &DT, double V, int Offset,
                        std::optional<int> Plant) {
    TArchiveDb Db;
    if (!Db.Open(Path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX)) {
        qCWarning(lcArchive) << "cannot open" << Path << Db.ErrorText();
        NoteWriteFailure(Path, SqliteReason(Db.ErrorCode()));
        return TInsertResult::Failed;
    }
    // Each reading opens, inserts and closes, and closing the last connection
    // folds the WAL back into the file; syncing the disk at every reading would
    // cap the rate at the disk's sync latency. Readings reach the OS at once
    // (a crash of the program loses none); a power cut may lose the last ones.
    Db.Exec("PRAGMA synchronous=OFF");
    const QByteArray Sql = "INSERT INTO " + QuotedArchiveName(Name) + " (V, DT, OFS, PLANT) VALUES (?1, ?2, ?3, ?4)";
    std::optional<TArchiveStatement> Insert;
    Insert.emplace(Db, Sql);
    if (!Insert->Prepared() && Db.ErrorText().contains(QLatin1String("no column named")) && AddRowExtras(Db, Name))
        Insert.emplace(Db, Sql);
    int Rc = Db.ErrorCode();
    if (Insert->Prepared()) {
        sqlite3_stmt *S = Insert->Handle();
        sqlite3_bind_double(S, 1, V);
        sqlite3_bind_text(S, 2, DT.constData(), static_cast<int>(DT.size()), SQLITE_STATIC);
        sqlite3_bind_int(S, 3, Offset);
        if (Plant)
            sqlite3_bind_int(S, 4, *Plant);
        else
            sqlite3_bind_null(S, 4);
        Rc = sqlite3_step(S);
        if (Rc == SQLITE_DONE)
            return TInsertResult::Done;
        Rc = Db.ErrorCode();
    }
    qCWarning(lcArchive) << "cannot insert into" << Path << Db.ErrorText();
    NoteWriteFailure(Path, SqliteReason(Rc));
    const int Primary = Rc & 0xFF;
    return Primary == SQLITE_NOTADB || Primary == SQLITE_CORRUPT ? TInsertResult::Broken : TInsertResult::Failed;
}

// A file that is not a database (or a damaged one) would make every further
// reading of that day fail; it is kept under another name for inspection and
// the day's table starts afresh.
bool MoveAside(const QString &Path) {
    for (int i = 1; i < 1000; ++i) {
        const QString Aside = Path + QStringLiteral(".bad") + (i > 1 ? QString::number(i) : QString());
        if (!QFile::exists(Aside) && QFile::rename(Path, Aside)) {
            qCWarning(lcArchive) << "unusable day table moved aside:" << Path << "->" << Aside;
            return true;
        }
    }
    return false;
}

// Creates the table in an existing file (WAL mode, so that readers never wait
// for the writer nor block it).
bool CreateTableIn(const QString &Path, const QString &Name, int Flags) {
    TArchiveDb Db;
    if (!Db.Open(Path, Flags | SQLITE_OPEN_NOMUTEX)) {
        qCWarning(lcArchive) << "cannot create" << Path << Db.ErrorText();
        NoteWriteFailure(Path, SqliteReason(Db.ErrorCode()));
        return false;
    }
    const QByteArray Sql = "PRAGMA journal_mode=WAL; CREATE TABLE IF NOT EXISTS " + QuotedArchiveName(Name) +
                           " (V REAL, DT TEXT, OFS INTEGER, PLANT INTEGER);";
    if (!Db.Exec(Sql.constData())) {
        qCWarning(lcArchive) << "cannot create the table in" << Path << Db.ErrorText();
        NoteWriteFailure(Path, SqliteReason(Db.ErrorCode()));
        return false;
    }
    return true;
}

// Removes the temporaries of table files that a process killed while it
// created them left in Folder. Only names of exactly that form are touched.
void RemoveTableLeftovers(const QString &Folder) {
    static const QRegularExpression Leftover(
        QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*\\.db\\.new-[0-9a-f]{32}(-journal|-wal|-shm)?$"));
    // File times are the kernel's: compared with the system clock, not the
    // program's (which a test may have moved).
    const QDateTime Now = QDateTime::currentDateTime();
    QDirIterator It(Folder, {QLatin1Char('*') + kTempTag + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    while (It.hasNext()) {
        const QFileInfo Info = It.nextFileInfo();
        if (!Leftover.match(Info.fileName()).hasMatch())
            continue;
        // Either way: a clock set back makes old files look new.
        if (std::abs(Info.lastModified().secsTo(Now)) < kTempLeftoverSeconds)
            continue;
        if (QFile::remove(Info.filePath()))
            qCInfo(lcArchive) << "left-over temporary removed:" << Info.filePath();
        else
            qCWarning(lcArchive) << "cannot remove the left-over temporary" << Info.filePath();
    }
}

// RemoveTableLeftovers for the folder of a table about to be written: at the
// first write into a folder and again after kLeftoverRescan, so that not every
// reading archived costs a listing of its folder.
void TidyFolderOf(const QString &Path) {
    struct TLast {
        std::mutex Lock;
        QString Folder;
        std::chrono::steady_clock::time_point At;
    };
    static TLast Last;
    const QString Folder = ExtractFileDir(Path);
    const auto Now = std::chrono::steady_clock::now();
    {
        std::lock_guard Guard(Last.Lock);
        if (Folder == Last.Folder && Now - Last.At < kLeftoverRescan)
            return;
        Last.Folder = Folder;
        Last.At = Now;
    }
    RemoveTableLeftovers(Folder);
}

} // namespace

void LoadArchiveSettings() {
    {
        TArchiveSettings &S = Settings();
        std::lock_guard Guard(S.Lock);
        if (S.Pinned)
            return;
    }
    TIniFile Ini(IniPath(QStringLiteral("bde.ini")));
    const QString Alias = Ini.ReadString(kSection, kAliasKey, kDefaultAlias);
    QString Path = NormalisedPath(Ini.ReadString(kSection, kPathKey, QString()));
    if (Path.isEmpty()) {
        Path = DefaultDbPath();
        try {
            Ini.WriteString(kSection, kAliasKey, Alias);
            Ini.WriteString(kSection, kPathKey, Path);
        } catch (const EIniFileError &E) {
            qCWarning(lcArchive) << "archive settings not saved:" << E.what();
        }
    }
    TArchiveSettings &S = Settings();
    std::lock_guard Guard(S.Lock);
    S.Alias = Alias;
    S.Path = Path;
}

QString DbAlias() {
    TArchiveSettings &S = Settings();
    std::lock_guard Guard(S.Lock);
    return S.Alias;
}

QString DbPath() {
    TArchiveSettings &S = Settings();
    std::lock_guard Guard(S.Lock);
    return S.Path.isEmpty() ? DefaultDbPath() : S.Path;
}

void SetDbPath(const QString &Path) {
    TArchiveSettings &S = Settings();
    std::lock_guard Guard(S.Lock);
    S.Path = NormalisedPath(Path);
}

void PinDbPath(const QString &Path) {
    TArchiveSettings &S = Settings();
    std::lock_guard Guard(S.Lock);
    S.Path = NormalisedPath(Path);
    S.Pinned = !S.Path.isEmpty();
}

QString ArchiveDayFolder(TDateTime DT) {
    int Y = 0, M = 0, D = 0;
    if (!ArchiveDate(DT, Y, M, D))
        return {};
    return QStringLiteral("%1/%2/%3").arg(Y, 4, 10, QChar(u'0')).arg(M, 2, 10, QChar(u'0')).arg(D, 2, 10, QChar(u'0'));
}

QString ArchiveFilePath(const QString &Name, TDateTime DT, const QString &Ext) {
    const QString Day = ArchiveDayFolder(DT);
    if (!IsArchiveName(Name) || Day.isEmpty())
        return {};
    return JoinPath(JoinPath(DbPath(), Day), Name + Ext);
}

bool CreateArchiveTable(const QString &Path) {
    const QString Target = Path.trimmed();
    const QString Name = FileNameWithoutExt(Target);
    if (Target.isEmpty() || !IsArchiveName(Name)) {
        qCWarning(lcArchive) << "refused table file name" << Path;
        return false;
    }
    if (!TableFileMissing(Target))
        return CreateTableIn(Target, Name, SQLITE_OPEN_READWRITE);
    // A new table is built under a temporary name and then moved into place, so
    // a reader never finds a day file without its table.
    const QString Temp = Target + QStringLiteral(".new-") + QUuid::createUuid().toString(QUuid::Id128);
    const bool Built = CreateTableIn(Temp, Name, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (Built && (QFile::rename(Temp, Target) || QFileInfo(Target).size() > 0)) {
        QFile::remove(Temp);
        return true;
    }
    QFile::remove(Temp);
    // Renaming fails when an empty file is in the way: the table goes into it.
    return QFileInfo::exists(Target) && CreateTableIn(Target, Name, SQLITE_OPEN_READWRITE);
}

QString ArchiveWriteFailure() {
    return GLastWriteFailure;
}

bool ArchiveWrite(const QString &Name, const QString &FileName, TDateTime DT, double V,
                  const TArchiveRowExtras &Extras) {
    const QString Table = Name.trimmed();
    if (!IsArchiveName(Table)) {
        qCWarning(lcArchive) << "refused series name" << Name;
        return false;
    }
    const QString Path = TablePath(Table, FileName, DT, QStringLiteral(".db"));
    const QByteArray Time = ArchiveTimeText(DT);
    if (Path.isEmpty() || Time.isEmpty())
        return false;
    TidyFolderOf(Path);
    // Folders and table are made by the first reading of a day only.
    if (TableFileMissing(Path)) {
        if (!ForceDirectories(ExtractFileDir(Path))) {
            NoteWriteFailure(ExtractFileDir(Path), FileErrorReason(errno));
            return false;
        }
        if (!CreateArchiveTable(Path))
            return false;
    }
    const int Offset = Extras.UtcOffset ? *Extras.UtcOffset : LocalUtcOffset(DT);
    switch (InsertRow(Path, Table, Time, V, Offset, Extras.PlantNumber)) {
    case TInsertResult::Done:
        return true;
    case TInsertResult::Broken:
        return MoveAside(Path) && CreateArchiveTable(Path) &&
               InsertRow(Path, Table, Time, V, Offset, Extras.PlantNumber) == TInsertResult::Done;
    case TInsertResult::Failed:
        break;
    }
    return false;
}

bool ArchiveWriteText(const QString &Name, const QString &FileName, int Precision, int Digits, TDateTime DT,
                      double V) {
    const QString Series = Name.trimmed();
    if (!IsArchiveName(Series)) {
        qCWarning(lcArchive) << "refused series name" << Name;
        return false;
    }
    const QString Path = TablePath(Series, FileName, DT, QStringLiteral(".txt"));
    if (Path.isEmpty())
        return false;
    const TFormatSettings &Format = DefaultFormatSettings();
    const QByteArray Line = ToWin1251(DateTimeToStr(DT, Format) + u' ' + FormatNumber(V, Precision, Digits, Format) +
                                      QStringLiteral("\r\n"));
    QFile File(Path);
    // Unbuffered, so that a short write (disk full, size limit) shows in the
    // count written.
    const QIODevice::OpenMode Mode = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;
    // The day folder is missing only for the first line of a day.
    if (!File.open(Mode) && !(ForceDirectories(ExtractFileDir(Path)) && File.open(Mode))) {
        const int Errno = errno;
        qCWarning(lcArchive) << "cannot open" << Path << File.errorString();
        NoteWriteFailure(Path, FileErrorReason(Errno));
        return false;
    }
    const qint64 OldSize = File.size();
    errno = 0;
    const qint64 Written = File.write(Line);
    if (Written == Line.size())
        return true;
    NoteWriteFailure(Path, FileErrorReason(errno ? errno : ENOSPC));
    qCWarning(lcArchive) << "cannot write" << Path
                         << (Written < 0 ? File.errorString()
                                         : QStringLiteral("%1 of %2 bytes written").arg(Written).arg(Line.size()));
    // What was written of the line goes again: the next line would be glued
    // to that fragment.
    if (File.size() != OldSize && !File.resize(OldSize))
        qCWarning(lcArchive) << "cannot cut" << Path << "back to" << OldSize << "bytes:" << File.errorString();
    return false;
}
