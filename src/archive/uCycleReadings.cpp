#include "uCycleReadings.h"

#include "uClock.h"
#include "uDataCtrl.h"
#include "uListeners.h"

#include <algorithm>
#include <deque>
#include <set>
#include <cmath>
#include <mutex>
#include <utility>

namespace {

TListenerList<TCycleReadings> &Listeners() {
    static TListenerList<TCycleReadings> Instance;
    return Instance;
}

// A cycle's time stamp as readers compare it: the millisecond and the offset
// (the repeated hour of autumn has each local time twice).
struct TStampKey {
    std::int64_t Ms = 0;
    int Offset = 0;
    friend bool operator==(const TStampKey &, const TStampKey &) = default;
};

// The cycles of this process: those open now, and the stamps of the latest
// ones, so that a reader can leave out what was written while it read.
struct TOpenCycle {
    std::mutex Lock;
    int Open = 0;
    TDateTime At = 0;          // of the first cycle still open
    std::uint64_t Opened = 0;  // cycles opened so far: each one's number
    std::set<std::uint64_t> OpenNumbers;
    std::deque<std::pair<std::uint64_t, TStampKey>> Recent;
};

constexpr std::size_t kRecentStamps = 1024;

TOpenCycle &OpenCycle() {
    static TOpenCycle Instance;
    return Instance;
}

constexpr TDateTime kOneMs = 1.0 / 86400000.0;

// The number of the first cycle a read that begins now may meet unfinished.
std::uint64_t UnsettledFrom() {
    TOpenCycle &O = OpenCycle();
    std::lock_guard Guard(O.Lock);
    return O.OpenNumbers.empty() ? O.Opened : *O.OpenNumbers.begin();
}

// The stamps of the cycles from that number on: open when the read began, or
// opened since.
std::vector<TStampKey> UnsettledStamps(std::uint64_t From) {
    TOpenCycle &O = OpenCycle();
    std::lock_guard Guard(O.Lock);
    std::vector<TStampKey> Stamps;
    for (const auto &[Number, Stamp] : O.Recent)
        if (Number >= From)
            Stamps.push_back(Stamp);
    return Stamps;
}

} // namespace

TDateTime TCycleArchive::At() {
    if (Readings.At == 0) {
        TOpenCycle &O = OpenCycle();
        std::lock_guard Guard(O.Lock);
        // One instant for the local time and its offset.
        const QDateTime T = CurrentDateTime();
        Readings.At = DateTimeFromQt(T);
        Readings.UtcOffset = T.offsetFromUtc();
        if (O.Open++ == 0)
            O.At = Readings.At;
        FNumber = O.Opened++;
        O.OpenNumbers.insert(FNumber);
        O.Recent.emplace_back(FNumber, TStampKey{ArchiveMs(Readings.At), Readings.UtcOffset});
        if (O.Recent.size() > kRecentStamps)
            O.Recent.pop_front();
    }
    return Readings.At;
}

int TCycleArchive::UtcOffset() {
    At();
    return Readings.UtcOffset;
}

