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

struct TCycleReadings {
    TDateTime At = 0; // the archive's time stamp of every reading of the cycle
    std::optional<double> Level;
    std::optional<double> Volume;
    std::optional<double> Frequency;
    int PlantNumber = 0;
    int Address = 0;
    int Error = 0;     // the device's error code when the readings came
    QString ErrorText; // its text ("Норма")
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
    TCycleReadings Readings;
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
    // Whether the cycle holds a reading after the mark of its series.
    bool Owes(const TCycleReadings &Cycle) const;
};

// The cycles archived after the marks (each series after its own mark) and no
// later than Horizon (0: no bound), oldest first, at most MaxCycles of them.
// Readings of different series with the same time stamp form one cycle. Plant
// number and address are left 0, the error 0 with its text "Норма" (only
// readings that came normally are archived). Failed is set when a day table
// that exists could not be read.
std::vector<TCycleReadings> ReadCyclesAfter(const TSeriesMarks &After, TDateTime Horizon, std::size_t MaxCycles,
                                            bool *Failed = nullptr);
