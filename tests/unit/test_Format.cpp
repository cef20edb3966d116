#include "uFormat.h"

#include <gtest/gtest.h>

namespace {
const TFormatSettings &Ru() {
    static const TFormatSettings S = TFormatSettings::Russian();
    return S;
}
} // namespace

TEST(NumberFormat, RoundsToPrecisionThenShowsDigits) {
    EXPECT_EQ(FormatNumber(47.26, 9, 1, Ru()), "47,3");
    EXPECT_EQ(FormatNumber(1234.5, 9, 1, Ru()), QString("1") + QChar(0xA0) + "234,5");
    EXPECT_EQ(FormatNumber(47.26, 2, 1, Ru()), "47,0");
    EXPECT_EQ(FormatNumber(0.06, 9, 1, Ru()), "0,1");
    EXPECT_EQ(FormatNumber(-0.04, 9, 1, Ru()), "0,0");
    EXPECT_EQ(FormatNumber(-1234567.891, 9, 3, Ru()), QString("-1") + QChar(0xA0) + "234" + QChar(0xA0) + "567,890");
    EXPECT_EQ(FormatNumber(2.5, 9, 0, Ru()), "3");
    EXPECT_EQ(FormatNumber(999.96, 9, 1, Ru()), QString("1") + QChar(0xA0) + "000,0");
}

// A decimal tie of the text the user sees rounds away from zero, though the
// binary value lies just below it (0.15 is 0.1499999999999999944...).
struct TDecimalTie {
    double Value;
    int Precision;
    int Digits;
    const char *Text;
};

class DecimalTies : public ::testing::TestWithParam<TDecimalTie> {};

TEST_P(DecimalTies, RoundHalfAwayFromZeroOnTheDecimalText) {
    const TDecimalTie &Row = GetParam();
    EXPECT_EQ(FormatNumber(Row.Value, Row.Precision, Row.Digits, Ru()), QString::fromUtf8(Row.Text));
    EXPECT_EQ(FloatToStrF(Row.Value, TFloatFormat::ffFixed, Row.Precision, Row.Digits, Ru()),
              QString::fromUtf8(Row.Text).remove(QChar(0xA0)));
}

INSTANTIATE_TEST_SUITE_P(
    NumberFormat, DecimalTies,
    ::testing::Values(TDecimalTie{0.15, 9, 1, "0,2"}, TDecimalTie{1.005, 9, 2, "1,01"},
                      TDecimalTie{2.675, 9, 2, "2,68"}, TDecimalTie{0.045, 15, 2, "0,05"},
                      TDecimalTie{1.45, 15, 1, "1,5"},
                      // negative ties
                      TDecimalTie{-0.15, 9, 1, "-0,2"}, TDecimalTie{-1.005, 9, 2, "-1,01"},
                      TDecimalTie{-0.95, 9, 1, "-1,0"}, TDecimalTie{-9.995, 9, 2, "-10,00"},
                      // the carry adds a digit
                      TDecimalTie{9.995, 9, 2, "10,00"}, TDecimalTie{0.95, 9, 1, "1,0"},
                      TDecimalTie{0.995, 9, 2, "1,00"}, TDecimalTie{99999.95, 9, 1, "100\u00A0000,0"}));

// The significant digits come first: at 17 digits 0.15 is 0.14999999999999999,
// no tie any more.
TEST(NumberFormat, PrecisionRoundsBeforeTheDecimals) {
    EXPECT_EQ(FormatNumber(0.15, 15, 1, Ru()), "0,2");
    EXPECT_EQ(FormatNumber(0.15, 17, 1, Ru()), "0,1");
    EXPECT_EQ(FormatNumber(0.1449, 9, 1, Ru()), "0,1");
    EXPECT_EQ(FormatNumber(-0.004, 9, 2, Ru()), "0,00");
}

TEST(NumberFormat, ScientificWhenIntegerPartExceedsPrecision) {
    EXPECT_EQ(FloatToStrF(1234567.0, TFloatFormat::ffFixed, 3, 2, Ru()), "1,23E6");
    EXPECT_EQ(FloatToStrF(123.0, TFloatFormat::ffFixed, 3, 2, Ru()), "123,00");
}

