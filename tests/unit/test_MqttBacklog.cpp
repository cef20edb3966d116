// The archive read back as poll cycles for the catch-up of publishing: cycles
// after per-series marks, oldest first, and never a cycle still being written.
#include "TestEnvironment.h"
#include "uBDE.h"
#include "uCycleReadings.h"
#include "uMqttSettings.h"

#include <gtest/gtest.h>

namespace {

void Archive(const char *Series, TDateTime At, double V) {
    ASSERT_TRUE(ArchiveWrite(QLatin1String(Series), QString(), At, V));
}

} // namespace

TEST(MqttBacklog, CyclesAfterTheMarksOldestFirst) {
    TTestFolder Folder;
    SetDbPath(Folder.File(QStringLiteral("DATA")));
    const TDateTime T1 = At(2026, 12, 7, 23, 59, 59, 500), T2 = At(2026, 12, 8, 0, 0, 0, 250),
                    T3 = At(2026, 12, 8, 10, 0, 0, 1);
    Archive(kLevelSeries, T1, 1);
    Archive(kVolumeSeries, T1, 2);
    Archive(kLevelSeries, T2, 3);
    Archive(kFrequencySeries, T2, 4);
    Archive(kVolumeSeries, T3, 5);

    std::vector<TCycleReadings> C = ReadCyclesAfter({T1 - 1, T1 - 1, T1 - 1}, 0, 100);
    ASSERT_EQ(C.size(), 3u);
    EXPECT_EQ(ArchiveMs(C[0].At), ArchiveMs(T1));
    EXPECT_EQ(*C[0].Level, 1);
    EXPECT_EQ(*C[0].Volume, 2);
    EXPECT_FALSE(C[0].Frequency);
    EXPECT_EQ(C[0].ErrorText, QStringLiteral("Норма"));
    EXPECT_EQ(*C[1].Level, 3); // the next day's table
    EXPECT_EQ(*C[1].Frequency, 4);
    EXPECT_FALSE(C[1].Volume);
    EXPECT_EQ(*C[2].Volume, 5);

    // Each series after its own mark; at most MaxCycles; not beyond the horizon.
    TSeriesMarks Marks{T2, T1, T2};
    C = ReadCyclesAfter(Marks, 0, 100);
    ASSERT_EQ(C.size(), 1u);
    EXPECT_EQ(ArchiveMs(C[0].At), ArchiveMs(T3));
    C = ReadCyclesAfter({T1 - 1, T1 - 1, T1 - 1}, 0, 2);
    ASSERT_EQ(C.size(), 2u);
    Marks = {T1 - 1, T1 - 1, T1 - 1};
    Marks.Advance(C[0]);
    Marks.Advance(C[1]);
    C = ReadCyclesAfter(Marks, 0, 100);
    ASSERT_EQ(C.size(), 1u);
    EXPECT_EQ(*C[0].Volume, 5);
    EXPECT_EQ(ReadCyclesAfter({T1 - 1, T1 - 1, T1 - 1}, T2, 100).size(), 2u);
}

TEST(MqttBacklog, ACycleBeingWrittenIsLeftForLater) {
    TTestFolder Folder;
    SetDbPath(Folder.File(QStringLiteral("DATA")));
    const TDateTime From = Now() - 1.0 / 86400;
    std::vector<TCycleReadings> Heard;
    const int Listener = AddCycleListener([&](const TCycleReadings &C) { Heard.push_back(C); });
    TDateTime CycleAt = 0;
    {
        TCycleArchive Cycle;
        CycleAt = Cycle.At();
        Archive(kLevelSeries, CycleAt, 7);
        Cycle.Readings.Level = 7;
        // Half written: a reader keeps before it.
        EXPECT_LT(ArchiveHorizon(), CycleAt);
        EXPECT_TRUE(ReadCyclesAfter({From, From, From}, ArchiveHorizon(), 100).empty());
        // By the archive's order too, whatever the clock: its rows are left for later.
        EXPECT_TRUE(ReadCyclesAfter(TArchiveCursor{}, 100).empty());
        Archive(kVolumeSeries, CycleAt, 8);
        Cycle.Readings.Volume = 8;
        EXPECT_TRUE(Heard.empty());
    }
    RemoveCycleListener(Listener);
    ASSERT_EQ(Heard.size(), 1u);
    EXPECT_EQ(*Heard[0].Volume, 8);
    // Closed: the horizon reaches it within a millisecond.
    while (ArchiveHorizon() < CycleAt) {
    }
    const std::vector<TCycleReadings> C = ReadCyclesAfter({From, From, From}, ArchiveHorizon(), 100);
    ASSERT_EQ(C.size(), 1u);
    EXPECT_EQ(*C[0].Level, 7);
    EXPECT_EQ(*C[0].Volume, 8);
}

