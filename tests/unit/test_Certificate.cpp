// Calibration certificates as spreadsheets export them: every separator,
// decimal and encoding, the guess of columns and units, each file that is
// refused, and the scaling to per cent.
#include "TestEnvironment.h"
#include "uCertificate.h"
#include "uWin1251.h"

#include <QFile>
#include <QStringEncoder>
#include <gtest/gtest.h>

namespace {

QByteArray Cp1251(const QString &Text) {
    return ToWin1251(Text);
}

QByteArray Utf8(const QString &Text) {
    return Text.toUtf8();
}

TCertificate Parse(const QByteArray &Bytes) {
    TCertificate C;
    const TCertificateProblem P = ParseCertificate(Bytes, C);
    EXPECT_FALSE(P.Failed()) << P.Message().toStdString();
    return C;
}

// The rows of the default columns; a problem fails the test.
std::vector<TCertificateRow> Rows(const TCertificate &C) {
    std::vector<TCertificateRow> R;
    const TCertificateProblem P = CertificateRows(C, C.LevelColumn, C.VolumeColumn, R);
    EXPECT_FALSE(P.Failed()) << P.Message().toStdString();
    return R;
}

// The problem of reading Bytes through to the rows of the default columns.
TCertificateProblem Problem(const QByteArray &Bytes) {
    TCertificate C;
    TCertificateProblem P = ParseCertificate(Bytes, C);
    if (P.Failed())
        return P;
    std::vector<TCertificateRow> R;
    P = CertificateRows(C, C.LevelColumn, C.VolumeColumn, R);
    EXPECT_TRUE(!P.Failed() || R.empty()) << "nothing is half imported";
    return P;
}

void ExpectRows(const std::vector<TCertificateRow> &R, const std::vector<TCertificateRow> &Expected) {
    ASSERT_EQ(R.size(), Expected.size());
    for (size_t i = 0; i < R.size(); ++i) {
        EXPECT_EQ(R[i].Line, Expected[i].Line) << i;
        EXPECT_DOUBLE_EQ(R[i].Level, Expected[i].Level) << i;
        EXPECT_DOUBLE_EQ(R[i].Volume, Expected[i].Volume) << i;
    }
}

} // namespace

TEST(Certificate, SemicolonsAndDecimalCommaInWindows1251) {
    const TCertificate C = Parse(Cp1251(QStringLiteral("Градуировочная таблица резервуара № 3\r\n"
                                                       "Уровень, мм;Объем, л\r\n"
                                                       "0;0\r\n"
                                                       "10;12,5\r\n"
                                                       "20;40,25\r\n")));
    EXPECT_EQ(C.Encoding, QStringLiteral("Windows-1251"));
    EXPECT_EQ(C.Separator, u';');
    EXPECT_EQ(C.FirstDataLine, 2);
    EXPECT_EQ(C.ColumnCount, 2);
    EXPECT_EQ(C.ColumnTitles, (QStringList{"Уровень, мм", "Объем, л"}));
    EXPECT_EQ(C.LevelColumn, 0);
    EXPECT_EQ(C.VolumeColumn, 1);
    EXPECT_TRUE(C.Units.LevelFound);
    EXPECT_EQ(C.Units.Level, TLevelUnit::Millimetre);
    EXPECT_TRUE(C.Units.VolumeFound);
    EXPECT_EQ(C.Units.Volume, TVolumeUnit::Litre);
    ExpectRows(Rows(C), {{3, 0, 0}, {4, 10, 12.5}, {5, 20, 40.25}});
}

TEST(Certificate, TabsAndDecimalPointInUtf8WithByteOrderMark) {
    const TCertificate C = Parse("\xEF\xBB\xBF" + Utf8(QStringLiteral("Уровень, см\tВместимость, м³\n"
                                                                     "0.0\t0.000\n"
                                                                     "1.0\t0.012\n"
                                                                     "2.0\t0.031\n")));
    EXPECT_EQ(C.Encoding, QStringLiteral("UTF-8"));
    EXPECT_EQ(C.Separator, u'\t');
    EXPECT_EQ(C.Units.Level, TLevelUnit::Centimetre);
    EXPECT_EQ(C.Units.Volume, TVolumeUnit::CubicMetre);
    ExpectRows(Rows(C), {{2, 0, 0}, {3, 1, 0.012}, {4, 2, 0.031}});
}

