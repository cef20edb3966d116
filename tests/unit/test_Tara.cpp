#include "Tara.h"
#include "TestEnvironment.h"
#include "uFormat.h"
#include "uTextFile.h"

#include <QDir>
#include <QLocale>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

// A table file on disk (a table loads only while its file exists) and the
// object pointed at it.
struct TTaraFixture : ::testing::Test {
    TTestFolder Folder;
    TTara Tara;
    void SetUp() override {
        Tara.FileName = Folder.File("table.txt");
        WriteAll(Tara.FileName, "x");
    }
    bool Load(const QString &Name, const QStringList &Lines) {
        Tara.TableName = Name;
        return Tara.LoadFromStrings(Lines);
    }
};

// Number formats of a machine set to English, to show the tables do not care.
struct TEnglishLocale {
    TFormatSettings Old = DefaultFormatSettings();
    TEnglishLocale() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        SetDefaultFormatSettings(TFormatSettings::FromLocale(QLocale(QLocale::English, QLocale::UnitedStates)));
    }
    ~TEnglishLocale() { PinRussianLocale(); }
};

double Volume(const TTara &Tara, double Level) {
    double V = -12345;
    EXPECT_TRUE(Tara.LevelToVolume(Level, V)) << Level;
    return V;
}

const char kTypicalFile[] =
    "*******************************\x0D\x0A"
    "* \xD4\xEE\xF0\xEC\xE0\xF2 \xF2\xE0\xE1\xEB\xE8\xF6\xFB               \x0D\x0A"
    "* <\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5>=<\xCA\xEE\xEB\xE8\xF7\xE5\xF1\xF2\xE2\xEE \xF2\xEE\xF7\xE5\xEA>\x0D\x0A"
    "* \xD3\xF0\xEE\xE2\xE5\xED\xFC, \xEC\xEC -> \xCE\xE1\xFA\xE5\xEC, %      \x0D\x0A"
    "*******************************\x0D\x0A"
    "ttDefault1=2\x0D\x0A"
    "    0    0,00\x0D\x0A"
    "10000\x09 100,00\x0D\x0A"
    "\x0D\x0A"
    "*******************************\x0D\x0A"
    "* \xD4\xEE\xF0\xEC\xE0\xF2 \xF2\xE0\xE1\xEB\xE8\xF6\xFB               \x0D\x0A"
    "* <\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5>=<\xCA\xEE\xEB\xE8\xF7\xE5\xF1\xF2\xE2\xEE \xF2\xEE\xF7\xE5\xEA>\x0D\x0A"
    "* \xD3\xF0\xEE\xE2\xE5\xED\xFC, % -> \xCE\xE1\xFA\xE5\xEC, %       \x0D\x0A"
    "*******************************\x0D\x0A"
    "ttDefault2=32\x0D\x0A"
    "  0,0     0,0\x0D\x0A"
    "  3,2     1,0\x0D\x0A"
    "  6,3     2,5\x0D\x0A"
    "  9,5     4,8\x0D\x0A"
    " 12,6     7,3\x0D\x0A"
    " 15,8    10,1\x0D\x0A"
    " 18,9    13,2\x0D\x0A"
    " 22,1    16,5\x0D\x0A"
    " 25,2    19,9\x0D\x0A"
    " 28,4    23,4\x0D\x0A"
    " 31,6    27,0\x0D\x0A"
    " 34,7    30,9\x0D\x0A"
    " 37,9    34,7\x0D\x0A"
    " 41,0    38,6\x0D\x0A"
    " 44,2    42,6\x0D\x0A"
    " 47,3    46,6\x0D\x0A"
    " 50,5    50,6\x0D\x0A"
    " 53,7    54,7\x0D\x0A"
    " 56,8    58,7\x0D\x0A"
    " 60,0    62,7\x0D\x0A"
    " 63,1    66,5\x0D\x0A"
    " 66,3    70,3\x0D\x0A"
    " 69,4    74,1\x0D\x0A"
    " 72,6    77,8\x0D\x0A"
    " 75,7    81,3\x0D\x0A"
    " 78,9    84,6\x0D\x0A"
    " 82,1    87,8\x0D\x0A"
    " 85,2    90,8\x0D\x0A"
    " 88,4    93,5\x0D\x0A"
    " 91,5    96,0\x0D\x0A"
    " 94,7    98,0\x0D\x0A"
    "100,0   100,0\x0D\x0A"
    "\x0D\x0A";

} // namespace

