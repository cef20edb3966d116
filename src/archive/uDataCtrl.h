#pragma once
// Reading the archive back: the points of one series over a time range, one
// day table after another, in ascending time.
#include "uArchiveDb.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// Points as parallel arrays, the form a chart takes them in.
struct TArchiveSeries {
    std::vector<double> DT; // TDateTime, local time as the clock said
    std::vector<double> V;
    // Seconds east of UTC each reading was taken with (the archive's reader
    // fills it for every point); where it is missing, the local zone's at DT.
    std::vector<int> Offset;

    std::size_t size() const { return DT.size(); }
    bool empty() const { return DT.empty(); }
    void clear() {
        DT.clear();
        V.clear();
        Offset.clear();
    }
    int OffsetAt(std::size_t i) const { return i < Offset.size() ? Offset[i] : LocalUtcOffset(DT[i]); }
    // The true instant of point i (UTC): the order readings were taken in,
    // also through the hour that local time repeats in autumn.
    TDateTime UtcAt(std::size_t i) const { return ArchiveUtc(DT[i], OffsetAt(i)); }
};

enum class TArchiveDayResult {
    Read,      // the table was read (it may have held no point of the range)
    Missing,   // no file for that day: nothing was archived then
    Failed,    // unreadable: not a database, no such table, locked, damaged
    Cancelled, // the cancel flag was raised while reading
};

// Called after each day table with the index of that day (0-based) and the
// number of days read in all (the days of the range that have a folder);
// returning false stops the reading.
using TArchiveProgress = std::function<bool(int Day, int DayCount)>;

// What a row without a value (a reading that was not a number: SQLite
// stores NaN as NULL) becomes: left out, as an unreadable row is, or a NaN
// point, for those that must hand on every reading as it was taken.
enum class TNullValues { Skip, AsNaN };

// Appends the points of the table Name in the file Path whose time lies in
// [Start, Stop] (a bound of 0 is no bound), in the order they were taken
// (ascending true time; rows of one instant in their stored order). Rows whose DT
// cannot be read are left out. On failure the points read so far stay. A file
// in a folder this process may not write to (read-only medium, another user's
// archive) is read as immutable (see ImmutableArchiveUri).
TArchiveDayResult ReadArchiveFile(const QString &Path, const QString &Name, TDateTime Start, TDateTime Stop,
                                  TArchiveSeries &Points, const std::atomic_bool *Cancel = nullptr,
                                  TNullValues Nulls = TNullValues::Skip);
// The same for the day table of Day under DbPath.
TArchiveDayResult ReadArchiveDay(const QString &Name, TDateTime Day, TDateTime Start, TDateTime Stop,
                                 TArchiveSeries &Points, const std::atomic_bool *Cancel = nullptr,
                                 TNullValues Nulls = TNullValues::Skip);

// One row of a day table, for those that go through the archive in its own
// order (the publisher's catch-up).
struct TArchiveRow {
    std::int64_t Row = 0; // the row's id: rows lie in the order they were taken
    TDateTime DT = 0;     // 0 when the stored time cannot be read
    double V = 0;         // NaN for a row without a value
    int Offset = 0;       // seconds east of UTC (the local zone's at DT for older rows)
    int Plant = -1;       // the plant number stored with it; -1: none
};
// Appends the rows of the day table of Name for Day after the row AfterRow,
// in the order they were written, at most MaxRows of them.
TArchiveDayResult ReadArchiveRowsAfter(const QString &Name, TDateTime Day, std::int64_t AfterRow, std::size_t MaxRows,
                                       std::vector<TArchiveRow> &Rows);
// The number of rows after AfterRow in that table.
TArchiveDayResult CountArchiveRowsAfter(const QString &Name, TDateTime Day, std::int64_t AfterRow,
                                        std::int64_t &Count);
// The id of the last row whose time is no later than AtOrBefore (0: the last
// row of all); 0 when there is none.
TArchiveDayResult LastArchiveRow(const QString &Name, TDateTime Day, TDateTime AtOrBefore, std::int64_t &Row);

// The number of day tables a range covers: from the date of Start to the date
// of Stop, both included (0 when Stop lies before Start).
int ArchiveDayCount(TDateTime Start, TDateTime Stop);

// The days a range covers that have a day folder under DbPath, ascending, as
// TDateTime values at midnight. A bound of 0 is open. Only the folders are
// looked at, so the width of the range costs nothing.
std::vector<TDateTime> ArchiveRangeDays(TDateTime Start, TDateTime Stop);
// A generous estimate of the points of Name in the days of [Start, Stop], from
// the sizes of their files: room for a whole range is reserved at once.
std::size_t ArchiveRangeRowEstimate(const QString &Name, TDateTime Start, TDateTime Stop);

// How the reading of a range ended.
struct TArchiveRangeResult {
    bool Finished = true; // false: cancelled (by Progress or Cancel)
    // Days whose table is there but could not be read (TArchiveDayResult::
    // Failed), as TDateTime at midnight; days without a table are no loss.
    std::vector<TDateTime> SkippedDays;
};

// Called with the points of one day (in ascending time), before Progress.
using TArchiveDaySink = std::function<void(const TArchiveSeries &Points)>;

// Reads the points of Name in [Start, Stop] day after day, over the days of
// ArchiveRangeDays, and hands each day's points to Sink (also those read from
// a day before it failed or was cancelled). Progress counts those days.
TArchiveRangeResult ReadArchiveRangeByDay(const QString &Name, TDateTime Start, TDateTime Stop,
                                          const TArchiveDaySink &Sink, const TArchiveProgress &Progress = {},
                                          const std::atomic_bool *Cancel = nullptr);

// Replaces Points with the points of Name in [Start, Stop], in ascending time,
// from the days of ArchiveRangeDays. Days that cannot be read are skipped with
// a warning and, when SkippedDays is given, listed there. False when the
// reading was cancelled (by Progress or Cancel); Points then holds the days
// read before.
bool ReadArchiveRange(const QString &Name, TDateTime Start, TDateTime Stop, TArchiveSeries &Points,
                      const TArchiveProgress &Progress = {}, const std::atomic_bool *Cancel = nullptr,
                      std::vector<TDateTime> *SkippedDays = nullptr);