TEST(Certificate, CommasSeparateOnlyWhereThePointIsDecimal) {
    // UTF-8 without a mark is recognised by being valid.
    TCertificate C = Parse(Utf8(QStringLiteral("Взлив, м,Объём, куб. м\n0.00,0.000\n0.01,0.125\n0.02,0.5\n")));
    EXPECT_EQ(C.Encoding, QStringLiteral("UTF-8"));
    EXPECT_EQ(C.Separator, u',');
    EXPECT_EQ(C.Units.Level, TLevelUnit::Metre);
    EXPECT_EQ(C.Units.Volume, TVolumeUnit::CubicMetre);
    ExpectRows(Rows(C), {{2, 0, 0}, {3, 0.01, 0.125}, {4, 0.02, 0.5}});

    // Whole numbers with commas between them.
    C = Parse("0,0\r\n10,52\r\n20,110\r\n");
    EXPECT_EQ(C.Separator, u',');
    ExpectRows(Rows(C), {{1, 0, 0}, {2, 10, 52}, {3, 20, 110}});

    // A comma and a blank: the blank separates, the comma is decimal.
    C = Parse("1,5 2,5\n3,5 4,25\n");
    EXPECT_EQ(C.Separator, u' ');
    ExpectRows(Rows(C), {{1, 1.5, 2.5}, {2, 3.5, 4.25}});

    C = Parse("1.5, 2.5\n3.5,   4.25\n");
    EXPECT_EQ(C.Separator, u',');
    ExpectRows(Rows(C), {{1, 1.5, 2.5}, {2, 3.5, 4.25}});
}

TEST(Certificate, BlanksWithEitherDecimalAndNoHeader) {
    TCertificate C = Parse("   0     0,0\n  10    12,5\n  20    40,0\n");
    EXPECT_EQ(C.Separator, u' ');
    EXPECT_EQ(C.Encoding, QStringLiteral("Windows-1251")) << "plain ASCII is read as the program's own code page";
    EXPECT_FALSE(C.Units.LevelFound);
    EXPECT_FALSE(C.Units.VolumeFound);
    EXPECT_EQ(C.Units.Level, TLevelUnit::Millimetre);
    EXPECT_EQ(C.Units.Volume, TVolumeUnit::Litre);
    EXPECT_EQ(C.ColumnTitles, (QStringList{"", ""}));
    ExpectRows(Rows(C), {{1, 0, 0}, {2, 10, 12.5}, {3, 20, 40}});

    C = Parse(Cp1251(QStringLiteral("Уровень мм   Объем дал\n0 0.5\n5 1.5e1\n")));
    EXPECT_EQ(C.Units.Level, TLevelUnit::Millimetre);
    EXPECT_EQ(C.Units.Volume, TVolumeUnit::Decalitre);
    ExpectRows(Rows(C), {{2, 0, 0.5}, {3, 5, 15}});
}

TEST(Certificate, Utf16FromASpreadsheetsUnicodeText) {
    QStringEncoder Encoder(QStringEncoder::Utf16LE);
    const QByteArray Bytes = "\xFF\xFE" + QByteArray(Encoder(QStringLiteral("Уровень, мм\tОбъём, л\r\n0\t0\r\n5\t7,5\r\n")));
    const TCertificate C = Parse(Bytes);
    EXPECT_EQ(C.Encoding, QStringLiteral("UTF-16"));
    EXPECT_EQ(C.Separator, u'\t');
    EXPECT_EQ(C.Units.Volume, TVolumeUnit::Litre);
    ExpectRows(Rows(C), {{2, 0, 0}, {3, 5, 7.5}});
}

TEST(Certificate, QuotedCellsDigitGroupsAndSigns) {
    const TCertificate C = Parse(Cp1251(QStringLiteral("\"Уровень, мм\";\"Объем, л\"\n"
                                                       "\"0\";\"0,0\"\n"
                                                       "1 000;1\xA0" "234,5\n"
                                                       "+2 000;\"12 345,25\"\n")));
    EXPECT_EQ(C.ColumnTitles, (QStringList{"Уровень, мм", "Объем, л"}));
    ExpectRows(Rows(C), {{2, 0, 0}, {3, 1000, 1234.5}, {4, 2000, 12345.25}});

    // Groups must be of three digits.
    EXPECT_TRUE(Problem("0;0\n1 00;5\n").Failed());
}

