#include "uBDE.h"
#include "uDataCtrl.h"
#include "uCycleReadings.h"

#include "FileSizeLimit.h"
#include "ReadOnlyFolder.h"
#include "TestEnvironment.h"
#include "uFormat.h"
#include "uIniFile.h"
#include "uSysUtils.h"
#include "uWin1251.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QUuid>
#include <atomic>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

namespace {


// Rows of a table in stored order, read straight through SQLite.
std::vector<std::pair<QString, double>> StoredRows(const QString &Path, const QString &Table) {
    std::vector<std::pair<QString, double>> Rows;
    sqlite3 *Db = nullptr;
    if (sqlite3_open_v2(Path.toUtf8().constData(), &Db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *St = nullptr;
        const QByteArray Sql = "SELECT DT, V FROM " + Table.toLatin1() + " ORDER BY rowid";
        if (sqlite3_prepare_v2(Db, Sql.constData(), -1, &St, nullptr) == SQLITE_OK)
            while (sqlite3_step(St) == SQLITE_ROW)
                Rows.emplace_back(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(St, 0))),
                                  sqlite3_column_double(St, 1));
        sqlite3_finalize(St);
    }
    sqlite3_close(Db);
    return Rows;
}

// Every test starts with the default root under its own AppDir.
class Archive : public ::testing::Test {
protected:
    void SetUp() override { SetDbPath(QString()); }
    void TearDown() override { SetDbPath(QString()); }
    QString Data(const QString &Relative) const { return Folder.File(QStringLiteral("DATA/") + Relative); }
    TTestFolder Folder;
};

} // namespace

TEST_F(Archive, SettingsDefaultWrittenBack) {
    LoadArchiveSettings();
    const QString Expected = Folder.Path() + QStringLiteral("/DATA");
    EXPECT_EQ(DbPath(), Expected);
    EXPECT_EQ(DbAlias(), "Lanx1");
    TIniFile Ini(IniPath(QStringLiteral("bde.ini")));
    EXPECT_EQ(Ini.ReadString("BDE", "dbAlias", "?"), "Lanx1");
    EXPECT_EQ(Ini.ReadString("BDE", "dbPath", "?"), Expected);

    // A root given with a trailing '/' (or Windows backslashes) joins cleanly.
    WriteAll(IniPath("bde.ini"), "[BDE]\r\ndbAlias=Arch\r\ndbPath=" + Folder.Path().toUtf8() + "/Root/\r\n");
    LoadArchiveSettings();
    EXPECT_EQ(DbAlias(), "Arch");
    EXPECT_EQ(ArchiveFilePath("aLevel", At(2024, 3, 5, 12), ".db"),
              Folder.Path() + "/Root/2024/03/05/aLevel.db");
    WriteAll(IniPath("bde.ini"), "[BDE]\r\ndbPath=" + Folder.Path().toUtf8() + "\\Win\\\r\n");
    LoadArchiveSettings();
    EXPECT_EQ(DbPath(), Folder.Path() + "/Win/");
    EXPECT_EQ(ArchiveFilePath("aFreq", At(2024, 3, 5), ".txt"), Folder.Path() + "/Win/2024/03/05/aFreq.txt");
}

TEST_F(Archive, SettingsWithoutIniFolderUseDefaultRootAndKeepIt) {
    ASSERT_TRUE(QDir(Folder.File("INI")).removeRecursively());
    SetDbPath(Folder.File("elsewhere"));
    LoadArchiveSettings();
    EXPECT_EQ(DbPath(), Folder.Path() + "/DATA");
    EXPECT_TRUE(FromWin1251(ReadAll(Folder.File("INI/bde.ini"))).contains("dbPath=" + Folder.Path() + "/DATA"));

    // An INI folder that cannot be made changes nothing but the file.
    ASSERT_TRUE(QDir(Folder.File("INI")).removeRecursively());
    WriteAll(Folder.File("INI"), "a file");
    SetDbPath(Folder.File("elsewhere"));
    LoadArchiveSettings();
    EXPECT_EQ(DbPath(), Folder.Path() + "/DATA");
}