TEST(ScanNumber, RunsOfDigitsMinusAndOneComma) {
    qsizetype Pos = 0;
    double V = 0;
    const QString Spaced = "    0    0,00";
    EXPECT_TRUE(ScanNumber(Spaced, Pos, V));
    EXPECT_EQ(V, 0);
    EXPECT_EQ(Pos, 5);
    EXPECT_TRUE(ScanNumber(Spaced, Pos, V));
    EXPECT_EQ(V, 0);
    EXPECT_EQ(Pos, Spaced.size());
    EXPECT_FALSE(ScanNumber(Spaced, Pos, V)) << "past the end there is no number";

    const QString Tabbed = "10000\t 100,00 mm";
    Pos = 0;
    EXPECT_TRUE(ScanNumber(Tabbed, Pos, V));
    EXPECT_EQ(V, 10000);
    EXPECT_TRUE(ScanNumber(Tabbed, Pos, V));
    EXPECT_EQ(V, 100);

    // A second comma ends the number and starts the next one.
    const QString Commas = "1,5,2 3";
    Pos = 0;
    EXPECT_TRUE(ScanNumber(Commas, Pos, V));
    EXPECT_EQ(V, 1.5);
    EXPECT_EQ(Pos, 3);
    EXPECT_TRUE(ScanNumber(Commas, Pos, V));
    EXPECT_DOUBLE_EQ(V, 0.2);

    // A point is not part of a number.
    const QString Point = "1.5";
    Pos = 0;
    EXPECT_TRUE(ScanNumber(Point, Pos, V));
    EXPECT_EQ(V, 1);
    EXPECT_TRUE(ScanNumber(Point, Pos, V));
    EXPECT_EQ(V, 5);

    Pos = 0;
    EXPECT_TRUE(ScanNumber("x-12,25y", Pos, V));
    EXPECT_EQ(V, -12.25);
    EXPECT_EQ(Pos, 7);
}

TEST(ScanNumber, RejectsRunsThatAreNoNumber) {
    for (const QString &Text : {QString(), QString("   "), QString(","), QString("-"), QString("1-2"),
                                QString("12,5-3"), QString("--1"), QString("-,"), QString("abc")}) {
        qsizetype Pos = 0;
        double V = 42;
        EXPECT_FALSE(ScanNumber(Text, Pos, V)) << Text.toStdString();
        EXPECT_EQ(V, 42) << Text.toStdString();
    }
    // Hundreds of digits overflow a double: no number rather than infinity.
    qsizetype Pos = 0;
    double V = 0;
    EXPECT_FALSE(ScanNumber(QString(400, u'9'), Pos, V));
    Pos = -1;
    EXPECT_FALSE(ScanNumber("5", Pos, V));
}

TEST_F(TTaraFixture, LinearTableExtendsBothEnds) {
    ASSERT_TRUE(Load("ttDefault1", {"ttDefault1=2", "    0    0,00", "10000\t 100,00"}));
    ASSERT_EQ(Tara.Table.size(), 2u);
    EXPECT_EQ(Tara.Table[1].Level, 10000);
    EXPECT_EQ(Tara.Table[1].Volume, 100);
    EXPECT_DOUBLE_EQ(Volume(Tara, 2500), 25);
    EXPECT_DOUBLE_EQ(Volume(Tara, -100), -1);
    EXPECT_DOUBLE_EQ(Volume(Tara, 12000), 120);
    EXPECT_DOUBLE_EQ(Volume(Tara, 0), 0);
}

