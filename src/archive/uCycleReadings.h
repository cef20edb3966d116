#pragma once
// The readings one poll cycle archived, all under the cycle's one time stamp,
// and the listeners that hear of each cycle once it is in the archive (the
// publisher to a message broker). Listeners are called on the polling thread
// and must return at once.
#include "uDateTime.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// The plant number of a cycle whose device has not told it.
inline constexpr int kPlantUnknown = -1;

// Where a reading lies in the archive: its day and its row in that day's table
// of its series. Rows lie in the order they were taken, so this is the
// archive's own order, whatever the clock said.
struct TArchivePlace {
    long long Day = 0;    // whole days since 1899-12-30; 0: before everything
    std::int64_t Row = 0; // the row's id in the day table; 0: before its first row
    friend bool operator==(const TArchivePlace &, const TArchivePlace &) = default;
    friend auto operator<=>(const TArchivePlace &, const TArchivePlace &) = default;
};

struct TCycleReadings;

// Per series, the place up to which (inclusive) readings are accounted for.
struct TArchiveCursor {
    TArchivePlace Level;
    TArchivePlace Volume;
    TArchivePlace Frequency;
    bool Empty() const { return Level == TArchivePlace{} && Volume == TArchivePlace{} && Frequency == TArchivePlace{}; }
    // Moves the place of every series the cycle holds to its reading's place.
    void Advance(const TCycleReadings &Cycle);
};

struct TCycleReadings {
    TDateTime At = 0;  // the archive's time stamp of every reading of the cycle (local time)
    int UtcOffset = 0; // seconds east of UTC the cycle was taken with
    std::optional<double> Level;
    std::optional<double> Volume;
    std::optional<double> Frequency;
    int PlantNumber = kPlantUnknown;
    int Address = 0;
    int Error = 0;     // the device's error code when the readings came
    QString ErrorText; // its text ("Норма")
    // Where the readings lie in the archive (only for cycles read from it).
    TArchiveCursor Places;
    bool Empty() const { return !Level && !Volume && !Frequency; }
};

// The archive series of the three readings.
inline constexpr const char *kLevelSeries = "aLevel";
inline constexpr const char *kVolumeSeries = "aVolume";
inline constexpr const char *kFrequencySeries = "aFreq";

// The millisecond of a time stamp, the unit in which archive times compare.
std::int64_t ArchiveMs(TDateTime At);

using TCycleListener = std::function<void(const TCycleReadings &Cycle)>;
// Registers a listener; the returned id removes it again. Removal waits for a
// call in progress, so after it the listener is never called.
int AddCycleListener(TCycleListener Listener);
void RemoveCycleListener(int Id);
// Hands an archived cycle to every listener (the polling engine calls this).
void NotifyCycleArchived(const TCycleReadings &Cycle);

// The archiving of one poll cycle in this process. At() opens it on the first
// call and gives the cycle's time stamp; the destructor closes it and hands the
// readings to the listeners when it holds any. While a cycle is open, readers
// of the archive keep before its time stamp (ArchiveHorizon), so a cycle is
// never read half written.
class TCycleArchive {
public:
    TCycleArchive() = default;
    ~TCycleArchive();
    TCycleArchive(const TCycleArchive &) = delete;
    TCycleArchive &operator=(const TCycleArchive &) = delete;
    TDateTime At();
    int UtcOffset(); // of the same instant
    TCycleReadings Readings;

private:
    std::uint64_t FNumber = 0;
};

// The latest time stamp up to which (inclusive) the archive holds only whole
// cycles as far as this process knows: just before an open cycle, else just
// before now.
TDateTime ArchiveHorizon();

// Per series, the time stamp up to which (inclusive) readings are accounted
// for; 0 means none.
struct TSeriesMarks {
    TDateTime Level = 0;
    TDateTime Volume = 0;
    TDateTime Frequency = 0;
    bool Empty() const { return Level == 0 && Volume == 0 && Frequency == 0; }
    // Moves the mark of every series the cycle holds to its time.
    void Advance(const TCycleReadings &Cycle);
};

// The cycles archived after the cursor (each series after its own place), in
// the order they were taken, at most MaxCycles of them; the readings of a
// cycle this process is still writing are left for later, so that no cycle is
// read in halves. Readings of different series with the same time stamp and
// offset form one cycle. The plant number is the one stored with the readings
// (kPlantUnknown for rows without it), the address 0, the error 0 with its text
// "Норма" (only readings that came normally are archived). Failed is set when a
// day table that exists could not be read.
std::vector<TCycleReadings> ReadCyclesAfter(const TArchiveCursor &After, std::size_t MaxCycles,
                                            bool *Failed = nullptr);
// The cycles after the cursor, counted without reading them.
std::int64_t CountCyclesAfter(const TArchiveCursor &After);
// The latest time stamp of the readings at the cursor's places (0: none).
TDateTime ArchiveTimeAt(const TArchiveCursor &Cursor);
// The place of the last reading of each series archived so far (before
// today's first row for a series without any).
TArchiveCursor ArchiveEnd();
// The place of the last reading of each series at or before the time of its
// mark (by the time stamps as written; a mark of 0: before everything).
TArchiveCursor ArchiveCursorAt(const TSeriesMarks &Marks);

// The same as ReadCyclesAfter, after the time marks (see ArchiveCursorAt) and
// no later than Horizon (0: no bound).
std::vector<TCycleReadings> ReadCyclesAfter(const TSeriesMarks &After, TDateTime Horizon, std::size_t MaxCycles,
                                            bool *Failed = nullptr);
