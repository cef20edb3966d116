#pragma once
// Low-level pieces shared by the archive writer and reader: the logging
// category, a scoped SQLite connection and statement, the check of series
// names and the fixed text layout of the DT field.
#include "uDateTime.h"

#include <QLoggingCategory>
#include <QString>

#include <cstddef>

struct sqlite3;
struct sqlite3_stmt;

Q_DECLARE_LOGGING_CATEGORY(lcArchive)

// Milliseconds a connection waits for a lock held by another connection
// (the polling thread writing while the graph window reads) before it fails.
int ArchiveBusyTimeout();
void SetArchiveBusyTimeout(int Milliseconds); // for tests and tools

// A series name is used as a table name and a file name, so only plain
// identifiers are accepted: a letter or '_', then letters, digits or '_'.
bool IsArchiveName(const QString &Name);
// The name in double quotes, ready to stand in a statement; only for names
// that passed IsArchiveName.
QByteArray QuotedArchiveName(const QString &Name);

// The DT field holds local date and time as "yyyy-MM-dd HH:mm:ss.zzz", so that
// text order is time order and any SQLite tool shows it readably.
constexpr std::size_t kArchiveTimeLength = 23;
// Writes the text of Value (rounded to the millisecond) into Text, which must
// hold kArchiveTimeLength bytes; no terminating zero. False for a date outside
// years 1..9999 or a value that is not finite.
bool FormatArchiveTime(TDateTime Value, char *Text);
QByteArray ArchiveTimeText(TDateTime Value); // empty when FormatArchiveTime fails
// Reads the fixed layout; the milliseconds may be absent or have 1-3 digits and
// a 'T' may stand for the blank. False on any other text.
bool ParseArchiveTime(const char *Text, std::size_t Length, TDateTime &Value);

// The date of Value as year, month and day (proleptic Gregorian calendar),
// rounded to the millisecond the same way as the DT text.
bool ArchiveDate(TDateTime Value, int &Year, int &Month, int &Day);
// The same date as whole days since 30 December 1899 (a TDateTime at midnight).
bool ArchiveDayNumber(TDateTime Value, long long &Day);
// The TDateTime of a civil date at midnight; false for an invalid date.
bool ArchiveDateValue(int Year, int Month, int Day, TDateTime &Value);

// Seconds east of UTC that local time had at the local time Local, for rows
// stored without their offset: in an hour that local time repeats, the first
// pass's. Cached by the hour, since rows come in runs of one hour.
int LocalUtcOffset(TDateTime Local);
// The true instant of a local time taken with Offset (seconds east of UTC), as
// a TDateTime in UTC: the order in which readings were taken, whatever the
// local clock said.
inline TDateTime ArchiveUtc(TDateTime Local, int Offset) { return Local - Offset / 86400.0; }

// The SQLite URI (to be opened with SQLITE_OPEN_URI) that reads the database
// file Path as immutable: no locks, no WAL index (-shm) and no journal, so the
// file can be read where nothing may be written beside it. Rows still in a
// WAL file (-wal) are not seen that way.
QString ImmutableArchiveUri(const QString &Path);

// One connection, closed by the destructor. Open applies the busy time-out.
class TArchiveDb {
public:
    TArchiveDb() = default;
    ~TArchiveDb();
    TArchiveDb(const TArchiveDb &) = delete;
    TArchiveDb &operator=(const TArchiveDb &) = delete;

    // Flags are SQLITE_OPEN_* values; false (with the reason in ErrorText) on failure.
    bool Open(const QString &Path, int Flags);
    void Close();
    sqlite3 *Handle() const { return FDb; }
    // Runs statements that take no parameters and return nothing of interest.
    bool Exec(const char *Sql);
    int ErrorCode() const;
    QString ErrorText() const;

private:
    sqlite3 *FDb = nullptr;
    QString FOpenError;
};

// One prepared statement, finalised by the destructor.
class TArchiveStatement {
public:
    TArchiveStatement(TArchiveDb &Db, const QByteArray &Sql);
    ~TArchiveStatement();
    TArchiveStatement(const TArchiveStatement &) = delete;
    TArchiveStatement &operator=(const TArchiveStatement &) = delete;

    bool Prepared() const { return FStmt != nullptr; }
    sqlite3_stmt *Handle() const { return FStmt; }

private:
    sqlite3_stmt *FStmt = nullptr;
};