TEST_F(TTaraFixture, MiddleSegmentsAndEqualLevels) {
    ASSERT_TRUE(Load("t", {"t=5", "0 0", "10 20", "10 50", "20 60", "40 100"}));
    EXPECT_DOUBLE_EQ(Volume(Tara, 5), 10);
    EXPECT_DOUBLE_EQ(Volume(Tara, 10), 20) << "equal levels give the first point's volume";
    EXPECT_DOUBLE_EQ(Volume(Tara, 15), 55);
    EXPECT_DOUBLE_EQ(Volume(Tara, 30), 80);
    EXPECT_DOUBLE_EQ(Volume(Tara, 50), 120);
}

TEST_F(TTaraFixture, NoResultWithoutNameOrTwoPoints) {
    double V = 7;
    ASSERT_TRUE(Load("T", {"T=0"}));
    EXPECT_TRUE(Tara.Table.empty());
    EXPECT_FALSE(Tara.LevelToVolume(1, V));
    ASSERT_TRUE(Load("T", {"T=1", "1 1"}));
    EXPECT_FALSE(Tara.LevelToVolume(1, V));
    ASSERT_TRUE(Load("T", {"T=2", "1 1", "2 2"}));
    Tara.TableName.clear();
    EXPECT_FALSE(Tara.LevelToVolume(1, V));
    EXPECT_EQ(V, 7) << "no result leaves the volume untouched";
}

TEST_F(TTaraFixture, PointLinesMustAllBeThere) {
    EXPECT_FALSE(Load("T", {"T=3", "1 1", "2 2"}));
    EXPECT_EQ(Tara.Table.size(), 2u);

    // The empty line is the third point line.
    EXPECT_FALSE(Load("T", {"T=3", "1 1", "2 2", "", "3 3"}));
    ASSERT_EQ(Tara.Table.size(), 3u);
    EXPECT_EQ(Tara.Table[1].Volume, 2);
    EXPECT_EQ(Tara.Table[2].Level, 0);
    EXPECT_EQ(Tara.Table[2].Volume, 0);

    EXPECT_FALSE(Load("T", {"T=2", "1 1", "2"})) << "a single number is no point";
    EXPECT_FALSE(Load("T", {"T=1", "1 NAN"}));
    EXPECT_FALSE(Load("T", {"T=-1", "1 1"}));
    EXPECT_TRUE(Tara.Table.empty());
}

TEST_F(TTaraFixture, AbsurdCountIsNeverAllocated) {
    EXPECT_FALSE(Load("T", {"T=2000000000", "1 1", "2 2"}));
    EXPECT_EQ(Tara.Table.size(), 2u);
    EXPECT_LT(Tara.Table.capacity(), 100u);
    EXPECT_FALSE(Load("T", {"T=2147483647"}));
    EXPECT_TRUE(Tara.Table.empty());
    // Beyond 32 bits the count is no integer at all and counts as 0.
    EXPECT_TRUE(Load("T", {"T=99999999999", "1 1"}));
    EXPECT_TRUE(Tara.Table.empty());
}

TEST_F(TTaraFixture, HeaderLookup) {
    // Letter case is ignored, Cyrillic included, and the first header wins.
    ASSERT_TRUE(Load("tt", {"TT=2", "0 0", "1 1", "tt=2", "0 0", "1 5"}));
    EXPECT_EQ(Tara.Table[1].Volume, 1);
    ASSERT_TRUE(Load("резервуар", {"РЕЗЕРВУАР=2", "0 0", "1 3"}));
    EXPECT_EQ(Tara.Table[1].Volume, 3);

    // A line with a '*' is never a header, wherever the star is.
    EXPECT_FALSE(Load("* a", {"* a=5", "1 1"}));
    EXPECT_FALSE(Load("a", {"a=1 *", "1 1"}));
    // The name is taken verbatim, blanks included.
    EXPECT_FALSE(Load("T", {"T =1", "1 1"}));
    // A count that is not an integer counts as 0.
    EXPECT_TRUE(Load("T", {"T=32 ", "1 1"}));
    EXPECT_TRUE(Tara.Table.empty());
    EXPECT_TRUE(Load("T", {"T=", "1 1"}));
    EXPECT_TRUE(Load("T", {"T=3,5"}));
    EXPECT_FALSE(Load("T", {"T1=1", "1 1"}));
    EXPECT_FALSE(Load("", {"=1", "1 1"}));
}