TEST_F(Archive, DayFoldersSplitAtMidnight) {
    EXPECT_EQ(ArchiveDayFolder(At(2026, 12, 8, 23, 59, 59)), "2026/12/08");
    EXPECT_EQ(ArchiveDayFolder(At(2026, 12, 9, 0, 0, 1)), "2026/12/09");
    // Half a millisecond before midnight is stored as midnight: folder and DT agree.
    EXPECT_EQ(ArchiveDayFolder(At(2026, 12, 8) + 1 - 0.4 / 86400000), "2026/12/09");

    ASSERT_TRUE(ArchiveWrite("aLevel", "", At(2026, 12, 8, 23, 59, 59), 1));
    ASSERT_TRUE(ArchiveWriteText("aLevel", "", 9, 1, At(2026, 12, 8, 23, 59, 59), 1));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", At(2026, 12, 9, 0, 0, 1), 2));
    ASSERT_TRUE(ArchiveWriteText("aLevel", "", 9, 1, At(2026, 12, 9, 0, 0, 1), 2));
    const auto Day1 = StoredRows(Data("2026/12/08/aLevel.db"), "aLevel");
    const auto Day2 = StoredRows(Data("2026/12/09/aLevel.db"), "aLevel");
    ASSERT_EQ(Day1.size(), 1u);
    ASSERT_EQ(Day2.size(), 1u);
    EXPECT_EQ(Day1[0].first, "2026-12-08 23:59:59.000");
    EXPECT_EQ(Day2[0].first, "2026-12-09 00:00:01.000");
    EXPECT_EQ(ReadAll(Data("2026/12/08/aLevel.txt")), "08.12.2026 23:59:59 1,0\r\n");
    EXPECT_EQ(ReadAll(Data("2026/12/09/aLevel.txt")), "09.12.2026 00:00:01 2,0\r\n");
}

TEST_F(Archive, FirstReadingOfDayStartsTableAndTextFile) {
    const TDateTime T = At(2024, 3, 5, 14, 7, 9, 250);
    ASSERT_TRUE(ArchiveWrite("aLevel", "", T, 47.26));
    ASSERT_TRUE(ArchiveWriteText("aLevel", "", 9, 1, T, 47.26));
    const auto Rows = StoredRows(Data("2024/03/05/aLevel.db"), "aLevel");
    ASSERT_EQ(Rows.size(), 1u);
    EXPECT_EQ(Rows[0].first, "2024-03-05 14:07:09.250");
    EXPECT_DOUBLE_EQ(Rows[0].second, 47.26);
    EXPECT_EQ(ReadAll(Data("2024/03/05/aLevel.txt")), "05.03.2024 14:07:09 47,3\r\n");

    // Appended lines: a thousands separator is a no-break space (0xA0), and
    // exactly midnight writes the date only.
    ASSERT_TRUE(ArchiveWriteText("aLevel", "", 9, 2, At(2024, 3, 5, 15), 1234.5));
    ASSERT_TRUE(ArchiveWriteText("aLevel", "", 9, 0, At(2024, 3, 5), -3));
    EXPECT_EQ(ReadAll(Data("2024/03/05/aLevel.txt")),
              "05.03.2024 14:07:09 47,3\r\n05.03.2024 15:00:00 1\xA0"
              "234,50\r\n05.03.2024 -3\r\n");
    // The text write never creates a table file.
    ASSERT_TRUE(ArchiveWriteText("aFreq", "", 9, 0, T, 5000));
    EXPECT_FALSE(QFile::exists(Data("2024/03/05/aFreq.db")));
}

TEST_F(Archive, ThreeSeriesPerPoll) {
    const TDateTime T = At(2025, 1, 2, 10);
    for (const char *Name : {"aLevel", "aVolume", "aFreq"}) {
        EXPECT_TRUE(ArchiveWrite(Name, "", T, 1.5));
        EXPECT_TRUE(ArchiveWriteText(Name, "", 9, 0, T, 1.5));
    }
    // The journal's companions (-wal, -shm) may stand beside the tables.
    QStringList Files = QDir(Data("2025/01/02")).entryList({"*.db", "*.txt"}, QDir::Files, QDir::Name);
    EXPECT_EQ(Files, QStringList({"aFreq.db", "aFreq.txt", "aLevel.db", "aLevel.txt", "aVolume.db", "aVolume.txt"}));
    for (const char *Name : {"aLevel", "aVolume", "aFreq"})
        EXPECT_EQ(StoredRows(Data(QString("2025/01/02/%1.db").arg(Name)), Name).size(), 1u) << Name;
}

TEST_F(Archive, GivenFileNameAndTrimmedName) {
    const QString Path = Folder.File("own/sub/aLevel.db");
    EXPECT_TRUE(ArchiveWrite(" aLevel ", "  " + Path + " ", At(2024, 1, 1, 1), 7));
    EXPECT_TRUE(ArchiveWrite("aLevel", Path, At(2024, 1, 2, 1), 8));
    EXPECT_EQ(StoredRows(Path, "aLevel").size(), 2u);
    // The statement names the table Name, which this file does not hold.
    EXPECT_FALSE(ArchiveWrite("aVolume", Path, At(2024, 1, 1, 1), 7));
    EXPECT_TRUE(CreateArchiveTable(Path)); // already there
    EXPECT_FALSE(CreateArchiveTable(Folder.File("own/no such dir/x.db")));
}

