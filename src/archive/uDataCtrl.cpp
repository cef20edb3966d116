#include "uDataCtrl.h"

#include "uBDE.h"
#include "uSysUtils.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <numeric>
#include <optional>
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
}

// Puts [From, end) in ascending time, keeping rows of equal time in their
// stored order. Rows are written as time goes, so this is rarely needed
// (a clock set back, a table filled by another tool).
void SortFrom(TArchiveSeries &Points, std::size_t From) {
    if (std::is_sorted(Points.DT.begin() + static_cast<std::ptrdiff_t>(From), Points.DT.end()))
        return;
    std::vector<std::size_t> Order(Points.size() - From);
    std::iota(Order.begin(), Order.end(), From);
    std::stable_sort(Order.begin(), Order.end(),
                     [&](std::size_t A, std::size_t B) { return Points.DT[A] < Points.DT[B]; });
    std::vector<double> DT(Order.size()), V(Order.size());
    for (std::size_t i = 0; i < Order.size(); ++i) {
        DT[i] = Points.DT[Order[i]];
        V[i] = Points.V[Order[i]];
    }
    std::copy(DT.begin(), DT.end(), Points.DT.begin() + static_cast<std::ptrdiff_t>(From));
    std::copy(V.begin(), V.end(), Points.V.begin() + static_cast<std::ptrdiff_t>(From));
}

QByteArray SelectStatement(const QString &Name, bool HasStart, bool HasStop) {
    // The order is restored afterwards (SortFrom): sorting in SQL would cost a
    // sort of every day table, which is nearly always in order already.
    QByteArray Sql = "SELECT DT, V FROM " + QuotedArchiveName(Name);
    if (HasStart)
        Sql += " WHERE DT >= ?1";
    if (HasStop)
        Sql += HasStart ? " AND DT <= ?2" : " WHERE DT <= ?2";
    return Sql;
}

// The day folders yyyy/mm/dd under Root, ascending, as day numbers.
std::vector<long long> ExistingDays(const QString &Root) {
    std::vector<long long> Days;
    const auto Numbers = [](const QString &Dir, int Width) {
        QStringList Names = QDir(Dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        Names.removeIf([Width](const QString &N) {
            bool Ok = false;
            return N.size() != Width || (N.toInt(&Ok), !Ok);
        });
        return Names;
    };
    for (const QString &Y : Numbers(Root, 4)) {
        const QString YearDir = JoinPath(Root, Y);
        for (const QString &M : Numbers(YearDir, 2)) {
            const QString MonthDir = JoinPath(YearDir, M);
            for (const QString &D : Numbers(MonthDir, 2)) {
                TDateTime Date = 0;
                if (ArchiveDateValue(Y.toInt(), M.toInt(), D.toInt(), Date))
                    Days.push_back(static_cast<long long>(Date));
            }
        }
    }
    std::sort(Days.begin(), Days.end());
    return Days;
}

// A folder the reader may not write to (a read-only medium, another user's
// archive) keeps SQLite from making the WAL index (-shm) that a WAL-mode file
// needs; these codes say so.
bool NoWalIndex(int Code) {
    const int Primary = Code & 0xFF;
    return Primary == SQLITE_CANTOPEN || Primary == SQLITE_READONLY;
}

} // namespace

TArchiveDayResult ReadArchiveFile(const QString &Path, const QString &Name, TDateTime Start, TDateTime Stop,
                                  TArchiveSeries &Points, const std::atomic_bool *Cancel) {
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
    const QByteArray Sql = SelectStatement(Name, !From.isEmpty(), !To.isEmpty());
    TArchiveDb Db;
    std::optional<TArchiveStatement> Select;
    if (Db.Open(Path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX))
        Select.emplace(Db, Sql);
    if ((!Select || !Select->Prepared()) && NoWalIndex(Db.ErrorCode())) {
        // Such a file is read as it lies on the disk, without locks: where no
        // -shm can be made no writer can be at work either (it needs one), and
        // each write folds the WAL back into the file as it closes.
        qCDebug(lcArchive) << "read-only folder, reading as immutable:" << Path << Db.ErrorText();
        Select.reset();
        if (QFileInfo(Path + QStringLiteral("-wal")).size() > 0)
            qCWarning(lcArchive) << "rows still in the WAL file of" << Path << "are not read";
        if (Db.Open(ImmutableArchiveUri(Path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX))
            Select.emplace(Db, Sql);
    }
    if (!Select || !Select->Prepared()) {
        qCWarning(lcArchive) << "cannot read" << Path << Db.ErrorText();
        return TArchiveDayResult::Failed;
    }
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
        if (sqlite3_column_type(Stmt, 1) == SQLITE_NULL || !ParseArchiveTime(Text, Length, DT)) {
            ++Unreadable;
        } else {
            Points.DT.push_back(DT);
            Points.V.push_back(sqlite3_column_double(Stmt, 1));
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
                                 TArchiveSeries &Points, const std::atomic_bool *Cancel) {
    const QString Path = ArchiveFilePath(Name, Day, QStringLiteral(".db"));
    if (Path.isEmpty()) {
        qCWarning(lcArchive) << "no day table for" << Name << Day;
        return TArchiveDayResult::Failed;
    }
    return ReadArchiveFile(Path, Name, Start, Stop, Points, Cancel);
}

int ArchiveDayCount(TDateTime Start, TDateTime Stop) {
    long long First = 0, Last = 0;
    if (!ArchiveDayNumber(Start, First) || !ArchiveDayNumber(Stop, Last) || Last < First)
        return 0;
    return static_cast<int>(std::min<long long>(Last - First + 1, 1 << 24));
}

bool ReadArchiveRange(const QString &Name, TDateTime Start, TDateTime Stop, TArchiveSeries &Points,
                      const TArchiveProgress &Progress, const std::atomic_bool *Cancel) {
    Points.clear();
    std::vector<long long> Days;
    if (Start != 0 && Stop != 0) {
        long long First = 0;
        const int Count = ArchiveDayCount(Start, Stop);
        if (Count > 0 && ArchiveDayNumber(Start, First))
            for (int e = 0; e < Count; ++e)
                Days.push_back(First + e);
    } else {
        long long First = 0, Last = 0;
        const bool HasFirst = Start != 0 && ArchiveDayNumber(Start, First);
        const bool HasLast = Stop != 0 && ArchiveDayNumber(Stop, Last);
        for (long long Day : ExistingDays(DbPath()))
            if ((!HasFirst || Day >= First) && (!HasLast || Day <= Last))
                Days.push_back(Day);
    }

    // One reservation for the whole range, from the sizes of its files.
    qint64 Bytes = 0;
    for (long long Day : Days)
        Bytes += QFileInfo(ArchiveFilePath(Name, static_cast<double>(Day), QStringLiteral(".db"))).size();
    Reserve(Points, static_cast<std::size_t>(Bytes / kBytesPerRow));

    const int Count = static_cast<int>(Days.size());
    for (int e = 0; e < Count; ++e) {
        if (Cancelled(Cancel))
            return false;
        const TArchiveDayResult R = ReadArchiveDay(Name, static_cast<double>(Days[e]), Start, Stop, Points, Cancel);
        if (R == TArchiveDayResult::Cancelled || (Progress && !Progress(e, Count)))
            return false;
    }
    // Each day is in order; rows filed under another day's folder are not.
    SortFrom(Points, 0);
    return true;
}