TEST(Certificate, CommentsBetweenRowsArePassedOverWithTheirLineNumbers) {
    const TCertificate C = Parse(Cp1251(QStringLiteral("* таблица\r\n"
                                                       "\r\n"
                                                       "0;0\r\n"
                                                       "10;5\r\n"
                                                       "\r\n"
                                                       "Лист 2;\r\n"
                                                       "Уровень;Объем\r\n"
                                                       "20;15\n"
                                                       "30;30\r"
                                                       "40;50\r\n")));
    ExpectRows(Rows(C), {{3, 0, 0}, {4, 10, 5}, {8, 20, 15}, {9, 30, 30}, {10, 40, 50}});
}

TEST(Certificate, FirstTwoNumericColumnsOrTheChosenOnes) {
    const TCertificate C = Parse(Cp1251(QStringLiteral("№;Примечание;Уровень, см;Объем, дал;Вместимость 1 см, дал\n"
                                                       "1;;0;0;1,5\n"
                                                       "2;;1;1,5;1,6\n"
                                                       "3;x;2;3,1;1,7\n")));
    EXPECT_EQ(C.ColumnCount, 5);
    EXPECT_EQ(C.LevelColumn, 0);
    EXPECT_EQ(C.VolumeColumn, 2);
    EXPECT_EQ(C.ColumnTitles[2], QStringLiteral("Уровень, см"));
    // Nothing over the row number names a unit; the header line as a whole does.
    EXPECT_EQ(C.Units.Level, TLevelUnit::Centimetre);
    EXPECT_EQ(C.Units.Volume, TVolumeUnit::Decalitre);

    std::vector<TCertificateRow> R;
    ASSERT_FALSE(CertificateRows(C, 2, 3, R).Failed());
    ExpectRows(R, {{2, 0, 0}, {3, 1, 1.5}, {4, 2, 3.1}});
    const TUnitGuess Units = GuessUnits(C, 2, 3);
    EXPECT_TRUE(Units.LevelFound);
    EXPECT_EQ(Units.Level, TLevelUnit::Centimetre);
    EXPECT_EQ(Units.Volume, TVolumeUnit::Decalitre);
    // A title line that names no unit leaves the defaults.
    const TCertificate Plain = Parse("N;Level;Volume\n1;0;0\n2;1;1\n");
    EXPECT_FALSE(GuessUnits(Plain, 1, 2).LevelFound);
    EXPECT_FALSE(GuessUnits(Plain, 1, 2).VolumeFound);

    TCertificateProblem P = CertificateRows(C, 2, 2, R);
    EXPECT_TRUE(P.Failed());
    P = CertificateRows(C, 2, 1, R);
    EXPECT_EQ(P.Line, 2) << "the empty note is no volume";
    EXPECT_TRUE(R.empty());
    P = CertificateRows(C, 2, 7, R);
    EXPECT_EQ(P.Line, 2);
    EXPECT_TRUE(P.Text.contains(QStringLiteral("столбца 8"))) << P.Text.toStdString();
}

TEST(Certificate, UnitsFromHeaderWords) {
    struct TCase {
        const char *Header;
        TLevelUnit Level;
        TVolumeUnit Volume;
    };
    const TCase Cases[] = {
        {"Уровень, мм;Объем, м3", TLevelUnit::Millimetre, TVolumeUnit::CubicMetre},
        {"Уровень (см);Объём (дал)", TLevelUnit::Centimetre, TVolumeUnit::Decalitre},
        {"Высота, м;Объем, литров", TLevelUnit::Metre, TVolumeUnit::Litre},
        {"Level, mm;Volume, m3", TLevelUnit::Millimetre, TVolumeUnit::CubicMetre},
        {"Уровень;Объем", TLevelUnit::Millimetre, TVolumeUnit::Litre},
    };
    for (const TCase &T : Cases) {
        const TCertificate C = Parse(Utf8(QString::fromUtf8(T.Header) + QStringLiteral("\n0;0\n1;1\n")));
        EXPECT_EQ(C.Units.Level, T.Level) << T.Header;
        EXPECT_EQ(C.Units.Volume, T.Volume) << T.Header;
    }
    // A line of units under the titles, and units named only in a title line.
    TCertificate C = Parse(Utf8(QStringLiteral("Уровень;Объём\nсм;м³\n0;0\n1;1\n")));
    EXPECT_EQ(C.Units.Level, TLevelUnit::Centimetre);
    EXPECT_EQ(C.Units.Volume, TVolumeUnit::CubicMetre);
    C = Parse(Utf8(QStringLiteral("Таблица: уровень в см, объём в м3\n0;0\n1;1\n")));
    EXPECT_EQ(C.Units.Level, TLevelUnit::Centimetre);
    EXPECT_EQ(C.Units.Volume, TVolumeUnit::CubicMetre);
}