TEST_F(TTaraFixture, NeedsTheFileOnDisk) {
    const QStringList Lines{"T=2", "0 0", "1 1"};
    ASSERT_TRUE(Load("T", Lines));
    Tara.FileName = Folder.File("missing.txt");
    EXPECT_FALSE(Load("T", Lines));
    EXPECT_TRUE(Tara.Table.empty()) << "every attempt starts from an empty table";
    Tara.FileName = Folder.Path(); // a folder is no file
    EXPECT_FALSE(Load("T", Lines));
}

TEST_F(TTaraFixture, DecimalCommaWhateverTheLocale) {
    TEnglishLocale English;
    ASSERT_TRUE(Load("T", {"T=2", "0,5 1,25", "1.5 2"}));
    EXPECT_EQ(Tara.Table[0].Level, 0.5);
    EXPECT_EQ(Tara.Table[0].Volume, 1.25);
    EXPECT_EQ(Tara.Table[1].Level, 1) << "the point ends the level";
    EXPECT_EQ(Tara.Table[1].Volume, 5);

    std::array<TTaraPoint, 32> Points{};
    Points[0] = {2.5, 10.75};
    EXPECT_EQ(DeviceTableLines(Points)[6], "2,5 10,75");
}

TEST_F(TTaraFixture, TypicalFileByteForByte) {
    const QStringList Lines = TypicalTableLines();
    ASSERT_EQ(Lines.size(), 48);
    const QString Path = Folder.File("TarTabl/typical.txt");
    QDir().mkpath(Folder.File("TarTabl"));
    WriteTextLines(Path, Lines);
    EXPECT_EQ(ReadAll(Path), QByteArray(kTypicalFile, sizeof(kTypicalFile) - 1));

    bool Ok = false;
    const QStringList Read = ReadTextLines(Path, &Ok);
    ASSERT_TRUE(Ok);
    EXPECT_EQ(Read, Lines);
    Tara.FileName = Path;
    ASSERT_TRUE(Load("ttDefault1", Read));
    EXPECT_DOUBLE_EQ(Volume(Tara, 5000), 50);
    ASSERT_TRUE(Load("ttDefault2", Read));
    ASSERT_EQ(Tara.Table.size(), 32u);
    EXPECT_DOUBLE_EQ(Tara.Table[4].Level, 12.6);
    EXPECT_DOUBLE_EQ(Tara.Table[4].Volume, 7.3);
    EXPECT_DOUBLE_EQ(Tara.Table[31].Level, 100);
    EXPECT_DOUBLE_EQ(Volume(Tara, 50.5), 50.6);
    EXPECT_FALSE(Load("Формат таблицы", Read)) << "comment lines hold no table";
}

TEST_F(TTaraFixture, DeviceTableRoundTrip) {
    std::array<TTaraPoint, 32> Points{};
    for (size_t i = 0; i < Points.size(); ++i)
        Points[i] = {static_cast<float>(i * 3.2f), static_cast<float>(i * 100.0f / 31.0f)};
    QStringList Lines = DeviceTableLines(Points);
    ASSERT_EQ(Lines.size(), 39);
    EXPECT_EQ(Lines[3], "* Уровень -> Объем             ");
    EXPECT_EQ(Lines[5], "ttFromLanx1=32");
    EXPECT_EQ(Lines[6], "0 0");
    EXPECT_EQ(Lines[7].section(u' ', 0, 0), "3,20000005");
    EXPECT_EQ(Lines[38], "");
    ASSERT_TRUE(Load("ttFromLanx1", Lines));
    ASSERT_EQ(Tara.Table.size(), 32u);
    for (size_t i = 0; i < Points.size(); ++i) {
        // Nine digits give a single-precision value back exactly.
        EXPECT_EQ(static_cast<float>(Tara.Table[i].Level), static_cast<float>(Points[i].Level)) << i;
        EXPECT_EQ(static_cast<float>(Tara.Table[i].Volume), static_cast<float>(Points[i].Volume)) << i;
    }

    // A point not received from the device spoils the whole table.
    Points[20].Volume = std::nan("");
    Lines = DeviceTableLines(Points);
    EXPECT_EQ(Lines[26].section(u' ', 1), "NAN");
    EXPECT_FALSE(Load("ttFromLanx1", Lines));
}

