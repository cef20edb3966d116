// Archive series as CSV: the spreadsheet form in both decimal conventions, the
// script form, quoting, and files that a cancel or a failure leaves alone.
#include "uArchiveCsv.h"

#include "TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TArchiveSeries Sample() {
    TArchiveSeries S;
    S.DT = {At(2024, 5, 1, 10, 0, 0, 0), At(2024, 5, 1, 10, 0, 1, 250), At(2024, 5, 1, 10, 0, 2, 500)};
    S.V = {47.25, 50, 0.1};
    return S;
}

QByteArray CsvOf(const TCsvFormat &Format, const TArchiveSeries &S, std::size_t First, std::size_t Last) {
    QBuffer Buffer;
    Buffer.open(QIODevice::WriteOnly);
    EXPECT_EQ(WriteCsv(Buffer, Format, SeriesRows(S, First, Last)), TCsvResult::Written);
    return Buffer.data();
}

} // namespace

TEST(ArchiveCsv, SpreadsheetFormWithDecimalComma) {
    const TCsvFormat F = SpreadsheetCsvFormat(QLocale(QLocale::Russian, QLocale::Russia), "Уровень, %");
    EXPECT_EQ(F.Separator, u';');
    EXPECT_EQ(F.Decimal, u',');
    const QByteArray Data = CsvOf(F, Sample(), 0, 3);
    EXPECT_EQ(Data, QByteArray("\xEF\xBB\xBF") + QStringLiteral("Дата и время;Уровень, %\r\n"
                                                              "01.05.2024 10:00:00,000;47,25\r\n"
                                                              "01.05.2024 10:00:01,250;50\r\n"
                                                              "01.05.2024 10:00:02,500;0,1\r\n")
                                                      .toUtf8());
}

TEST(ArchiveCsv, SpreadsheetFormWithDecimalPoint) {
    const TCsvFormat F = SpreadsheetCsvFormat(QLocale(QLocale::English, QLocale::UnitedStates), "Уровень, %");
    EXPECT_EQ(F.Separator, u',');
    EXPECT_EQ(F.Decimal, u'.');
    // The header title and the milliseconds' comma hold the separator: quoted.
    const QByteArray Data = CsvOf(F, Sample(), 1, 3);
    EXPECT_EQ(Data, QByteArray("\xEF\xBB\xBF") + QStringLiteral("Дата и время,\"Уровень, %\"\r\n"
                                                              "\"01.05.2024 10:00:01,250\",50\r\n"
                                                              "\"01.05.2024 10:00:02,500\",0.1\r\n")
                                                      .toUtf8());
}

TEST(ArchiveCsv, ScriptForm) {
    const QByteArray Data = CsvOf(ScriptCsvFormat(), Sample(), 0, 2);
    EXPECT_EQ(Data, QByteArray("time,value\r\n"
                               "2024-05-01T10:00:00.000,47.25\r\n"
                               "2024-05-01T10:00:01.250,50\r\n"));
}

TEST(ArchiveCsv, FieldsAreQuotedAsRfc4180Asks) {
    EXPECT_EQ(CsvField("plain", u','), "plain");
    EXPECT_EQ(CsvField("a,b", u','), "\"a,b\"");
    EXPECT_EQ(CsvField("a,b", u';'), "a,b");
    EXPECT_EQ(CsvField("a;b", u';'), "\"a;b\"");
    EXPECT_EQ(CsvField("say \"hi\"", u';'), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\r\nlines", u','), "\"two\r\nlines\"");
}

TEST(ArchiveCsv, RangeBeyondTheSeriesIsCut) {
    const QByteArray Data = CsvOf(ScriptCsvFormat(), Sample(), 2, 99);
    EXPECT_EQ(Data, QByteArray("time,value\r\n2024-05-01T10:00:02.500,0.1\r\n"));
}

TEST(ArchiveCsv, FileIsWrittenWhole) {
    const TArchiveSeries S = Sample();
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("level.csv");
    std::size_t LastDone = 0, LastTotal = 0;
    EXPECT_EQ(WriteCsvFile(Path, ScriptCsvFormat(), SeriesRows(S, 0, 3),
                           [&](std::size_t Done, std::size_t Total) {
                               LastDone = Done;
                               LastTotal = Total;
                               return true;
                           }),
              TCsvResult::Written);
    EXPECT_EQ(LastDone, 3u);
    EXPECT_EQ(LastTotal, 3u);
    EXPECT_EQ(ReadAll(Path), CsvOf(ScriptCsvFormat(), Sample(), 0, 3));
}

TEST(ArchiveCsv, CancelLeavesNoFile) {
    TArchiveSeries Big;
    for (int i = 0; i < 20000; ++i) {
        Big.DT.push_back(At(2024, 5, 1) + i / 86400000.0);
        Big.V.push_back(i);
    }
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("big.csv");
    int Calls = 0;
    EXPECT_EQ(WriteCsvFile(Path, ScriptCsvFormat(), SeriesRows(Big, 0, Big.size()),
                           [&](std::size_t Done, std::size_t) { return ++Calls < 3 && Done < Big.size(); }),
              TCsvResult::Cancelled);
    EXPECT_EQ(Calls, 3);
    EXPECT_FALSE(QFileInfo::exists(Path));
    EXPECT_TRUE(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "no temporary left";
}

TEST(ArchiveCsv, CancelKeepsTheOldFile) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("old.csv");
    WriteAll(Path, "old contents");
    const TArchiveSeries S = Sample();
    EXPECT_EQ(WriteCsvFile(Path, ScriptCsvFormat(), SeriesRows(S, 0, 3), [](std::size_t, std::size_t) { return false; }),
              TCsvResult::Cancelled);
    EXPECT_EQ(ReadAll(Path), QByteArray("old contents"));
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(ArchiveCsv, UnwritableFolderFails) {
    const TArchiveSeries S = Sample();
    QString Error;
    EXPECT_EQ(WriteCsvFile("/nonexistent-folder/x.csv", ScriptCsvFormat(), SeriesRows(S, 0, 3), {}, &Error),
              TCsvResult::Failed);
    EXPECT_FALSE(Error.isEmpty());
}
