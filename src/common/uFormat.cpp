#include "uFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>

namespace {

// A finite decimal: 0.D1D2D3... x 10^Exponent, Digits without trailing zeros.
struct TDecimal {
    bool Negative = false;
    std::string Digits; // empty for zero
    int Exponent = 0;
};

constexpr int kNoDecimalLimit = 100000;

// Cuts Digits (the significant digits of 0.D1D2... x 10^Exponent) to its
// first Keep digits, half away from zero: the digit after the cut decides. A
// carry out of the first digit moves the value up one place; a Keep below zero
// leaves nothing.
void RoundDigits(std::string &Digits, int &Exponent, long Keep) {
    if (Keep < 0) {
        Digits.clear();
        return;
    }
    if (static_cast<size_t>(Keep) >= Digits.size())
        return;
    const bool Up = Digits[static_cast<size_t>(Keep)] >= '5';
    Digits.resize(static_cast<size_t>(Keep));
    if (!Up)
        return;
    int i = static_cast<int>(Digits.size()) - 1;
    while (i >= 0 && Digits[static_cast<size_t>(i)] == '9') {
        Digits[static_cast<size_t>(i)] = '0';
        --i;
    }
    if (i >= 0) {
        ++Digits[static_cast<size_t>(i)];
    } else {
        // 99..9 rounded up: the value moved up one place and is a one.
        Digits.assign(1, '1');
        ++Exponent;
    }
}

// Value as a decimal of Precision significant digits, then rounded to
// Decimals digits after the decimal point, each step half away from zero.
// The decimals are rounded on the decimal text, not on the binary value:
// 0.15 is stored a little below 0.15, yet its text at 9 digits is 0.15 and
// one decimal of it is 0.2, as the user reads the number.
TDecimal ToDecimal(double Value, int Precision, int Decimals) {
    TDecimal D;
    D.Negative = std::signbit(Value);
    if (Value == 0)
        return D;
    // glibc prints the exact binary value, so 60 digits decide every tie.
    char Buffer[96];
    std::snprintf(Buffer, sizeof Buffer, "%.60e", std::fabs(Value));
    std::string Kept;
    const char *P = Buffer;
    for (; *P && *P != 'e'; ++P)
        if (*P >= '0' && *P <= '9')
            Kept.push_back(*P);
    D.Exponent = std::atoi(P + 1) + 1;

    RoundDigits(Kept, D.Exponent, Precision);
    while (!Kept.empty() && Kept.back() == '0')
        Kept.pop_back();
    RoundDigits(Kept, D.Exponent, static_cast<long>(D.Exponent) + Decimals);
    while (!Kept.empty() && Kept.back() == '0')
        Kept.pop_back();
    if (Kept.empty()) {
        D.Negative = false;
        D.Exponent = 0;
    }
    D.Digits = Kept;
    return D;
}

QString Special(double Value) {
    if (std::isnan(Value))
        return QStringLiteral("NAN");
    return Value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
}

QChar DigitAt(const TDecimal &D, int Index) {
    return Index >= 0 && Index < static_cast<int>(D.Digits.size()) ? QChar(D.Digits[static_cast<size_t>(Index)])
                                                                      : QChar(u'0');
}

QString ExponentText(int Exponent, int MinDigits, bool PlusSign) {
    QString Text = QString::number(std::abs(Exponent));
    while (Text.size() < MinDigits)
        Text.prepend(u'0');
    if (Exponent < 0)
        Text.prepend(u'-');
    else if (PlusSign)
        Text.prepend(u'+');
    return u'E' + Text;
}

// Integer part of D, grouped by threes when Separator is not null.
QString IntegerPart(const TDecimal &D, QChar Separator) {
    QString Text;
    if (D.Exponent <= 0)
        return QStringLiteral("0");
    for (int i = 0; i < D.Exponent; ++i) {
        if (!Separator.isNull() && i > 0 && (D.Exponent - i) % 3 == 0)
            Text.append(Separator);
        Text.append(DigitAt(D, i));
    }
    return Text;
}

QString FractionPart(const TDecimal &D, int Count) {
    QString Text;
    for (int i = 0; i < Count; ++i)
        Text.append(DigitAt(D, D.Exponent + i));
    return Text;
}

QString Scientific(const TDecimal &D, int MinExpDigits, int MantissaDigits, bool PlusSign,
                   const TFormatSettings &S) {
    QString Text;
    if (D.Negative)
        Text.append(u'-');
    Text.append(DigitAt(D, 0));
    const int Rest = MantissaDigits < 0 ? static_cast<int>(D.Digits.size()) - 1 : MantissaDigits - 1;
    if (Rest > 0) {
        Text.append(S.DecimalSeparator);
        for (int i = 1; i <= Rest; ++i)
            Text.append(DigitAt(D, i));
    }
    return Text + ExponentText(D.Digits.empty() ? 0 : D.Exponent - 1, MinExpDigits, PlusSign);
}

QString General(double Value, int Precision, int Digits, const TFormatSettings &S, bool Exponent = true) {
    const TDecimal D = ToDecimal(Value, Precision, kNoDecimalLimit);
    if (D.Digits.empty())
        return QStringLiteral("0");
    if (Exponent && (D.Exponent > Precision || D.Exponent < -4))
        return Scientific(D, Digits, -1, false, S);
    QString Text = D.Negative ? QStringLiteral("-") : QString();
    Text += IntegerPart(D, QChar());
    const int Decimals = static_cast<int>(D.Digits.size()) - D.Exponent;
    if (Decimals > 0)
        Text += S.DecimalSeparator + FractionPart(D, Decimals);
    return Text;
}

QString Fixed(double Value, int Precision, int Digits, QChar Separator, const TFormatSettings &S,
              TDecimal *Out = nullptr) {
    const TDecimal D = ToDecimal(Value, Precision, Digits);
    if (D.Exponent > Precision)
        return General(Value, Precision, 0, S);
    if (Out)
        *Out = D;
    QString Text = IntegerPart(D, Separator);
    if (Digits > 0)
        Text += S.DecimalSeparator + FractionPart(D, Digits);
    return Text;
}

QString Currency(double Value, int Precision, int Digits, const TFormatSettings &S) {
    TDecimal D;
    const QString Number = Fixed(std::fabs(Value), Precision, Digits, S.ThousandSeparator, S, &D);
    const QString &C = S.CurrencyString;
    const bool Negative = Value < 0 && !D.Digits.empty();
    if (!Negative) {
        switch (S.CurrencyFormat) {
        case 1: return Number + C;
        case 2: return C + u' ' + Number;
        case 3: return Number + u' ' + C;
        default: return C + Number;
        }
    }
    switch (S.NegCurrFormat) {
    case 1: return u'-' + C + Number;
    case 2: return C + u'-' + Number;
    case 3: return C + Number + u'-';
    case 4: return u'(' + Number + C + u')';
    case 5: return u'-' + Number + C;
    case 6: return Number + u'-' + C;
    case 7: return Number + C + u'-';
    case 8: return u'-' + Number + u' ' + C;
    case 9: return u'-' + C + u' ' + Number;
    case 10: return Number + u' ' + C + u'-';
    case 11: return C + u' ' + Number + u'-';
    case 12: return C + u' ' + u'-' + Number;
    case 13: return Number + u'-' + u' ' + C;
    case 14: return u'(' + C + u' ' + Number + u')';
    case 15: return u'(' + Number + u' ' + C + u')';
    default: return u'(' + C + Number + u')';
    }
}

std::mutex &SettingsMutex() {
    static std::mutex M;
    return M;
}

TFormatSettings &GlobalSettings() {
    static TFormatSettings Settings = TFormatSettings::FromLocale(DisplayLocale(QLocale::system()));
    return Settings;
}

} // namespace