TEST_F(Archive, BadSeriesNamesRefused) {
    const TDateTime T = At(2024, 3, 5, 12);
    for (const QString &Bad : {QString(), QString("  "), QString("aLevel; DROP TABLE aLevel"), QString("../aLevel"),
                               QString("1st"), QString("a\"b"), QString("a-b"), QString::fromUtf8("Уровень")}) {
        EXPECT_FALSE(ArchiveWrite(Bad, "", T, 1)) << Bad.toStdString();
        EXPECT_FALSE(ArchiveWriteText(Bad, "", 9, 1, T, 1)) << Bad.toStdString();
        TArchiveSeries P;
        EXPECT_EQ(ReadArchiveDay(Bad, T, 0, 0, P), TArchiveDayResult::Failed);
    }
    EXPECT_FALSE(CreateArchiveTable(Folder.File("x/bad name.db")));
    EXPECT_FALSE(QDir(Data("")).exists());
    // A keyword is a plain identifier and works because names are quoted.
    EXPECT_TRUE(ArchiveWrite("select", "", T, 1));
    TArchiveSeries P;
    EXPECT_EQ(ReadArchiveDay("select", T, 0, 0, P), TArchiveDayResult::Read);
    EXPECT_EQ(P.size(), 1u);
}

TEST_F(Archive, RangeInclusiveAndAscending) {
    // Written out of order, as after the clock was set back.
    const TDateTime T1 = At(2024, 6, 1, 10, 0, 0, 1), T2 = At(2024, 6, 1, 11), T3 = At(2024, 6, 1, 12),
                    T0 = At(2024, 6, 1, 9);
    ASSERT_TRUE(ArchiveWrite("aLevel", "", T3, 3));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", T1, 1));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", T0, 0));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", T2, 2));

    TArchiveSeries P;
    ASSERT_TRUE(ReadArchiveRange("aLevel", T1, T3, P));
    EXPECT_EQ(P.V, std::vector<double>({1, 2, 3}));
    EXPECT_EQ(P.DT, std::vector<double>({T1, T2, T3}));
    // One millisecond inside either bound drops the end points.
    ASSERT_TRUE(ReadArchiveRange("aLevel", T1 + 1.0 / 86400000, T3 - 1.0 / 86400000, P));
    EXPECT_EQ(P.V, std::vector<double>({2}));
    // Zero bounds are open; a day query sees the whole table.
    ASSERT_TRUE(ReadArchiveRange("aLevel", 0, T1, P));
    EXPECT_EQ(P.V, std::vector<double>({0, 1}));
    ASSERT_TRUE(ReadArchiveRange("aLevel", 0, 0, P));
    EXPECT_EQ(P.V, std::vector<double>({0, 1, 2, 3}));
    P.clear();
    EXPECT_EQ(ReadArchiveDay("aLevel", T0, 0, 0, P), TArchiveDayResult::Read);
    EXPECT_EQ(P.size(), 4u);
    // A stop before the start reads nothing.
    ASSERT_TRUE(ReadArchiveRange("aLevel", T3, T1, P));
    EXPECT_TRUE(P.empty());
}

TEST_F(Archive, RangeOverYearEndReadsThreeDays) {
    const TDateTime Start = At(2024, 12, 30, 23), Stop = At(2025, 1, 1, 1);
    EXPECT_EQ(ArchiveDayCount(Start, Stop), 3);
    const std::vector<TDateTime> Times = {At(2024, 12, 29, 23, 59), At(2024, 12, 30, 22, 59, 59, 999), Start,
                                          At(2024, 12, 31, 12),     Stop, Stop + 1.0 / 86400000,
                                          At(2025, 1, 2, 0, 30)};
    for (std::size_t i = 0; i < Times.size(); ++i)
        ASSERT_TRUE(ArchiveWrite("aVolume", "", Times[i], double(i)));

    std::vector<std::pair<int, int>> Calls;
    TArchiveSeries P;
    ASSERT_TRUE(ReadArchiveRange("aVolume", Start, Stop, P, [&](int Day, int Count) {
        Calls.emplace_back(Day, Count);
        return true;
    }));
    EXPECT_EQ(P.V, std::vector<double>({2, 3, 4}));
    EXPECT_EQ(Calls, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}}));
    // A progress callback that says stop ends the reading after that day.
    EXPECT_FALSE(ReadArchiveRange("aVolume", Start, Stop, P, [](int Day, int) { return Day < 1; }));
    EXPECT_EQ(P.V, std::vector<double>({2, 3}));
    std::atomic_bool Cancel{true};
    EXPECT_FALSE(ReadArchiveRange("aVolume", Start, Stop, P, {}, &Cancel));
    EXPECT_TRUE(P.empty());
}

