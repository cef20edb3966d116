// Tables put into table files (added, or replacing the table of their name)
// and written out for spreadsheets.
#include "Tara.h"
#include "TestEnvironment.h"
#include "uCertificate.h"
#include "uTableFile.h"
#include "uTextFile.h"
#include "uWin1251.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const TTaraTable kPoints{{0, 0}, {12.5, 3.1}, {50, 47.25}, {100, 100}};

// The table Name of Lines, loaded as the editor loads it (a file of the name must exist).
TTaraTable Load(const QStringList &Lines, const QString &Name, bool *Loaded = nullptr) {
    TTestFolder Folder;
    TTara Tara;
    Tara.FileName = Folder.File(QStringLiteral("t.txt"));
    WriteAll(Tara.FileName, "x");
    Tara.TableName = Name;
    const bool Ok = Tara.LoadFromStrings(Lines);
    if (Loaded)
        *Loaded = Ok;
    EXPECT_TRUE(Ok || Loaded) << Name.toStdString();
    return Tara.Table;
}

void ExpectPoints(const TTaraTable &Got, const TTaraTable &Expected) {
    ASSERT_EQ(Got.size(), Expected.size());
    for (size_t i = 0; i < Got.size(); ++i) {
        EXPECT_EQ(Got[i].Level, Expected[i].Level) << i;
        EXPECT_EQ(Got[i].Volume, Expected[i].Volume) << i;
    }
}

} // namespace

TEST(TableFile, NewTableComesWithTheCommentBlock) {
    const QStringList Lines = PutTable({}, QStringLiteral("Резервуар 3"), kPoints);
    EXPECT_EQ(Lines, (QStringList{"*******************************", "* Формат таблицы               ",
                                  "* <Название>=<Количество точек>", "* Уровень, % -> Объем, %       ",
                                  "*******************************", "Резервуар 3=4", "0 0", "12,5 3,1",
                                  "50 47,25", "100 100", ""}));
    ExpectPoints(Load(Lines, QStringLiteral("резервуар 3")), kPoints);
}

TEST(TableFile, AddedAfterTheOtherTables) {
    QStringList Lines = TypicalTableLines();
    Lines.removeLast(); // a file that ends in a table's last point
    const QStringList Put = PutTable(Lines, QStringLiteral("New"), kPoints);
    ASSERT_EQ(Put.size(), Lines.size() + 1 + 5 + 1 + 4 + 1);
    EXPECT_EQ(Put.mid(0, Lines.size()), Lines);
    EXPECT_TRUE(Put[Lines.size()].isEmpty());
    ExpectPoints(Load(Put, QStringLiteral("New")), kPoints);
    EXPECT_EQ(Load(Put, QStringLiteral("ttDefault2")).size(), 32u);
    EXPECT_EQ(Load(Put, QStringLiteral("ttDefault1")).size(), 2u);

    // Right after an empty line no second one is added.
    EXPECT_EQ(PutTable(TypicalTableLines(), QStringLiteral("New"), kPoints).size(), TypicalTableLines().size() + 11);
}

TEST(TableFile, ReplacesTheTableOfItsName) {
    const QStringList Typical = TypicalTableLines();
    QStringList Put = PutTable(Typical, QStringLiteral("TTDEFAULT2"), kPoints);
    EXPECT_EQ(Put.size(), Typical.size() - 32 + 4);
    EXPECT_EQ(Put.mid(0, 14), Typical.mid(0, 14)) << "the comment block above stays";
    EXPECT_EQ(Put[14], QStringLiteral("TTDEFAULT2=4"));
    ExpectPoints(Load(Put, QStringLiteral("ttDefault2")), kPoints);
    EXPECT_EQ(Put.back(), QString());

    Put = PutTable(Put, QStringLiteral("ttDefault1"), kPoints);
    ExpectPoints(Load(Put, QStringLiteral("ttDefault1")), kPoints);
    ExpectPoints(Load(Put, QStringLiteral("ttDefault2")), kPoints);
    EXPECT_EQ(Put.count(QStringLiteral("ttDefault1=4")), 1);

    // A count beyond the text: everything below the header was the table's.
    Put = PutTable({QStringLiteral("T=40"), QStringLiteral("1 1"), QStringLiteral("2 2")}, QStringLiteral("T"), kPoints);
    EXPECT_EQ(Put.size(), 5);
    ExpectPoints(Load(Put, QStringLiteral("T")), kPoints);
    // A count that is no number claims no lines.
    Put = PutTable({QStringLiteral("T=x"), QStringLiteral("text")}, QStringLiteral("T"), kPoints);
    EXPECT_EQ(Put.back(), QStringLiteral("text"));
}