TEST(Certificate, UnitKeysAndNames) {
    for (const TLevelUnit U : {TLevelUnit::Millimetre, TLevelUnit::Centimetre, TLevelUnit::Metre}) {
        TLevelUnit Back = TLevelUnit::Metre;
        EXPECT_TRUE(UnitFromKey(UnitKey(U).toUpper(), Back));
        EXPECT_EQ(Back, U);
        EXPECT_FALSE(UnitName(U).isEmpty());
    }
    for (const TVolumeUnit U : {TVolumeUnit::Litre, TVolumeUnit::CubicMetre, TVolumeUnit::Decalitre}) {
        TVolumeUnit Back = TVolumeUnit::Litre;
        EXPECT_TRUE(UnitFromKey(UnitKey(U), Back));
        EXPECT_EQ(Back, U);
    }
    TLevelUnit L;
    TVolumeUnit V;
    EXPECT_FALSE(UnitFromKey(u"km", L));
    EXPECT_FALSE(UnitFromKey(u"mm", V));
    EXPECT_EQ(UnitName(TVolumeUnit::CubicMetre), QStringLiteral("м³"));
}

TEST(Certificate, EmptyAndUnreadableFiles) {
    for (const QByteArray &Bytes : {QByteArray(), QByteArray("\r\n  \n\t\n"), QByteArray("\xEF\xBB\xBF")}) {
        const TCertificateProblem P = Problem(Bytes);
        EXPECT_TRUE(P.Failed());
        EXPECT_EQ(P.Text, QStringLiteral("Файл пуст.")) << P.Text.toStdString();
        EXPECT_EQ(P.Line, 0);
    }
    TCertificateProblem P = Problem(Cp1251(QStringLiteral("Уровень;Объем\nнет данных\n15\n")));
    EXPECT_TRUE(P.Text.contains(QStringLiteral("двумя числами"))) << P.Text.toStdString();
    P = Problem(QByteArray("PK\x03\x04\x14\x00\x06\x00", 8) + "0;0\n1;1\n");
    EXPECT_TRUE(P.Text.contains(QStringLiteral("CSV"))) << P.Text.toStdString();

    TTestFolder Folder;
    TCertificate C;
    P = ReadCertificateFile(Folder.File(QStringLiteral("absent.csv")), C);
    EXPECT_TRUE(P.Failed());
    const QString Huge = Folder.File(QStringLiteral("huge.csv"));
    QFile File(Huge);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    ASSERT_TRUE(File.resize(kMaxCertificateBytes + 1)); // sparse: nothing is written
    File.close();
    P = ReadCertificateFile(Huge, C);
    EXPECT_TRUE(P.Text.contains(QStringLiteral("МБ"))) << P.Text.toStdString();

    const QString Good = Folder.File(QStringLiteral("good.csv"));
    WriteAll(Good, "0;0\n1;2\n");
    EXPECT_FALSE(ReadCertificateFile(Good, C).Failed());
    EXPECT_EQ(C.Lines.size(), 2);
}

TEST(Certificate, OneRowIsNotATable) {
    const TCertificateProblem P = Problem(Cp1251(QStringLiteral("Уровень;Объем\n100;2000\nконец\n")));
    EXPECT_TRUE(P.Failed());
    EXPECT_EQ(P.Line, 2);
    EXPECT_TRUE(P.Text.contains(QStringLiteral("одна строка"))) << P.Text.toStdString();
}