TEST_F(Archive, BrokenDaysSkipped) {
    const TDateTime D1 = At(2024, 2, 1, 8), D2 = D1 + 1, D3 = D1 + 2, D4 = D1 + 3, D5 = D1 + 4, D6 = D1 + 5;
    ASSERT_TRUE(ArchiveWrite("aLevel", "", D1, 1));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", D6, 6));
    ASSERT_TRUE(ForceDirectories(Data("2024/02/02")));
    QByteArray Garbage(4096, 'x');
    WriteAll(Data("2024/02/02/aLevel.db"), Garbage);  // not a database
    ASSERT_TRUE(ForceDirectories(Data("2024/02/03")));
    WriteAll(Data("2024/02/03/aLevel.db"), {});        // empty file, no table
    ASSERT_TRUE(ArchiveWrite("aVolume", "", D5, 5)); // a day file that holds another table
    ASSERT_TRUE(QFile::rename(Data("2024/02/05/aVolume.db"), Data("2024/02/05/aLevel.db")));
    // 2024/02/04 is missing.

    TArchiveSeries P;
    ASSERT_TRUE(ReadArchiveRange("aLevel", D1, D6, P));
    EXPECT_EQ(P.V, std::vector<double>({1, 6}));
    EXPECT_EQ(ReadArchiveDay("aLevel", D2, 0, 0, P), TArchiveDayResult::Failed);
    EXPECT_EQ(ReadArchiveDay("aLevel", D3, 0, 0, P), TArchiveDayResult::Failed);
    EXPECT_EQ(ReadArchiveDay("aLevel", D4, 0, 0, P), TArchiveDayResult::Missing);
    EXPECT_EQ(ReadArchiveDay("aLevel", D5, 0, 0, P), TArchiveDayResult::Failed);

    // Writing on goes on: the broken file is kept aside, the empty one gets its table.
    EXPECT_TRUE(ArchiveWrite("aLevel", "", D2, 2));
    EXPECT_EQ(ReadAll(Data("2024/02/02/aLevel.db.bad")), Garbage);
    EXPECT_TRUE(ArchiveWrite("aLevel", "", D3, 3));
    ASSERT_TRUE(ReadArchiveRange("aLevel", D1, D6, P));
    EXPECT_EQ(P.V, std::vector<double>({1, 2, 3, 6}));
}

