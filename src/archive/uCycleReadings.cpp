#include "uCycleReadings.h"

#include "uDataCtrl.h"
#include "uListeners.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <utility>

namespace {

TListenerList<TCycleReadings> &Listeners() {
    static TListenerList<TCycleReadings> Instance;
    return Instance;
}

struct TOpenCycle {
    std::mutex Lock;
    int Open = 0;
    TDateTime At = 0;
};

TOpenCycle &OpenCycle() {
    static TOpenCycle Instance;
    return Instance;
}

constexpr TDateTime kOneMs = 1.0 / 86400000.0;

} // namespace

TDateTime TCycleArchive::At() {
    if (Readings.At == 0) {
        TOpenCycle &O = OpenCycle();
        std::lock_guard Guard(O.Lock);
        Readings.At = Now();
        if (O.Open++ == 0)
            O.At = Readings.At;
    }
    return Readings.At;
}

TCycleArchive::~TCycleArchive() {
    if (Readings.At == 0)
        return;
    {
        TOpenCycle &O = OpenCycle();
        std::lock_guard Guard(O.Lock);
        --O.Open;
    }
    if (!Readings.Empty())
        NotifyCycleArchived(Readings);
}

TDateTime ArchiveHorizon() {
    TOpenCycle &O = OpenCycle();
    std::lock_guard Guard(O.Lock);
    return (O.Open > 0 ? O.At : Now()) - kOneMs;
}

std::int64_t ArchiveMs(TDateTime At) {
    return std::llround(At * 86400000.0);
}

int AddCycleListener(TCycleListener Listener) {
    return Listeners().Add(std::move(Listener));
}

void RemoveCycleListener(int Id) {
    Listeners().Remove(Id);
}

void NotifyCycleArchived(const TCycleReadings &Cycle) {
    Listeners().Notify(Cycle);
}

void TSeriesMarks::Advance(const TCycleReadings &Cycle) {
    if (Cycle.Level)
        Level = std::max(Level, Cycle.At);
    if (Cycle.Volume)
        Volume = std::max(Volume, Cycle.At);
    if (Cycle.Frequency)
        Frequency = std::max(Frequency, Cycle.At);
}

bool TSeriesMarks::Owes(const TCycleReadings &Cycle) const {
    const std::int64_t T = ArchiveMs(Cycle.At);
    return (Cycle.Level && T > ArchiveMs(Level)) || (Cycle.Volume && T > ArchiveMs(Volume)) ||
           (Cycle.Frequency && T > ArchiveMs(Frequency));
}

std::vector<TCycleReadings> ReadCyclesAfter(const TSeriesMarks &After, TDateTime Horizon, std::size_t MaxCycles,
                                            bool *Failed) {
    if (Failed)
        *Failed = false;
    std::vector<TCycleReadings> Result;
    if (MaxCycles == 0)
        return Result;
    const TDateTime Start = std::min({After.Level, After.Volume, After.Frequency});
    const std::int64_t HorizonMs = Horizon > 0 ? ArchiveMs(Horizon) : INT64_MAX;
    struct TSeries {
        const char *Name;
        TDateTime Mark;
        std::optional<double> TCycleReadings::*Field;
    };
    const TSeries Series[] = {{kLevelSeries, After.Level, &TCycleReadings::Level},
                              {kVolumeSeries, After.Volume, &TCycleReadings::Volume},
                              {kFrequencySeries, After.Frequency, &TCycleReadings::Frequency}};
    for (const TDateTime Day : ArchiveRangeDays(Start, Horizon)) {
        std::map<std::int64_t, TCycleReadings> Cycles;
        for (const TSeries &S : Series) {
            TArchiveSeries Points;
            // A reading that was not a number is handed on as such, as it was live.
            const TArchiveDayResult R = ReadArchiveDay(QString::fromLatin1(S.Name), Day, Start > 0 ? Start : 0,
                                                       Horizon, Points, nullptr, TNullValues::AsNaN);
            if (R == TArchiveDayResult::Failed && Failed)
                *Failed = true;
            const std::int64_t MarkMs = S.Mark > 0 ? ArchiveMs(S.Mark) : INT64_MIN;
            for (std::size_t i = 0; i < Points.size(); ++i) {
                const std::int64_t T = ArchiveMs(Points.DT[i]);
                if (T <= MarkMs || T > HorizonMs)
                    continue;
                TCycleReadings &C = Cycles[T];
                C.At = Points.DT[i];
                C.*(S.Field) = Points.V[i]; // a kind polled twice in a cycle: the later value
            }
        }
        for (auto &E : Cycles) {
            E.second.ErrorText = QStringLiteral("Норма");
            Result.push_back(std::move(E.second));
            if (Result.size() >= MaxCycles)
                return Result;
        }
    }
    return Result;
}
