#include "uDataCtrl.h"

#include "uBDE.h"
#include "uSysUtils.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <numeric>
#include <limits>
#include <optional>
#include <utility>
#include <sqlite3.h>

namespace {

// A day-table row takes a little under 40 bytes of its file; the estimate
// errs on the generous side so that one reservation serves a whole range.
constexpr qint64 kBytesPerRow = 36;
constexpr int kCancelCheckRows = 4096;

bool Cancelled(const std::atomic_bool *Cancel) {
    return Cancel && Cancel->load(std::memory_order_relaxed);
}

void Reserve(TArchiveSeries &Points, std::size_t Extra) {
    const std::size_t Need = Points.size() + Extra;
    if (Need <= Points.DT.capacity())
        return;
    const std::size_t Target = std::max(Need, Points.DT.capacity() * 2);
    Points.DT.reserve(Target);
    Points.V.reserve(Target);
    Points.Offset.reserve(Target);
}

// Puts [From, end) in the order the readings were taken (ascending true
// time), keeping rows of equal time in their stored order. Rows are written
// as time goes, so this is rarely needed (a clock set back, a table filled by
// another tool). Offset must be filled for every point.
void SortFrom(TArchiveSeries &Points, std::size_t From) {
    const auto Utc = [&](std::size_t i) { return ArchiveUtc(Points.DT[i], Points.Offset[i]); };
    bool Sorted = true;
    for (std::size_t i = From + 1; i < Points.size() && Sorted; ++i)
        Sorted = !(Utc(i) < Utc(i - 1));
    if (Sorted)
        return;
    std::vector<std::size_t> Order(Points.size() - From);
    std::iota(Order.begin(), Order.end(), From);
    std::stable_sort(Order.begin(), Order.end(), [&](std::size_t A, std::size_t B) { return Utc(A) < Utc(B); });
    std::vector<double> DT(Order.size()), V(Order.size());
    std::vector<int> Offset(Order.size());
    for (std::size_t i = 0; i < Order.size(); ++i) {
        DT[i] = Points.DT[Order[i]];
        V[i] = Points.V[Order[i]];
        Offset[i] = Points.Offset[Order[i]];
    }
    const auto At = static_cast<std::ptrdiff_t>(From);
    std::copy(DT.begin(), DT.end(), Points.DT.begin() + At);
    std::copy(V.begin(), V.end(), Points.V.begin() + At);
    std::copy(Offset.begin(), Offset.end(), Points.Offset.begin() + At);
}

// WithOffset: the table has the OFS field (tables of older versions have not).
QByteArray SelectStatement(const QString &Name, bool HasStart, bool HasStop, bool WithOffset) {
    // The order is restored afterwards (SortFrom): sorting in SQL would cost a
    // sort of every day table, which is nearly always in order already.
    QByteArray Sql = (WithOffset ? "SELECT DT, V, OFS FROM " : "SELECT DT, V FROM ") + QuotedArchiveName(Name);
    if (HasStart)
        Sql += " WHERE DT >= ?1";
    if (HasStop)
        Sql += HasStart ? " AND DT <= ?2" : " WHERE DT <= ?2";
    return Sql;
}

// The days of a range as day numbers (whole days since 1899-12-30), both
// included; a bound of 0 is open. False for a bound that is no date.
bool DayBounds(TDateTime Start, TDateTime Stop, long long &First, long long &Last) {
    TDateTime Min = 0, Max = 0;
    ArchiveDateValue(1, 1, 1, Min);
    ArchiveDateValue(9999, 12, 31, Max);
    First = static_cast<long long>(Min);
    Last = static_cast<long long>(Max);
    return (Start == 0 || ArchiveDayNumber(Start, First)) && (Stop == 0 || ArchiveDayNumber(Stop, Last));
}

// The day folders yyyy/mm/dd under Root from day First to day Last, ascending,
// as day numbers. Years and months outside those days are not entered.
std::vector<long long> ExistingDays(const QString &Root, long long First, long long Last) {
    std::vector<long long> Days;
    if (Last < First)
        return Days;
    // A bound beyond the calendar still yields its year: no folder matches it.
    int FirstYear = 1, FirstMonth = 1, LastYear = 9999, LastMonth = 12, D = 0;
    ArchiveDate(static_cast<double>(First), FirstYear, FirstMonth, D);
    ArchiveDate(static_cast<double>(Last), LastYear, LastMonth, D);
    const auto Numbers = [](const QString &Dir, int Width) {
        QStringList Names = QDir(Dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        Names.removeIf([Width](const QString &N) {
            bool Ok = false;
            return N.size() != Width || (N.toInt(&Ok), !Ok);
        });
        return Names;
    };
    for (const QString &Y : Numbers(Root, 4)) {
        const int Year = Y.toInt();
        if (Year < FirstYear || Year > LastYear)
            continue;
        const QString YearDir = JoinPath(Root, Y);
        for (const QString &M : Numbers(YearDir, 2)) {
            const int Month = M.toInt();
            if ((Year == FirstYear && Month < FirstMonth) || (Year == LastYear && Month > LastMonth))
                continue;
            const QString MonthDir = JoinPath(YearDir, M);
            for (const QString &Dd : Numbers(MonthDir, 2)) {
                TDateTime Date = 0;
                if (ArchiveDateValue(Year, Month, Dd.toInt(), Date)) {
                    const auto Day = static_cast<long long>(Date);
                    if (Day >= First && Day <= Last)
                        Days.push_back(Day);
                }
            }
        }
    }
    std::sort(Days.begin(), Days.end());
    return Days;
}

std::vector<long long> RangeDays(TDateTime Start, TDateTime Stop) {
    long long First = 0, Last = 0;
    if (!DayBounds(Start, Stop, First, Last)) {
        qCWarning(lcArchive) << "range out of the calendar" << Start << Stop;
        return {};
    }
    return ExistingDays(DbPath(), First, Last);
}

std::size_t RowEstimate(const QString &Name, const std::vector<long long> &Days) {
    qint64 Bytes = 0;
    for (long long Day : Days)
        Bytes += QFileInfo(ArchiveFilePath(Name, static_cast<double>(Day), QStringLiteral(".db"))).size();
    return static_cast<std::size_t>(Bytes / kBytesPerRow);
}

// Reads Days one after another into Points: appending, or, with a Sink, each
// day on its own and handed on.
TArchiveRangeResult ReadDays(const QString &Name, TDateTime Start, TDateTime Stop, const std::vector<long long> &Days,
                             TArchiveSeries &Points, const TArchiveDaySink &Sink, const TArchiveProgress &Progress,
                             const std::atomic_bool *Cancel) {
    TArchiveRangeResult Result;
    const int Count = static_cast<int>(Days.size());
    for (int e = 0; e < Count; ++e) {
        if (Cancelled(Cancel)) {
            Result.Finished = false;
            break;
        }
        const auto Day = static_cast<double>(Days[static_cast<std::size_t>(e)]);
        if (Sink)
            Points.clear();
        const TArchiveDayResult R = ReadArchiveDay(Name, Day, Start, Stop, Points, Cancel);
        if (R == TArchiveDayResult::Failed)
            Result.SkippedDays.push_back(Day);
        if (Sink)
            Sink(Points);
        if (R == TArchiveDayResult::Cancelled || (Progress && !Progress(e, Count))) {
            Result.Finished = false;
            break;
        }
    }
    if (!Result.SkippedDays.empty())
        qCWarning(lcArchive) << Result.SkippedDays.size() << "days of" << Name << "could not be read";
    return Result;
}

// A folder the reader may not write to (a read-only medium, another user's
// archive) keeps SQLite from making the WAL index (-shm) that a WAL-mode file
// needs; these codes say so.
// A read-only connection to a WAL table needs a -shm file (and a -wal) beside
// it: where the folder is read-only they cannot be made, and on a full disk
// they cannot grow.
bool NoWalIndex(int Code) {
    const int Primary = Code & 0xFF;
    return Primary == SQLITE_CANTOPEN || Primary == SQLITE_READONLY || Primary == SQLITE_FULL ||
           Primary == SQLITE_IOERR;
}

// The -wal and -shm files that a failed attempt to read made beside Path
// (empty: they could not grow) are removed again, so that reading on a full
// disk leaves nothing behind. Files that were there before are kept.
void RemoveEmptyWalFiles(const QString &Path, bool HadWal, bool HadShm) {
    for (const auto &[Suffix, Had] : {std::pair{"-wal", HadWal}, std::pair{"-shm", HadShm}}) {
        const QFileInfo Info(Path + QLatin1String(Suffix));
        if (!Had && Info.exists() && Info.size() == 0)
            QFile::remove(Info.filePath());
    }
}

// Opens the table file Path for reading and prepares Sql on it, or OldSql
// when the table is of an older version without the OFS and PLANT fields
// (New tells which). False, with a warning, when it cannot be read.
bool PrepareRead(const QString &Path, TArchiveDb &Db, std::optional<TArchiveStatement> &Select, const QByteArray &Sql,
                 const QByteArray &OldSql, bool &New) {
    const auto Prepare = [&] {
        Select.emplace(Db, Sql);
        New = Select->Prepared();
        if (!New && (Db.ErrorCode() & 0xFF) == SQLITE_ERROR)
            Select.emplace(Db, OldSql);
    };
    const bool HadWal = QFileInfo::exists(Path + QStringLiteral("-wal"));
    const bool HadShm = QFileInfo::exists(Path + QStringLiteral("-shm"));
    if (Db.Open(Path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX))
        Prepare();
    if ((!Select || !Select->Prepared()) && NoWalIndex(Db.ErrorCode())) {
        Select.reset();
        Db.Close();
        RemoveEmptyWalFiles(Path, HadWal, HadShm);
        // Such a file is read as it lies on the disk, without locks: where no
        // -shm can be made no writer can be at work either (it needs one), and
        // each write folds the WAL back into the file as it closes.
        qCDebug(lcArchive) << "read-only folder or full disk, reading as immutable:" << Path;
        if (QFileInfo(Path + QStringLiteral("-wal")).size() > 0)
            qCWarning(lcArchive) << "rows still in the WAL file of" << Path << "are not read";
        if (Db.Open(ImmutableArchiveUri(Path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX))
            Prepare();
    }
    if (!Select || !Select->Prepared()) {
        qCWarning(lcArchive) << "cannot read" << Path << Db.ErrorText();
        return false;
    }
    return true;
}

// The day table of Name for Day: Missing or Failed when there is none to read.
std::optional<TArchiveDayResult> DayTablePath(const QString &Name, TDateTime Day, QString &Path) {
    Path = IsArchiveName(Name) ? ArchiveFilePath(Name, Day, QStringLiteral(".db")) : QString();
    if (Path.isEmpty()) {
        qCWarning(lcArchive) << "no day table for" << Name << Day;
        return TArchiveDayResult::Failed;
    }
    if (!QFileInfo::exists(Path))
        return TArchiveDayResult::Missing;
    return std::nullopt;
}

} // namespace

TArchiveDayResult ReadArchiveFile(const QString &Path, const QString &Name, TDateTime Start, TDateTime Stop,
                                  TArchiveSeries &Points, const std::atomic_bool *Cancel, TNullValues Nulls) {
    if (!IsArchiveName(Name)) {
        qCWarning(lcArchive) << "refused series name" << Name;
        return TArchiveDayResult::Failed;
    }
    const QFileInfo Info(Path);
    if (!Info.exists()) {
        qCDebug(lcArchive) << "no archive file" << Path;
        return TArchiveDayResult::Missing;
    }
    const QByteArray From = Start != 0 ? ArchiveTimeText(Start) : QByteArray();
    const QByteArray To = Stop != 0 ? ArchiveTimeText(Stop) : QByteArray();
    if ((Start != 0 && From.isEmpty()) || (Stop != 0 && To.isEmpty())) {
        qCWarning(lcArchive) << "range out of the calendar" << Start << Stop;
        return TArchiveDayResult::Failed;
    }
    bool WithOffset = true;
    const QByteArray Sql = SelectStatement(Name, !From.isEmpty(), !To.isEmpty(), true);
    const QByteArray OldSql = SelectStatement(Name, !From.isEmpty(), !To.isEmpty(), false);
    TArchiveDb Db;
    std::optional<TArchiveStatement> Select;
    if (!PrepareRead(Path, Db, Select, Sql, OldSql, WithOffset))
        return TArchiveDayResult::Failed;
    sqlite3_stmt *Stmt = Select->Handle();
    if (!From.isEmpty())
        sqlite3_bind_text(Stmt, 1, From.constData(), static_cast<int>(From.size()), SQLITE_STATIC);
    if (!To.isEmpty())
        sqlite3_bind_text(Stmt, 2, To.constData(), static_cast<int>(To.size()), SQLITE_STATIC);

    Reserve(Points, static_cast<std::size_t>(Info.size() / kBytesPerRow));
    const std::size_t First = Points.size();
    std::size_t Unreadable = 0;
    int Rc = SQLITE_ROW;
    for (int Row = 1; (Rc = sqlite3_step(Stmt)) == SQLITE_ROW; ++Row) {
        const auto *Text = reinterpret_cast<const char *>(sqlite3_column_text(Stmt, 0));
        const int Length = sqlite3_column_bytes(Stmt, 0);
        TDateTime DT = 0;
        const bool NoValue = sqlite3_column_type(Stmt, 1) == SQLITE_NULL;
        if (!ParseArchiveTime(Text, Length, DT) || (NoValue && Nulls == TNullValues::Skip)) {
            ++Unreadable;
        } else {
            Points.DT.push_back(DT);
            Points.V.push_back(NoValue ? std::numeric_limits<double>::quiet_NaN() : sqlite3_column_double(Stmt, 1));
            // Rows written before the field was added have no offset.
            Points.Offset.push_back(WithOffset && sqlite3_column_type(Stmt, 2) != SQLITE_NULL
                                        ? sqlite3_column_int(Stmt, 2)
                                        : LocalUtcOffset(DT));
        }
        if (Row % kCancelCheckRows == 0 && Cancelled(Cancel))
            break;
    }
    SortFrom(Points, First);
    if (Unreadable > 0)
        qCWarning(lcArchive) << Unreadable << "rows with an unreadable time or value left out of" << Path;
    if (Rc == SQLITE_ROW)
        return TArchiveDayResult::Cancelled;
    if (Rc != SQLITE_DONE) {
        qCWarning(lcArchive) << "reading stopped in" << Path << Db.ErrorText();
        return TArchiveDayResult::Failed;
    }
    return TArchiveDayResult::Read;
}

TArchiveDayResult ReadArchiveDay(const QString &Name, TDateTime Day, TDateTime Start, TDateTime Stop,
                                 TArchiveSeries &Points, const std::atomic_bool *Cancel, TNullValues Nulls) {
    const QString Path = ArchiveFilePath(Name, Day, QStringLiteral(".db"));
    if (Path.isEmpty()) {
        qCWarning(lcArchive) << "no day table for" << Name << Day;
        return TArchiveDayResult::Failed;
    }
    return ReadArchiveFile(Path, Name, Start, Stop, Points, Cancel, Nulls);
}

int ArchiveDayCount(TDateTime Start, TDateTime Stop) {
    long long First = 0, Last = 0;
    if (!ArchiveDayNumber(Start, First) || !ArchiveDayNumber(Stop, Last) || Last < First)
        return 0;
    return static_cast<int>(std::min<long long>(Last - First + 1, 1 << 24));
}

std::vector<TDateTime> ArchiveRangeDays(TDateTime Start, TDateTime Stop) {
    const std::vector<long long> Days = RangeDays(Start, Stop);
    return {Days.begin(), Days.end()};
}

std::size_t ArchiveRangeRowEstimate(const QString &Name, TDateTime Start, TDateTime Stop) {
    return RowEstimate(Name, RangeDays(Start, Stop));
}

TArchiveRangeResult ReadArchiveRangeByDay(const QString &Name, TDateTime Start, TDateTime Stop,
                                          const TArchiveDaySink &Sink, const TArchiveProgress &Progress,
                                          const std::atomic_bool *Cancel) {
    TArchiveSeries Day;
    const TArchiveDaySink Pass = Sink ? Sink : [](const TArchiveSeries &) {};
    return ReadDays(Name, Start, Stop, RangeDays(Start, Stop), Day, Pass, Progress, Cancel);
}

bool ReadArchiveRange(const QString &Name, TDateTime Start, TDateTime Stop, TArchiveSeries &Points,
                      const TArchiveProgress &Progress, const std::atomic_bool *Cancel,
                      std::vector<TDateTime> *SkippedDays) {
    Points.clear();
    if (SkippedDays)
        SkippedDays->clear();
    const std::vector<long long> Days = RangeDays(Start, Stop);
    // One reservation for the whole range, from the sizes of its files.
    Reserve(Points, RowEstimate(Name, Days));
    TArchiveRangeResult Result = ReadDays(Name, Start, Stop, Days, Points, {}, Progress, Cancel);
    if (SkippedDays)
        *SkippedDays = std::move(Result.SkippedDays);
    if (!Result.Finished)
        return false;
    // Each day is in order; rows filed under another day's folder are not.
    SortFrom(Points, 0);
    return true;
}

TArchiveDayResult ReadArchiveRowsAfter(const QString &Name, TDateTime Day, std::int64_t AfterRow, std::size_t MaxRows,
                                       std::vector<TArchiveRow> &Rows) {
    QString Path;
    if (const auto No = DayTablePath(Name, Day, Path))
        return *No;
    const QByteArray Table = QuotedArchiveName(Name);
    const QByteArray Limit = " WHERE rowid > ?1 ORDER BY rowid LIMIT ?2";
    TArchiveDb Db;
    std::optional<TArchiveStatement> Select;
    bool New = true;
    if (!PrepareRead(Path, Db, Select, "SELECT rowid, DT, V, OFS, PLANT FROM " + Table + Limit,
                     "SELECT rowid, DT, V FROM " + Table + Limit, New))
        return TArchiveDayResult::Failed;
    sqlite3_stmt *Stmt = Select->Handle();
    sqlite3_bind_int64(Stmt, 1, AfterRow);
    sqlite3_bind_int64(Stmt, 2, static_cast<sqlite3_int64>(std::min<std::size_t>(MaxRows, INT64_MAX)));
    int Rc;
    while ((Rc = sqlite3_step(Stmt)) == SQLITE_ROW) {
        TArchiveRow R;
        R.Row = sqlite3_column_int64(Stmt, 0);
        const auto *Text = reinterpret_cast<const char *>(sqlite3_column_text(Stmt, 1));
        if (!ParseArchiveTime(Text, static_cast<std::size_t>(sqlite3_column_bytes(Stmt, 1)), R.DT)) {
            // Passed over, but passed: the cursor must not stick at it.
            R.DT = 0;
        }
        R.V = sqlite3_column_type(Stmt, 2) == SQLITE_NULL ? std::numeric_limits<double>::quiet_NaN()
                                                           : sqlite3_column_double(Stmt, 2);
        R.Offset = New && sqlite3_column_type(Stmt, 3) != SQLITE_NULL ? sqlite3_column_int(Stmt, 3)
                                                                      : LocalUtcOffset(R.DT);
        if (New && sqlite3_column_type(Stmt, 4) != SQLITE_NULL)
            R.Plant = sqlite3_column_int(Stmt, 4);
        Rows.push_back(R);
    }
    if (Rc != SQLITE_DONE) {
        qCWarning(lcArchive) << "reading stopped in" << Path << Db.ErrorText();
        return TArchiveDayResult::Failed;
    }
    return TArchiveDayResult::Read;
}

TArchiveDayResult CountArchiveRowsAfter(const QString &Name, TDateTime Day, std::int64_t AfterRow,
                                        std::int64_t &Count) {
    Count = 0;
    QString Path;
    if (const auto No = DayTablePath(Name, Day, Path))
        return *No;
    const QByteArray Sql = "SELECT count(*) FROM " + QuotedArchiveName(Name) + " WHERE rowid > ?1";
    TArchiveDb Db;
    std::optional<TArchiveStatement> Select;
    bool New = true;
    if (!PrepareRead(Path, Db, Select, Sql, Sql, New))
        return TArchiveDayResult::Failed;
    sqlite3_bind_int64(Select->Handle(), 1, AfterRow);
    if (sqlite3_step(Select->Handle()) != SQLITE_ROW)
        return TArchiveDayResult::Failed;
    Count = sqlite3_column_int64(Select->Handle(), 0);
    return TArchiveDayResult::Read;
}

TArchiveDayResult LastArchiveRow(const QString &Name, TDateTime Day, TDateTime AtOrBefore, std::int64_t &Row) {
    Row = 0;
    QString Path;
    if (const auto No = DayTablePath(Name, Day, Path))
        return *No;
    const QByteArray Bound = AtOrBefore > 0 ? ArchiveTimeText(AtOrBefore) : QByteArray();
    const QByteArray Sql = "SELECT max(rowid) FROM " + QuotedArchiveName(Name) + (Bound.isEmpty() ? "" : " WHERE DT <= ?1");
    TArchiveDb Db;
    std::optional<TArchiveStatement> Select;
    bool New = true;
    if (!PrepareRead(Path, Db, Select, Sql, Sql, New))
        return TArchiveDayResult::Failed;
    if (!Bound.isEmpty())
        sqlite3_bind_text(Select->Handle(), 1, Bound.constData(), static_cast<int>(Bound.size()), SQLITE_STATIC);
    if (sqlite3_step(Select->Handle()) != SQLITE_ROW)
        return TArchiveDayResult::Failed;
    Row = sqlite3_column_int64(Select->Handle(), 0); // NULL (no row) reads as 0
    return TArchiveDayResult::Read;
}