QLocale DisplayLocale(const QLocale &System) {
    if (System.language() == QLocale::C || System.territory() == QLocale::AnyTerritory)
        return QLocale(QLocale::Russian, QLocale::Russia);
    return System;
}

TFormatSettings TFormatSettings::FromLocale(const QLocale &Locale) {
    TFormatSettings S;
    const QString Decimal = Locale.decimalPoint();
    const QString Group = Locale.groupSeparator();
    S.DecimalSeparator = Decimal.isEmpty() ? QChar(u'.') : Decimal.at(0);
    S.ThousandSeparator = Group.isEmpty() ? QChar() : Group.at(0);
    S.ShortDateFormat = Locale.dateFormat(QLocale::ShortFormat);
    S.LongTimeFormat = Locale.timeFormat(QLocale::LongFormat);
    // The long time of Qt's locale data may carry a time-zone name; a time of
    // day on screen never does.
    S.LongTimeFormat.remove(QStringLiteral("t")).replace(QStringLiteral("  "), QStringLiteral(" "));
    S.LongTimeFormat = S.LongTimeFormat.trimmed();
    S.CurrencyString = Locale.currencySymbol();
    const QString Sample = Locale.toCurrencyString(1.0);
    const bool Before = Sample.startsWith(S.CurrencyString);
    const bool Spaced = Before ? Sample.mid(S.CurrencyString.size()).front().isSpace()
                               : Sample.chopped(S.CurrencyString.size()).back().isSpace();
    S.CurrencyFormat = Before ? (Spaced ? 2 : 0) : (Spaced ? 3 : 1);
    S.NegCurrFormat = Before ? (Spaced ? 9 : 1) : (Spaced ? 8 : 5);
    return S;
}

TFormatSettings TFormatSettings::Russian() {
    TFormatSettings S;
    S.DecimalSeparator = u',';
    S.ThousandSeparator = QChar(0x00A0);
    S.ShortDateFormat = QStringLiteral("dd.MM.yyyy");
    S.LongTimeFormat = QStringLiteral("HH:mm:ss");
    S.CurrencyString = QStringLiteral("₽");
    S.CurrencyFormat = 3;
    S.NegCurrFormat = 8;
    S.CurrencyDecimals = 2;
    return S;
}