// The catch-up goes by the archive's own order: the repeated hour of autumn
// comes in the order it was taken, each cycle with its own offset and plant,
// and a cursor moves past the rows it was given.
TEST(MqttBacklog, CyclesComeInTheOrderTakenWhateverTheClockSaid) {
    TTestFolder Folder;
    SetDbPath(Folder.File(QStringLiteral("DATA")));
    const TDateTime A = At(2026, 10, 25, 2, 30), B = At(2026, 10, 25, 2, 10);
    ASSERT_TRUE(ArchiveWrite(QLatin1String(kLevelSeries), QString(), A, 1, {7200, 1234}));
    ASSERT_TRUE(ArchiveWrite(QLatin1String(kVolumeSeries), QString(), A, 2, {7200, 1234}));
    ASSERT_TRUE(ArchiveWrite(QLatin1String(kLevelSeries), QString(), B, 3, {3600, std::nullopt}));
    ASSERT_TRUE(ArchiveWrite(QLatin1String(kVolumeSeries), QString(), B, 4, {3600, std::nullopt}));
    ASSERT_TRUE(ArchiveWrite(QLatin1String(kLevelSeries), QString(), A, 5, {3600, 1234}));

    std::vector<TCycleReadings> C = ReadCyclesAfter(TArchiveCursor{}, 100);
    ASSERT_EQ(C.size(), 3u);
    EXPECT_EQ(*C[0].Level, 1);
    EXPECT_EQ(*C[0].Volume, 2);
    EXPECT_EQ(C[0].UtcOffset, 7200);
    EXPECT_EQ(C[0].PlantNumber, 1234);
    EXPECT_EQ(*C[1].Level, 3);
    EXPECT_EQ(C[1].UtcOffset, 3600);
    EXPECT_EQ(C[1].PlantNumber, kPlantUnknown);
    EXPECT_EQ(*C[2].Level, 5);
    EXPECT_FALSE(C[2].Volume);
    EXPECT_EQ(CountCyclesAfter(TArchiveCursor{}), 3);

    TArchiveCursor Cursor;
    Cursor.Advance(C[0]);
    Cursor.Advance(C[1]);
    EXPECT_EQ(CountCyclesAfter(Cursor), 1);
    C = ReadCyclesAfter(Cursor, 100);
    ASSERT_EQ(C.size(), 1u);
    EXPECT_EQ(*C[0].Level, 5);
    Cursor.Advance(C[0]);
    EXPECT_TRUE(ReadCyclesAfter(Cursor, 100).empty());
    EXPECT_EQ(ArchiveTimeAt(Cursor), A);
    const TArchiveCursor End = ArchiveEnd();
    EXPECT_EQ(End.Level, Cursor.Level);
    EXPECT_EQ(End.Volume, Cursor.Volume);
    // A series without a reading: before today's first row.
    EXPECT_EQ(End.Frequency.Row, 0);
}

// A cursor written by an earlier version (time stamps) reads as the place of
// the last reading at or before it.
TEST(MqttBacklog, ACursorOfTimeStampsBecomesAPlace) {
    TTestFolder Folder;
    SetDbPath(Folder.File(QStringLiteral("DATA")));
    const TDateTime T1 = At(2026, 12, 7, 10), T2 = At(2026, 12, 8, 10), T3 = At(2026, 12, 8, 11);
    for (const TDateTime T : {T1, T2, T3})
        ASSERT_TRUE(ArchiveWrite(QLatin1String(kLevelSeries), QString(), T, 1));
    WriteAll(Folder.File(QStringLiteral("INI/Mqtt.ini")),
             "[Cursor]\r\naLevel=2026-12-08 10:30:00.000\r\naVolume=2026-12-08 09:00:00.000\r\naFreq=\r\n");
    const TArchiveCursor C = LoadMqttCursor(Folder.File(QStringLiteral("INI/Mqtt.ini")));
    EXPECT_EQ(C.Level, (TArchivePlace{static_cast<long long>(At(2026, 12, 8)), 1}));
    EXPECT_EQ(C.Volume.Day, static_cast<long long>(At(2026, 12, 8)));
    EXPECT_EQ(C.Volume.Row, 0);
    EXPECT_EQ(C.Frequency, TArchivePlace{});
    const std::vector<TCycleReadings> After = ReadCyclesAfter(C, 100);
    ASSERT_EQ(After.size(), 1u);
    EXPECT_EQ(ArchiveMs(After[0].At), ArchiveMs(T3));
}