TCycleArchive::~TCycleArchive() {
    if (Readings.At == 0)
        return;
    {
        TOpenCycle &O = OpenCycle();
        std::lock_guard Guard(O.Lock);
        --O.Open;
        O.OpenNumbers.erase(FNumber);
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

void TArchiveCursor::Advance(const TCycleReadings &Cycle) {
    if (Cycle.Level)
        Level = std::max(Level, Cycle.Places.Level);
    if (Cycle.Volume)
        Volume = std::max(Volume, Cycle.Places.Volume);
    if (Cycle.Frequency)
        Frequency = std::max(Frequency, Cycle.Places.Frequency);
}

namespace {

struct TSeries {
    const char *Name;
    TArchivePlace TArchiveCursor::*Place;
    std::optional<double> TCycleReadings::*Field;
};

const TSeries kSeries[] = {{kLevelSeries, &TArchiveCursor::Level, &TCycleReadings::Level},
                           {kVolumeSeries, &TArchiveCursor::Volume, &TCycleReadings::Volume},
                           {kFrequencySeries, &TArchiveCursor::Frequency, &TCycleReadings::Frequency}};

long long FirstDay(const TArchiveCursor &After) {
    return std::min({After.Level.Day, After.Volume.Day, After.Frequency.Day});
}

// The days with a folder from the earliest place of the cursor on.
std::vector<TDateTime> DaysFrom(const TArchiveCursor &After) {
    const long long First = FirstDay(After);
    return ArchiveRangeDays(First > 0 ? static_cast<TDateTime>(First) : 0, 0);
}

} // namespace

std::vector<TCycleReadings> ReadCyclesAfter(const TArchiveCursor &After, std::size_t MaxCycles, bool *Failed) {
    if (Failed)
        *Failed = false;
    std::vector<TCycleReadings> Result;
    if (MaxCycles == 0)
        return Result;
    const std::uint64_t From = UnsettledFrom();
    for (const TDateTime Day : DaysFrom(After)) {
        const auto DayNumber = static_cast<long long>(Day);
        std::vector<TArchiveRow> Rows[3];
        for (int s = 0; s < 3; ++s) {
            const TArchivePlace &P = After.*(kSeries[s].Place);
            if (DayNumber < P.Day)
                continue;
            const TArchiveDayResult R = ReadArchiveRowsAfter(QString::fromLatin1(kSeries[s].Name), Day,
                                                             DayNumber == P.Day ? P.Row : 0, MaxCycles, Rows[s]);
            if (R == TArchiveDayResult::Failed && Failed)
                *Failed = true;
        }
        // A cycle still being written (or begun while this read ran) is left
        // for later, with what follows it.
        bool Cut = false;
        const std::vector<TStampKey> Unsettled = UnsettledStamps(From);
        for (std::vector<TArchiveRow> &R : Rows) {
            const auto Open = std::find_if(R.begin(), R.end(), [&](const TArchiveRow &Row) {
                return std::find(Unsettled.begin(), Unsettled.end(), TStampKey{ArchiveMs(Row.DT), Row.Offset}) !=
                       Unsettled.end();
            });
            Cut = Cut || Open != R.end();
            R.erase(Open, R.end());
        }
        // The series in step: the heads with the earliest true time, and
        // those of the same stamp with them, form a cycle.
        std::size_t Head[3] = {0, 0, 0};
        for (;;) {
            int Earliest = -1;
            for (int s = 0; s < 3; ++s)
                if (Head[s] < Rows[s].size() &&
                    (Earliest < 0 || ArchiveUtc(Rows[s][Head[s]].DT, Rows[s][Head[s]].Offset) <
                                         ArchiveUtc(Rows[Earliest][Head[Earliest]].DT,
                                                    Rows[Earliest][Head[Earliest]].Offset)))
                    Earliest = s;
            if (Earliest < 0)
                break;
            const TArchiveRow &First = Rows[Earliest][Head[Earliest]];
            const TStampKey Key{ArchiveMs(First.DT), First.Offset};
            TCycleReadings C;
            C.At = First.DT;
            C.UtcOffset = First.Offset;
            C.ErrorText = QStringLiteral("Норма");
            bool Readable = false;
            for (int s = 0; s < 3; ++s) {
                if (Head[s] >= Rows[s].size())
                    continue;
                const TArchiveRow &Row = Rows[s][Head[s]];
                if (!(TStampKey{ArchiveMs(Row.DT), Row.Offset} == Key))
                    continue;
                ++Head[s];
                C.Places.*(kSeries[s].Place) = {DayNumber, Row.Row};
                if (Row.DT == 0)
                    continue; // a row whose time cannot be read is passed over
                C.*(kSeries[s].Field) = Row.V;
                if (C.PlantNumber == kPlantUnknown)
                    C.PlantNumber = Row.Plant;
                Readable = true;
            }
            if (!Readable) {
                // Nothing to send, but the cursor goes past it all the same:
                // handed on as a cycle without readings.
                C.Level.reset();
            }
            Result.push_back(std::move(C));
            if (Result.size() >= MaxCycles)
                return Result;
        }
        if (Cut)
            break;
    }
    return Result;
}

std::int64_t CountCyclesAfter(const TArchiveCursor &After) {
    std::int64_t Total = 0;
    for (const TDateTime Day : DaysFrom(After)) {
        const auto DayNumber = static_cast<long long>(Day);
        std::int64_t Most = 0;
        for (const TSeries &S : kSeries) {
            const TArchivePlace &P = After.*(S.Place);
            if (DayNumber < P.Day)
                continue;
            std::int64_t Count = 0;
            CountArchiveRowsAfter(QString::fromLatin1(S.Name), Day, DayNumber == P.Day ? P.Row : 0, Count);
            Most = std::max(Most, Count); // the series of one cycle stand side by side
        }
        Total += Most;
    }
    return Total;
}

TDateTime ArchiveTimeAt(const TArchiveCursor &Cursor) {
    TDateTime Latest = 0;
    for (const TSeries &S : kSeries) {
        const TArchivePlace &P = Cursor.*(S.Place);
        std::vector<TArchiveRow> Rows;
        if (P.Day > 0 && P.Row > 0 &&
            ReadArchiveRowsAfter(QString::fromLatin1(S.Name), static_cast<TDateTime>(P.Day), P.Row - 1, 1, Rows) ==
                TArchiveDayResult::Read &&
            !Rows.empty() && Rows.front().Row == P.Row)
            Latest = std::max(Latest, Rows.front().DT);
    }
    return Latest;
}

TArchiveCursor ArchiveEnd() {
    // A series with no reading yet: before the first row of today.
    const TArchivePlace Today{static_cast<long long>(DateOf(Now())), 0};
    TArchiveCursor End{Today, Today, Today};
    const std::vector<TDateTime> Days = ArchiveRangeDays(0, 0);
    for (const TSeries &S : kSeries)
        for (auto Day = Days.rbegin(); Day != Days.rend(); ++Day) {
            std::int64_t Row = 0;
            if (LastArchiveRow(QString::fromLatin1(S.Name), *Day, 0, Row) == TArchiveDayResult::Read && Row > 0) {
                End.*(S.Place) = {static_cast<long long>(*Day), Row};
                break;
            }
        }
    return End;
}

TArchiveCursor ArchiveCursorAt(const TSeriesMarks &Marks) {
    TArchiveCursor Cursor;
    const TDateTime TSeriesMarks::*Mark[] = {&TSeriesMarks::Level, &TSeriesMarks::Volume, &TSeriesMarks::Frequency};
    for (int s = 0; s < 3; ++s) {
        const TDateTime M = Marks.*Mark[s];
        if (M <= 0)
            continue;
        // The last row no later than the mark, in the mark's day or before.
        const std::vector<TDateTime> Days = ArchiveRangeDays(0, M);
        TArchivePlace &P = Cursor.*(kSeries[s].Place);
        P = {static_cast<long long>(DateOf(M)), 0};
        for (auto Day = Days.rbegin(); Day != Days.rend(); ++Day) {
            std::int64_t Row = 0;
            LastArchiveRow(QString::fromLatin1(kSeries[s].Name), *Day, M, Row);
            if (Row > 0) {
                P = {static_cast<long long>(*Day), Row};
                break;
            }
        }
    }
    return Cursor;
}

std::vector<TCycleReadings> ReadCyclesAfter(const TSeriesMarks &After, TDateTime Horizon, std::size_t MaxCycles,
                                            bool *Failed) {
    std::vector<TCycleReadings> Result = ReadCyclesAfter(ArchiveCursorAt(After), MaxCycles, Failed);
    if (Horizon > 0) {
        const std::int64_t H = ArchiveMs(Horizon);
        Result.erase(std::remove_if(Result.begin(), Result.end(),
                                    [&](const TCycleReadings &C) { return ArchiveMs(C.At) > H; }),
                     Result.end());
    }
    // Those passed over only to move a cursor are of no use here.
    Result.erase(std::remove_if(Result.begin(), Result.end(), [](const TCycleReadings &C) { return C.Empty(); }),
                 Result.end());
    return Result;
}