TEST(GeneralFormat, ShortestText) {
    EXPECT_EQ(FloatToStrF(3.2f, TFloatFormat::ffGeneral, 9, 0, Ru()), "3,20000005");
    EXPECT_EQ(FloatToStr(100.0, Ru()), "100");
    EXPECT_EQ(FloatToStr(0.1, Ru()), "0,1");
    EXPECT_EQ(FloatToStr(0.00001, Ru()), "0,00001");
    EXPECT_EQ(FloatToStr(0.000001, Ru()), "1E-6");
    EXPECT_EQ(FloatToStr(1e20, Ru()), "1E20");
    EXPECT_EQ(FloatToStr(-2.5, Ru()), "-2,5");
    EXPECT_EQ(FloatToStr(0.0, Ru()), "0");
    EXPECT_EQ(FloatToStr(std::nan(""), Ru()), "NAN");
}

TEST(GeneralFormat, WithoutExponentWritesTheDigitsOut) {
    EXPECT_EQ(FloatToStrNoExponent(0.000001, 9, Ru()), "0,000001");
    EXPECT_EQ(FloatToStrNoExponent(-1.25e-7, 9, Ru()), "-0,000000125");
    EXPECT_EQ(FloatToStrNoExponent(1e20, 9, Ru()), "100000000000000000000");
    EXPECT_EQ(FloatToStrNoExponent(1234567891234.0, 9, Ru()), "1234567890000");
    EXPECT_EQ(FloatToStrNoExponent(3.2f, 9, Ru()), "3,20000005");
    EXPECT_EQ(FloatToStrNoExponent(-0.0, 9, Ru()), "0");
    EXPECT_EQ(FloatToStrNoExponent(std::nan(""), 9, Ru()), "NAN");
}

TEST(ExponentAndCurrency, Layouts) {
    EXPECT_EQ(FloatToStrF(1234.5, TFloatFormat::ffExponent, 4, 2, Ru()), "1,235E+03");
    EXPECT_EQ(FloatToStrF(-0.00012, TFloatFormat::ffExponent, 2, 0, Ru()), "-1,2E-4");
    EXPECT_EQ(FloatToStrF(1500, TFloatFormat::ffCurrency, 15, 2, Ru()), QString("1") + QChar(0xA0) + "500,00 ₽");
    EXPECT_EQ(FloatToStrF(-1.5, TFloatFormat::ffCurrency, 15, 2, Ru()), "-1,50 ₽");
}

TEST(ParseFloat, LocaleSeparatorOnly) {
    double V = 0;
    EXPECT_TRUE(TryStrToFloat(u" 12,5 ", V, Ru()));
    EXPECT_DOUBLE_EQ(V, 12.5);
    EXPECT_TRUE(TryStrToFloat(u"-1,5E3", V, Ru()));
    EXPECT_DOUBLE_EQ(V, -1500);
    EXPECT_FALSE(TryStrToFloat(u"12.5", V, Ru()));
    EXPECT_FALSE(TryStrToFloat(QString("1") + QChar(0xA0) + "500", V, Ru()));
    EXPECT_FALSE(TryStrToFloat(u"", V, Ru()));
    EXPECT_FALSE(TryStrToFloat(u",", V, Ru()));
    EXPECT_FALSE(TryStrToFloat(u"1e999", V, Ru()));
    EXPECT_DOUBLE_EQ(StrToFloatDef(u"abc", 7, Ru()), 7);
}

TEST(DateTimeText, TimeLeftOutAtMidnight) {
    const TDateTime Noon = DateTimeFromQt(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
    EXPECT_EQ(DateTimeToStr(Noon, Ru()), "05.03.2024 14:07:09");
    const TDateTime Midnight = DateFromQt(QDate(2024, 3, 5));
    EXPECT_EQ(DateTimeToStr(Midnight, Ru()), "05.03.2024");
}

TEST(DateTimeValue, ExactConversions) {
    EXPECT_DOUBLE_EQ(DateFromQt(QDate(1899, 12, 30)), 0.0);
    EXPECT_DOUBLE_EQ(DateFromQt(QDate(1900, 1, 1)), 2.0);
    const QDateTime Q(QDate(2026, 12, 8), QTime(23, 59, 59, 999));
    EXPECT_EQ(DateTimeToQt(DateTimeFromQt(Q)), Q);
    EXPECT_EQ(DateTimeToQt(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    EXPECT_DOUBLE_EQ(DateTimeFromQt(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
}