const TFormatSettings &DefaultFormatSettings() {
    std::lock_guard Lock(SettingsMutex());
    return GlobalSettings();
}

void SetDefaultFormatSettings(const TFormatSettings &Settings) {
    std::lock_guard Lock(SettingsMutex());
    GlobalSettings() = Settings;
}

QString FloatToStrF(double Value, TFloatFormat Format, int Precision, int Digits,
                    const TFormatSettings &Settings) {
    if (!std::isfinite(Value))
        return Special(Value);
    Precision = std::clamp(Precision, 1, 18);
    switch (Format) {
    case TFloatFormat::ffGeneral:
        return General(Value, Precision, std::clamp(Digits, 0, 4), Settings);
    case TFloatFormat::ffExponent:
        return Scientific(ToDecimal(Value, Precision, kNoDecimalLimit), std::clamp(Digits, 0, 4), Precision,
                          true, Settings);
    case TFloatFormat::ffFixed:
    case TFloatFormat::ffNumber: {
        Digits = std::clamp(Digits, 0, 18);
        const QChar Sep = Format == TFloatFormat::ffNumber ? Settings.ThousandSeparator : QChar();
        TDecimal D;
        QString Text = Fixed(Value, Precision, Digits, Sep, Settings, &D);
        if (D.Negative && !D.Digits.empty() && !Text.contains(u'E'))
            Text.prepend(u'-');
        return Text;
    }
    case TFloatFormat::ffCurrency:
        return Currency(Value, Precision, std::clamp(Digits, 0, 18), Settings);
    }
    return {};
}

QString FloatToStr(double Value, const TFormatSettings &Settings) {
    return FloatToStrF(Value, TFloatFormat::ffGeneral, 15, 0, Settings);
}

QString FloatToStrNoExponent(double Value, int Precision, const TFormatSettings &Settings) {
    if (!std::isfinite(Value))
        return Special(Value);
    return General(Value, std::clamp(Precision, 1, 18), 0, Settings, false);
}

QString FormatNumber(double Value, int Precision, int Digits, const TFormatSettings &Settings) {
    return FloatToStrF(Value, TFloatFormat::ffNumber, Precision, Digits, Settings);
}

bool TryStrToFloat(QStringView Text, double &Value, const TFormatSettings &Settings) {
    const QStringView T = Text.trimmed();
    std::string Plain;
    Plain.reserve(static_cast<size_t>(T.size()));
    qsizetype i = 0;
    auto Digits = [&]() {
        qsizetype Count = 0;
        while (i < T.size() && T[i] >= u'0' && T[i] <= u'9') {
            Plain.push_back(static_cast<char>(T[i].unicode()));
            ++i;
            ++Count;
        }
        return Count;
    };
    if (i < T.size() && (T[i] == u'-' || T[i] == u'+')) {
        if (T[i] == u'-')
            Plain.push_back('-');
        ++i;
    }
    qsizetype Mantissa = Digits();
    if (i < T.size() && T[i] == Settings.DecimalSeparator) {
        Plain.push_back('.');
        ++i;
        Mantissa += Digits();
    }
    if (Mantissa == 0)
        return false;
    if (i < T.size() && (T[i] == u'e' || T[i] == u'E')) {
        Plain.push_back('e');
        ++i;
        if (i < T.size() && (T[i] == u'-' || T[i] == u'+'))
            Plain.push_back(static_cast<char>(T[i++].unicode()));
        if (Digits() == 0)
            return false;
    }
    if (i != T.size())
        return false;
    double Result = 0;
    const auto [End, Error] = std::from_chars(Plain.data(), Plain.data() + Plain.size(), Result);
    if (Error != std::errc() || End != Plain.data() + Plain.size() || !std::isfinite(Result))
        return false;
    Value = Result;
    return true;
}

double StrToFloatDef(QStringView Text, double Default, const TFormatSettings &Settings) {
    double Value = 0;
    return TryStrToFloat(Text, Value, Settings) ? Value : Default;
}

QString FormatDateTime(const QString &Pattern, TDateTime Value) {
    return QLocale::c().toString(DateTimeToQt(Value), Pattern);
}

QString DateTimeToStr(TDateTime Value, const TFormatSettings &Settings) {
    const QDateTime Q = DateTimeToQt(Value);
    const QLocale C = QLocale::c();
    if (Q.time().msecsSinceStartOfDay() == 0)
        return C.toString(Q.date(), Settings.ShortDateFormat);
    return C.toString(Q.date(), Settings.ShortDateFormat) + u' ' + C.toString(Q.time(), Settings.LongTimeFormat);
}

QString ExactNumberText(double Value) {
    char Buffer[64];
    const auto AsSingle = static_cast<float>(Value);
    const auto R = static_cast<double>(AsSingle) == Value || std::isnan(Value)
                       ? std::to_chars(Buffer, Buffer + sizeof Buffer, AsSingle)
                       : std::to_chars(Buffer, Buffer + sizeof Buffer, Value);
    return QString::fromLatin1(Buffer, R.ptr - Buffer);
}
