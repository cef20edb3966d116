#pragma once
// Locale-dependent number and date texts. Every function takes the format
// settings explicitly; DefaultFormatSettings() holds the user's, taken from the
// system locale at start, and tests pin a Russian one.
#include "uDateTime.h"

#include <QLocale>
#include <QString>

struct TFormatSettings {
    QChar DecimalSeparator = u'.';
    QChar ThousandSeparator = u',';       // a null QChar means no grouping
    QString ShortDateFormat = QStringLiteral("dd.MM.yyyy"); // Qt date pattern
    QString LongTimeFormat = QStringLiteral("HH:mm:ss");    // Qt time pattern
    QString CurrencyString = QStringLiteral("$");
    int CurrencyFormat = 0;   // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    int NegCurrFormat = 0;    // the sixteen negative currency layouts, 0 "($1)"
    int CurrencyDecimals = 2;

    static TFormatSettings FromLocale(const QLocale &Locale);
    // ru-RU as Windows has it: "," and a no-break space, dd.MM.yyyy, HH:mm:ss.
    static TFormatSettings Russian();
};

// The locale the program's numbers and dates follow: the user's, except that
// "C", "POSIX" and a locale without a territory give Russian conventions, as
// the program's own texts are Russian and a bare C locale would put English
// month names next to them.
QLocale DisplayLocale(const QLocale &System);

const TFormatSettings &DefaultFormatSettings();
void SetDefaultFormatSettings(const TFormatSettings &Settings);

enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// The value rounded to Precision significant digits (half away from zero),
// written in Format; Digits is the number of decimals for the fixed formats and
// the minimum number of exponent digits for the general and exponent formats.
// The fixed formats round those significant digits again to Digits decimals,
// half away from zero: 0.15 with one decimal is "0,2", 1.005 with two "1,01".
QString FloatToStrF(double Value, TFloatFormat Format, int Precision, int Digits,
                    const TFormatSettings &Settings);
// The shortest general text with up to 15 significant digits.
QString FloatToStr(double Value, const TFormatSettings &Settings);
// The general format without its exponent: the Precision significant digits
// written out with as many zeros as their place needs, trailing zeros of the
// fraction dropped ("0,000001", "100000000000000000000"). For readers that
// know no exponent.
QString FloatToStrNoExponent(double Value, int Precision, const TFormatSettings &Settings);
// Number format: Precision significant digits, Digits decimals, thousands separators.
QString FormatNumber(double Value, int Precision, int Digits, const TFormatSettings &Settings);

// Locale-free text with a '.' in the shortest form that reads back exactly.
// A value that is exactly a single (the device's floats) prints as its shortest
// single text: 0.1, not 0.10000000149011612, and reads back to the same single.
QString ExactNumberText(double Value);

// A real number written with the settings' decimal separator, optional sign and
// exponent, blanks around it allowed; thousands separators are not accepted.
bool TryStrToFloat(QStringView Text, double &Value, const TFormatSettings &Settings);
double StrToFloatDef(QStringView Text, double Default, const TFormatSettings &Settings);

// Short date, a space and long time; the time is left out at exactly midnight.
QString DateTimeToStr(TDateTime Value, const TFormatSettings &Settings);
// A date-time written with a Qt date-time pattern, independent of the locale's names.
QString FormatDateTime(const QString &Pattern, TDateTime Value);