TEST_F(Archive, LockedDaySkipped) {
    const TDateTime D1 = At(2024, 2, 1, 8), D2 = D1 + 1;
    ASSERT_TRUE(ArchiveWrite("aLevel", "", D1, 1));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", D2, 2));
    // Another program holds the day file in rollback mode with an exclusive lock.
    sqlite3 *Other = nullptr;
    ASSERT_EQ(sqlite3_open(Data("2024/02/02/aLevel.db").toUtf8().constData(), &Other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(Other, "PRAGMA journal_mode=DELETE; BEGIN EXCLUSIVE; INSERT INTO aLevel (V, DT) VALUES (9, '')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const int Timeout = ArchiveBusyTimeout();
    SetArchiveBusyTimeout(20);
    TArchiveSeries P;
    EXPECT_TRUE(ReadArchiveRange("aLevel", D1, D2, P));
    EXPECT_EQ(P.V, std::vector<double>({1}));
    EXPECT_FALSE(ArchiveWrite("aLevel", "", D2, 3));
    SetArchiveBusyTimeout(Timeout);
    sqlite3_exec(Other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(Other);
    EXPECT_TRUE(ReadArchiveRange("aLevel", D1, D2, P));
    EXPECT_EQ(P.V, std::vector<double>({1, 2}));
}

TEST_F(Archive, ReaderAndWriterOnSameDay) {
    constexpr int kRows = 2000;
    const TDateTime Day = At(2024, 7, 1, 6);
    std::atomic_bool Done{false};
    std::atomic_int WriteFailures{0};
    std::thread Writer([&] {
        for (int i = 0; i < kRows; ++i)
            if (!ArchiveWrite("aLevel", "", Day + i / 86400.0, i))
                ++WriteFailures;
        Done = true;
    });

    int ReadErrors = 0, BadPrefixes = 0, Reads = 0;
    std::size_t Last = 0;
    TArchiveSeries P;
    const auto ReadOnce = [&] {
        P.clear();
        const TArchiveDayResult R = ReadArchiveDay("aLevel", Day, 0, 0, P);
        ++Reads;
        if (R != TArchiveDayResult::Read && !(R == TArchiveDayResult::Missing && Last == 0))
            ++ReadErrors;
        if (P.size() < Last)
            ++BadPrefixes;
        for (std::size_t i = 0; i < P.size(); ++i)
            if (P.V[i] != double(i)) {
                ++BadPrefixes;
                break;
            }
        Last = P.size();
    };
    while (!Done)
        ReadOnce();
    Writer.join();
    ReadOnce();
    EXPECT_EQ(WriteFailures, 0);
    EXPECT_EQ(ReadErrors, 0);
    EXPECT_EQ(BadPrefixes, 0);
    EXPECT_EQ(P.size(), std::size_t(kRows));
    EXPECT_GT(Reads, 1);
}

TEST_F(Archive, ReadOnlyDaysReadBack) {
    const TDateTime D1 = At(2024, 9, 1, 8), D2 = D1 + 1, D3 = D1 + 2;
    ASSERT_TRUE(ArchiveWrite("aLevel", "", D1, 1));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", D1 + 1.0 / 24, 2));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", D2, 3));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", D3, 4));
    // The writer leaves the WAL-mode table file alone in its folder: a reader
    // needs to make the WAL index (-shm) beside it, which it may not here.
    EXPECT_EQ(QDir(Data("2024/09/01")).entryList(QDir::Files), QStringList({"aLevel.db"}));
    const TReadOnlyFolder Day1(Data("2024/09/01")), Day3(Data("2024/09/03"));
    if (!Day1.Active() || !Day3.Active())
        GTEST_SKIP() << Day1.Reason().toStdString();

    TArchiveSeries P;
    EXPECT_EQ(ReadArchiveDay("aLevel", D1, 0, 0, P), TArchiveDayResult::Read);
    EXPECT_EQ(P.V, std::vector<double>({1, 2}));
    std::vector<TDateTime> Skipped{D1};
    ASSERT_TRUE(ReadArchiveRange("aLevel", D1, D3, P, {}, nullptr, &Skipped));
    EXPECT_EQ(P.V, std::vector<double>({1, 2, 3, 4}));
    EXPECT_TRUE(Skipped.empty());
    // A bound inside the day still applies.
    ASSERT_TRUE(ReadArchiveRange("aLevel", D1 + 0.5 / 24, D3, P));
    EXPECT_EQ(P.V, std::vector<double>({2, 3, 4}));
    EXPECT_EQ(QDir(Data("2024/09/01")).entryList(QDir::Files), QStringList({"aLevel.db"}));
}

TEST_F(Archive, ReadOnlyFileWithUriCharactersInItsPath) {
    const QString Dir = Folder.File("odd ?name#1 %41");
    const QString Path = Dir + "/aLevel.db";
    ASSERT_TRUE(ArchiveWrite("aLevel", Path, At(2024, 9, 1, 8), 7));
    const TReadOnlyFolder ReadOnly(Dir);
    if (!ReadOnly.Active())
        GTEST_SKIP() << ReadOnly.Reason().toStdString();
    TArchiveSeries P;
    EXPECT_EQ(ReadArchiveFile(Path, "aLevel", 0, 0, P), TArchiveDayResult::Read);
    EXPECT_EQ(P.V, std::vector<double>({7}));
}

TEST_F(Archive, UnreadableDaysAreNamed) {
    const TDateTime D1 = At(2024, 9, 1, 8), D2 = D1 + 1, D3 = D1 + 2, D4 = D1 + 3;
    ASSERT_TRUE(ArchiveWrite("aLevel", "", D1, 1));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", D2, 2));
    ASSERT_TRUE(ArchiveWrite("aVolume", "", D3, 3)); // a day without a table of aLevel
    ASSERT_TRUE(ArchiveWrite("aLevel", "", D4, 4));
    WriteAll(Data("2024/09/02/aLevel.db"), QByteArray(4096, 'x'));
    WriteAll(Data("2024/09/04/aLevel.db"), QByteArray(4096, 'y'));

    TArchiveSeries P;
    std::vector<TDateTime> Skipped;
    ASSERT_TRUE(ReadArchiveRange("aLevel", D1, D4, P, {}, nullptr, &Skipped));
    EXPECT_EQ(P.V, std::vector<double>({1}));
    EXPECT_EQ(Skipped, std::vector<TDateTime>({At(2024, 9, 2), At(2024, 9, 4)}));
    // Day by day, as a window takes them.
    std::vector<std::vector<double>> Days;
    const TArchiveRangeResult R = ReadArchiveRangeByDay(
        "aLevel", D1, D4, [&](const TArchiveSeries &Day) { Days.push_back(Day.V); });
    EXPECT_TRUE(R.Finished);
    EXPECT_EQ(R.SkippedDays, Skipped);
    EXPECT_EQ(Days, (std::vector<std::vector<double>>{{1}, {}, {}, {}}));
}

TEST_F(Archive, TextLineCutShortIsTakenBack) {
    const TDateTime T = At(2024, 4, 1, 10);
    const QString Path = Data("2024/04/01/aLevel.txt");
    ASSERT_TRUE(ArchiveWriteText("aLevel", "", 9, 1, T, 1));
    const QByteArray First = ReadAll(Path);
    ASSERT_EQ(First, "01.04.2024 10:00:00 1,0\r\n");
    bool Written = true;
    {
        // Room for the first ten bytes of the next line only, as on a disk that fills up.
        TFileSizeLimit Limit(static_cast<rlim_t>(First.size()) + 10);
        Written = ArchiveWriteText("aLevel", "", 9, 1, T + 1.0 / 24, 2);
    }
    EXPECT_FALSE(Written);
    EXPECT_EQ(ReadAll(Path), First);
    ASSERT_TRUE(ArchiveWriteText("aLevel", "", 9, 1, T + 2.0 / 24, 3));
    EXPECT_EQ(ReadAll(Path), First + "01.04.2024 12:00:00 3,0\r\n");
}

// On a full disk the archive is still read whole, and reading leaves no file
// behind: a reader needs no free space.
TEST_F(Archive, ReadingNeedsNoFreeSpace) {
    const TDateTime T = At(2024, 4, 2, 10);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(ArchiveWrite("aLevel", "", T + i / 24.0, i + 0.5));
    const QDir Day(Data("2024/04/02"));
    const QStringList Before = Day.entryList(QDir::Files);
    TArchiveSeries Points;
    bool Read = false;
    {
        // Not a byte more for any file of the process, as on a full disk.
        TFileSizeLimit Limit(0);
        Read = ReadArchiveRange("aLevel", T, T + 1, Points);
    }
    EXPECT_TRUE(Read);
    EXPECT_EQ(Points.V, (std::vector<double>{0.5, 1.5, 2.5}));
    EXPECT_EQ(Day.entryList(QDir::Files), Before);
}

// A reading whose table row fails while its text line is written: the
// failure names the file and the reason, and the next reading is whole in
// both copies.
TEST_F(Archive, AFailedCopyOfAReadingIsNamedAndTheNextOneIsWhole) {
    const TDateTime T = At(2024, 4, 3, 10);
    ASSERT_TRUE(ArchiveWrite("aLevel", "", T, 1));
    ASSERT_TRUE(ArchiveWriteText("aLevel", "", 9, 1, T, 1));
    const QString Text = Data("2024/04/03/aLevel.txt");
    const QByteArray FirstLine = ReadAll(Text);
    bool RowWritten = true, LineWritten = true;
    {
        TFileSizeLimit Limit(static_cast<rlim_t>(FirstLine.size()) + 10);
        RowWritten = ArchiveWrite("aLevel", "", T + 1.0 / 24, 2);
        LineWritten = ArchiveWriteText("aLevel", "", 9, 1, T + 1.0 / 24, 2);
    }
    EXPECT_FALSE(RowWritten);
    EXPECT_FALSE(LineWritten);
    EXPECT_TRUE(ArchiveWriteFailure().startsWith(Text + QStringLiteral(": "))) << ArchiveWriteFailure().toStdString();
    EXPECT_EQ(ReadAll(Text), FirstLine);
    ASSERT_TRUE(ArchiveWrite("aLevel", "", T + 2.0 / 24, 3));
    ASSERT_TRUE(ArchiveWriteText("aLevel", "", 9, 1, T + 2.0 / 24, 3));
    TArchiveSeries Points;
    ASSERT_TRUE(ReadArchiveRange("aLevel", T, T + 1, Points));
    EXPECT_EQ(Points.V, (std::vector<double>{1, 3}));
    EXPECT_EQ(ReadAll(Text), FirstLine + "03.04.2024 12:00:00 3,0\r\n");
}

TEST_F(Archive, LeftoverTemporariesRemovedAtNextWrite) {
    // The age of a leftover is its file time, which the kernel sets from the
    // real clock, against the system clock, which libfaketime moves.
    SKIP_UNDER_FAKE_CLOCK("file times come from the real clock");
    const QString Day = Data("2024/10/01");
    ASSERT_TRUE(ForceDirectories(Day));
    ASSERT_TRUE(CreateArchiveTable(Day + "/aLevel.db"));
    const auto Id = [] { return QUuid::createUuid().toString(QUuid::Id128); };
    // Left by a process killed while it created the tables of aLevel (which
    // another process then created) and of aVolume (still missing).
    const QString LevelTemp = "aLevel.db.new-" + Id(), VolumeTemp = "aVolume.db.new-" + Id();
    const QStringList Leftovers = {LevelTemp, LevelTemp + "-journal", LevelTemp + "-wal", LevelTemp + "-shm",
                                   VolumeTemp, VolumeTemp + "-wal"};
    // Not of that form, or (aFreq) being created right now by another process.
    const QStringList Others = {"aLevel.db.new-1", "aLevel.db.new-" + Id() + ".bak", "aFreq.db.new-" + Id(),
                                "notes.txt"};
    const QDateTime LongAgo = QDateTime::currentDateTime().addSecs(-2 * 3600);
    for (const QString &Name : Leftovers + Others) {
        QFile F(Day + u'/' + Name);
        ASSERT_TRUE(F.open(QIODevice::WriteOnly)) << Name.toStdString();
        ASSERT_TRUE(F.write("x") == 1 && F.flush()); // before the time is set back
        if (!Name.startsWith("aFreq")) {
            ASSERT_TRUE(F.setFileTime(LongAgo, QFileDevice::FileModificationTime));
        }
    }

    ASSERT_TRUE(ArchiveWrite("aLevel", "", At(2024, 10, 1, 9), 1));
    QStringList Expected = Others;
    Expected << "aLevel.db";
    Expected.sort();
    QStringList Found = QDir(Day).entryList(QDir::Files);
    Found.removeIf([](const QString &N) { return N.startsWith("aLevel.db-"); }); // the live table's own
    Found.sort();
    EXPECT_EQ(Found.join(u' ').toStdString(), Expected.join(u' ').toStdString());
    ASSERT_TRUE(ArchiveWrite("aVolume", "", At(2024, 10, 1, 9), 2));
    EXPECT_EQ(StoredRows(Day + "/aVolume.db", "aVolume").size(), 1u);
}

TEST_F(Archive, AllOfTimeVisitsOnlyTheDaysThere) {
    ASSERT_TRUE(ArchiveWrite("aLevel", "", At(2023, 3, 1, 8), 1));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", At(2024, 2, 29, 8), 2));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", At(2024, 2, 29, 20), 3));
    ASSERT_TRUE(ArchiveWrite("aLevel", "", At(2025, 12, 31, 23), 4));
    // Folders that are no days are passed over.
    for (const char *Other : {"2024/13/01", "2024/02/30", "2024/02/x1", "notes", "2024/02/29/sub"})
        ASSERT_TRUE(ForceDirectories(Data(Other)));

    TDateTime First = 0, Last = 0;
    ASSERT_TRUE(ArchiveDateValue(1, 1, 1, First));
    ASSERT_TRUE(ArchiveDateValue(9999, 12, 31, Last));
    Last += 1 - 1.0 / 86400000;
    EXPECT_EQ(ArchiveRangeDays(First, Last),
              std::vector<TDateTime>({At(2023, 3, 1), At(2024, 2, 29), At(2025, 12, 31)}));
    std::vector<std::pair<int, int>> Calls;
    TArchiveSeries P;
    ASSERT_TRUE(ReadArchiveRange("aLevel", First, Last, P, [&](int Day, int Count) {
        Calls.emplace_back(Day, Count);
        return true;
    }));
    EXPECT_EQ(P.V, std::vector<double>({1, 2, 3, 4}));
    EXPECT_EQ(Calls, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}}));
    // Bounds inside years and months.
    ASSERT_TRUE(ReadArchiveRange("aLevel", At(2024, 2, 29, 12), At(2025, 12, 31), P));
    EXPECT_EQ(P.V, std::vector<double>({3}));
    EXPECT_EQ(ArchiveRangeDays(At(2023, 3, 2), At(2025, 12, 30, 23)), std::vector<TDateTime>({At(2024, 2, 29)}));
    EXPECT_TRUE(ArchiveRangeDays(At(2025, 12, 31, 1), At(2025, 12, 30, 23)).empty());
    EXPECT_GE(ArchiveRangeRowEstimate("aLevel", First, Last), 4u);
}