TEST(Certificate, CellsThatAreNoNumberAreNamedByLine) {
    struct TCase {
        const char *Text;
        int Line;
        const char *Says;
    };
    const TCase Cases[] = {
        {"0;0\n10;abc\n", 2, "не число"},
        {"0;0\n10;\n", 2, "пустая ячейка"},
        {"0;0\n10\n", 2, "нет столбца 2"},
        {"0;0\n10;12,5 л\n", 2, "не число"},
        {"0;0\nИтого:;15\n", 2, "не число"},
        {"0;0\n10;NaN\n", 2, "не является конечным числом"},
        {"0;0\n10;-inf\n20;30\n", 2, "не является конечным числом"},
        {"0;0\n10;1e999\n", 2, "не является конечным числом"},
        {"Inf;nan\n0;0\n", 1, "не является конечным числом"},
    };
    for (const TCase &C : Cases) {
        const TCertificateProblem P = Problem(C.Text);
        EXPECT_EQ(P.Line, C.Line) << C.Text;
        EXPECT_TRUE(P.Text.contains(QString::fromUtf8(C.Says))) << C.Text << " -> " << P.Message().toStdString();
        EXPECT_TRUE(P.Message().startsWith(QStringLiteral("Строка %1: ").arg(C.Line))) << P.Message().toStdString();
    }
}

TEST(Certificate, LevelsMustRiseAndVolumesMustNotFall) {
    TCertificateProblem P = Problem("0;0\n10;5\n10;6\n20;7\n");
    EXPECT_EQ(P.Line, 3);
    EXPECT_TRUE(P.Text.contains(QStringLiteral("строке 2"))) << P.Text.toStdString();
    EXPECT_TRUE(P.Text.contains(QStringLiteral("возрастать")));
    P = Problem("0;0\n10;5\n5;6\n");
    EXPECT_EQ(P.Line, 3);
    P = Problem("Уровень;Объем\n0;0\n10;5\n20;4,5\n");
    EXPECT_EQ(P.Line, 4);
    EXPECT_TRUE(P.Text.contains(QStringLiteral("«4,5»"))) << P.Text.toStdString();
    EXPECT_TRUE(P.Text.contains(QStringLiteral("убывать")));
    // Equal volumes (the flat bottom of a tank) are fine.
    EXPECT_FALSE(Problem("0;0\n10;0\n20;5\n").Failed());
}

TEST(Certificate, MoreRowsThanAnyCertificateHas) {
    QByteArray Bytes;
    Bytes.reserve(16 * (kMaxCertificateRows + 1));
    for (int i = 0; i <= kMaxCertificateRows; ++i)
        Bytes += QByteArray::number(i) + ';' + QByteArray::number(i) + '\n';
    TCertificateProblem P = Problem(Bytes);
    EXPECT_TRUE(P.Text.contains(QStringLiteral("1 000 000"))) << P.Text.toStdString();

    // Exactly the limit is read.
    Bytes.truncate(Bytes.lastIndexOf('\n', Bytes.size() - 2) + 1);
    TCertificate C;
    ASSERT_FALSE(ParseCertificate(Bytes, C).Failed());
    std::vector<TCertificateRow> R;
    EXPECT_FALSE(CertificateRows(C, 0, 1, R).Failed());
    EXPECT_EQ(R.size(), static_cast<size_t>(kMaxCertificateRows));
}

TEST(Certificate, ScaledToPerCentOfHeightAndCapacity) {
    const std::vector<TCertificateRow> Rows{{2, 0, 0}, {3, 500, 1000}, {4, 1000, 3000}, {5, 2000, 8000}};
    TPerCentTable T;
    ASSERT_FALSE(ScaleToPerCent(Rows, 2000, 8000, T).Failed());
    ASSERT_EQ(T.Points.size(), 4u);
    EXPECT_EQ(T.Points[1].Level, 25);
    EXPECT_EQ(T.Points[1].Volume, 12.5);
    EXPECT_EQ(T.Points[3].Level, 100);
    EXPECT_EQ(T.Points[3].Volume, 100);
    EXPECT_EQ(T.Lines, (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(T.LeftOut, 0);

    // A measuring range that ends below the top, and a capacity of its own.
    ASSERT_FALSE(ScaleToPerCent(Rows, 1000, 10000, T).Failed());
    ASSERT_EQ(T.Points.size(), 3u);
    EXPECT_EQ(T.LeftOut, 1);
    EXPECT_EQ(T.Points[2].Level, 100);
    EXPECT_EQ(T.Points[2].Volume, 30);

    EXPECT_TRUE(ScaleToPerCent(Rows, 0, 8000, T).Failed());
    EXPECT_TRUE(ScaleToPerCent(Rows, 2000, -1, T).Failed());
    EXPECT_TRUE(ScaleToPerCent(Rows, 400, 8000, T).Failed()) << "one row below the height";
    EXPECT_TRUE(T.Points.empty());
}