TEST(TableFile, NamesThatCannotBeHeaders) {
    EXPECT_TRUE(TableNameProblem(QStringLiteral("Резервуар №3 (РГС-50)")).isEmpty());
    for (const QString &Bad : {QString(), QStringLiteral("a=b"), QStringLiteral("*a"), QStringLiteral(" a"),
                               QStringLiteral("a "), QStringLiteral("a\nb"), QStringLiteral("бак ✓")})
        EXPECT_FALSE(TableNameProblem(Bad).isEmpty()) << Bad.toStdString();
}

TEST(TableFile, WrittenWholeIntoANewOrAnExistingFile) {
    TTestFolder Folder;
    const QString Path = Folder.File(QStringLiteral("TarTabl/tanks.txt"));
    QDir().mkpath(Folder.File(QStringLiteral("TarTabl")));
    ASSERT_EQ(WriteTableToFile(Path, QStringLiteral("A"), kPoints), QString());
    const QByteArray First = ReadAll(Path);
    EXPECT_TRUE(First.startsWith("*******************************\r\n")) << "Windows-1251 lines ending in CR LF";
    EXPECT_TRUE(First.contains(ToWin1251(QStringLiteral("* Уровень, % -> Объем, %"))));

    const TTaraTable Other{{0, 0}, {100, 100}};
    ASSERT_EQ(WriteTableToFile(Path, QStringLiteral("B"), Other), QString());
    ASSERT_EQ(WriteTableToFile(Path, QStringLiteral("a"), Other), QString());
    const QStringList Lines = ReadTextLines(Path);
    ExpectPoints(Load(Lines, QStringLiteral("A")), Other);
    ExpectPoints(Load(Lines, QStringLiteral("B")), Other);
    EXPECT_EQ(Lines.count(QStringLiteral("a=2")), 1);
    EXPECT_EQ(Lines.count(QStringLiteral("A=4")), 0);
    EXPECT_FALSE(QDir(Folder.File(QStringLiteral("TarTabl"))).entryList(QDir::Files).size() > 1)
        << "no temporary file is left";

    // Refused: a bad name, a folder in the way, a folder that is missing.
    EXPECT_FALSE(WriteTableToFile(Path, QStringLiteral("x=y"), kPoints).isEmpty());
    EXPECT_FALSE(WriteTableToFile(Folder.File(QStringLiteral("TarTabl")), QStringLiteral("A"), kPoints).isEmpty());
    const QString Missing = Folder.File(QStringLiteral("nowhere/t.txt"));
    EXPECT_FALSE(WriteTableToFile(Missing, QStringLiteral("A"), kPoints).isEmpty());
    EXPECT_FALSE(QFile::exists(Missing));
    EXPECT_EQ(ReadTextLines(Path), Lines) << "a refused write leaves the file as it was";
}

TEST(TableFile, CsvForSpreadsheetsReadsBackAsACertificate) {
    const TTaraTable Points{{0, 0}, {3.2000000476837158, 1.0000001}, {50.5, 50.6}, {100, 100}};
    const QStringList Lines = TableCsvLines(Points);
    EXPECT_EQ(Lines[0], QStringLiteral("Уровень, %;Объем, %"));
    EXPECT_EQ(Lines[1], QStringLiteral("0;0"));
    EXPECT_EQ(Lines[2], QStringLiteral("3,2;1,0000001")) << "singles print as singles";
    EXPECT_EQ(Lines[3], QStringLiteral("50,5;50,6"));

    TTestFolder Folder;
    const QString Path = Folder.File(QStringLiteral("t.csv"));
    ASSERT_EQ(WriteTableCsv(Path, Points), QString());
    TCertificate C;
    ASSERT_FALSE(ReadCertificateFile(Path, C).Failed());
    std::vector<TCertificateRow> Rows;
    ASSERT_FALSE(CertificateRows(C, C.LevelColumn, C.VolumeColumn, Rows).Failed());
    ASSERT_EQ(Rows.size(), Points.size());
    for (size_t i = 0; i < Rows.size(); ++i) {
        EXPECT_EQ(Rows[i].Line, static_cast<int>(i) + 2);
        EXPECT_EQ(static_cast<float>(Rows[i].Level), static_cast<float>(Points[i].Level));
        EXPECT_EQ(static_cast<float>(Rows[i].Volume), static_cast<float>(Points[i].Volume));
    }
    EXPECT_FALSE(WriteTableCsv(Folder.File(QStringLiteral("nowhere/t.csv")), Points).isEmpty());
}