TEST(ArchiveTime, TextLayout) {
    // Same text and the same rounding as the Qt conversion, across the calendar.
    for (TDateTime V : {0.0, 1.5, -1.25, 45356.58853, 45356.999999999, 2958465.5, -693593.0, 45292.0 + 1e-9}) {
        const QByteArray Text = ArchiveTimeText(V);
        EXPECT_EQ(QString::fromLatin1(Text), DateTimeToQt(V).toString("yyyy-MM-dd HH:mm:ss.zzz")) << V;
        TDateTime Back = 0;
        ASSERT_TRUE(ParseArchiveTime(Text.constData(), Text.size(), Back)) << V;
        EXPECT_EQ(Back, DateTimeFromQt(DateTimeToQt(V))) << V;
    }
    EXPECT_TRUE(ArchiveTimeText(std::nan("")).isEmpty());
    EXPECT_TRUE(ArchiveTimeText(1e9).isEmpty());

    TDateTime V = 0;
    const auto Parse = [&](const char *T) { return ParseArchiveTime(T, std::strlen(T), V); };
    EXPECT_TRUE(Parse("2024-03-05T14:07:09"));
    EXPECT_EQ(V, At(2024, 3, 5, 14, 7, 9));
    EXPECT_TRUE(Parse("2024-03-05 14:07:09.5"));
    EXPECT_EQ(V, At(2024, 3, 5, 14, 7, 9, 500));
    EXPECT_TRUE(Parse("2024-02-29 00:00:00.000"));
    for (const char *Bad : {"", "2024-03-05", "2023-02-29 00:00:00", "2024-03-05 24:00:00", "2024-13-01 00:00:00",
                            "2024-03-05 14:07:60", "2024-03-05 14:07:09.", "2024-03-05 14:07:09.1234",
                            "2024/03/05 14:07:09", "2024-03-05 14:07:0x", "05.03.2024 14:07:09"})
        EXPECT_FALSE(Parse(Bad)) << Bad;
    EXPECT_FALSE(ParseArchiveTime(nullptr, 0, V));
}