// The point reader knows no exponent: "1,4E-45" would be the level 1,4 and
// the volume -45. Extreme singles (an uninitialised slot of the device, a
// value near the limit of the type) are written out in full and come back.
TEST_F(TTaraFixture, DeviceTableWritesNoExponent) {
    const float Tiny = std::numeric_limits<float>::denorm_min(); // 1.4e-45
    const float Huge = std::numeric_limits<float>::max();
    std::array<TTaraPoint, 32> Points{};
    for (size_t i = 0; i < Points.size(); ++i)
        Points[i] = {static_cast<double>(i), static_cast<double>(i)};
    Points[0] = {Tiny, 1e-6f};
    Points[1] = {3.4e38f, -0.0f};
    Points[2] = {Huge, 1e9f};
    Points[3] = {-1e-6f, -3.4e38f};
    Points[4] = {0.00001f, 123456789.0f};
    const QString Zeros30(30, u'0');
    QStringList Lines = DeviceTableLines(Points);
    EXPECT_EQ(Lines[6], "0," + QString(44, u'0') + "140129846 0,000000999999997");
    EXPECT_EQ(Lines[7], "339999995" + Zeros30 + " 0");
    EXPECT_EQ(Lines[8], "340282347" + Zeros30 + " 1000000000");
    EXPECT_EQ(Lines[9], "-0,000000999999997 -339999995" + Zeros30);
    EXPECT_EQ(Lines[10], "0,00000999999975 123456792");
    for (const QString &Line : Lines.mid(6))
        EXPECT_FALSE(Line.contains(u'E', Qt::CaseInsensitive)) << Line.toStdString();

    ASSERT_TRUE(Load("ttFromLanx1", Lines));
    ASSERT_EQ(Tara.Table.size(), 32u);
    for (size_t i = 0; i < Points.size(); ++i) {
        EXPECT_EQ(static_cast<float>(Tara.Table[i].Level), static_cast<float>(Points[i].Level)) << i;
        EXPECT_EQ(static_cast<float>(Tara.Table[i].Volume), static_cast<float>(Points[i].Volume)) << i;
    }
    EXPECT_EQ(static_cast<float>(Tara.Table[0].Level), Tiny) << "not flushed to zero";

    // The long runs are single numbers to the scanner.
    qsizetype Pos = 0;
    double V = 0;
    ASSERT_TRUE(ScanNumber(Lines[6], Pos, V));
    EXPECT_EQ(static_cast<float>(V), Tiny);
    EXPECT_EQ(Pos, 2 + 44 + 9);
    ASSERT_TRUE(ScanNumber(Lines[6], Pos, V));
    EXPECT_EQ(static_cast<float>(V), 1e-6f);
    EXPECT_FALSE(ScanNumber(Lines[6], Pos, V));

    Points[5].Level = std::nan("");
    Lines = DeviceTableLines(Points);
    EXPECT_EQ(Lines[11], "NAN 5");
    EXPECT_FALSE(Load("ttFromLanx1", Lines));
}

TEST(DeviceTable, PointCountLeavesOutEmptySlots) {
    std::array<TTaraPoint, 32> Points{};
    EXPECT_EQ(DeviceTablePointCount(Points), 32);
    for (size_t i = 10; i < Points.size(); ++i)
        Points[i] = {std::nan(""), std::nan("")};
    EXPECT_EQ(DeviceTablePointCount(Points), 10);
    Points[3].Volume = std::nan(""); // half a point is no point
    Points[4].Level = std::numeric_limits<double>::infinity();
    EXPECT_EQ(DeviceTablePointCount(Points), 8);
}