// The hour that local time repeats in autumn: both passes read back in the
// order they were taken, each with the offset it was taken with, whatever the
// zone of the reader. The rows keep V and DT as they were, and lie in the
// order written.
TEST_F(Archive, TheRepeatedHourOfAutumnReadsInTheOrderItWasTaken) {
    ASSERT_TRUE(ArchiveTheRepeatedHourOfAutumn());
    TArchiveSeries P;
    ASSERT_TRUE(ReadArchiveRange("aLevel", At(2026, 10, 25), At(2026, 10, 25, 23, 59, 59), P));
    EXPECT_EQ(P.V, (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(P.Offset, (std::vector<int>{7200, 7200, 3600, 3600}));
    EXPECT_EQ(ArchiveMs(P.UtcAt(1)) + 6000, ArchiveMs(P.UtcAt(2))); // 00:59:59 and 01:00:05 UTC
    const auto Stored = StoredRows(Data("2026/10/25/aLevel.db"), "aLevel");
    ASSERT_EQ(Stored.size(), 4u);
    EXPECT_EQ(Stored[2], (std::pair{QStringLiteral("2026-10-25 02:00:05.000"), 3.0}));
}

// A day table of an earlier version (V and DT only) reads as before, its rows
// taken in the reader's zone; the next reading written adds the new fields,
// and a tool that inserts V and DT alone still can.
TEST_F(Archive, ATableOfAnEarlierVersionStillReads) {
    // Its rows are read in the reader's zone: one without summer time here.
    const TTestZone Utc("UTC");
    const QString Path = Data("2026/03/02/aLevel.db");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(Path).absolutePath()));
    sqlite3 *Db = nullptr;
    ASSERT_EQ(sqlite3_open(Path.toUtf8().constData(), &Db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(Db,
                           "CREATE TABLE aLevel (V REAL, DT TEXT); INSERT INTO aLevel VALUES (1, '2026-03-02 08:00:00.000');"
                           "INSERT INTO aLevel VALUES (2, '2026-03-02 08:00:01.000');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(Db);
    const TDateTime Day = At(2026, 3, 2);
    TArchiveSeries P;
    ASSERT_EQ(ReadArchiveDay("aLevel", Day, 0, 0, P), TArchiveDayResult::Read);
    EXPECT_EQ(P.V, (std::vector<double>{1, 2}));
    EXPECT_EQ(P.Offset[0], LocalUtcOffset(At(2026, 3, 2, 8)));

    ASSERT_TRUE(ArchiveWrite("aLevel", "", At(2026, 3, 2, 8, 0, 2), 3, {-18000, std::nullopt}));
    ASSERT_EQ(sqlite3_open(Path.toUtf8().constData(), &Db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(Db, "INSERT INTO aLevel (V, DT) VALUES (4, '2026-03-02 13:00:03.000')", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(Db);
    P.clear();
    ASSERT_EQ(ReadArchiveDay("aLevel", Day, 0, 0, P), TArchiveDayResult::Read);
    ASSERT_EQ(P.size(), 4u);
    EXPECT_EQ(P.Offset[2], -18000); // 13:00:02 UTC: between the rows of the tool at 13:00:03 local
    std::vector<TArchiveRow> Rows;
    ASSERT_EQ(ReadArchiveRowsAfter("aLevel", Day, 1, 10, Rows), TArchiveDayResult::Read);
    ASSERT_EQ(Rows.size(), 3u);
    EXPECT_EQ(Rows[0].Row, 2);
    EXPECT_EQ(Rows[0].Plant, -1);
    EXPECT_EQ(Rows[1].Offset, -18000);
}
