#include "IODescription.h"

#include "uFormat.h"
#include "uIniFile.h"

#include <QFile>

namespace {

const char *const kStateNames[3] = {"tsUnknown", "tsFalse", "tsTrue"};

QString StateKey(const char *Array, int State) {
    return QStringLiteral("%1[%2]").arg(QLatin1String(Array), QLatin1String(kStateNames[State]));
}

} // namespace

// ---- TDescriptionOfCustomValue

TDescriptionOfCustomValue::TDescriptionOfCustomValue() = default;

void TDescriptionOfCustomValue::Assign(const TPersistent *Source) {
    if (const auto *Other = dynamic_cast<const TDescriptionOfCustomValue *>(Source)) {
        Title = Other->Title;
        Hint = Other->Hint;
    }
}

void TDescriptionOfCustomValue::LinkTo(const TPersistent *Parent) {
    if (const auto *P = dynamic_cast<const TDescriptionOfCustomValue *>(Parent)) {
        Section = P->Section + u'.' + Name;
        FileName = P->FileName;
    }
}

void TDescriptionOfCustomValue::LoadFromIni() {
    const TIniFile Ini(FileName);
    Title = Ini.ReadString(Section, QStringLiteral("Title"), Title);
    Hint = Ini.ReadString(Section, QStringLiteral("Hint"), Hint);
}

void TDescriptionOfCustomValue::EnsureFile() const {
    if (!TIniFile::CreateEmpty(FileName))
        throw EIniFileError("Cannot create " + FileName.toStdString());
}

void TDescriptionOfCustomValue::SaveToIni() {
    EnsureFile();
    TIniFile Ini(FileName);
    Ini.WriteString(Section, QStringLiteral("Title"), Title);
    Ini.WriteString(Section, QStringLiteral("Hint"), Hint);
}

TDescriptionOfValue::TDescriptionOfValue() {
    Name = QStringLiteral("DescriptionOfValue");
}

// ---- TDescriptionOfInteger

void TDescriptionOfInteger::Assign(const TPersistent *Source) {
    TDescriptionOfValue::Assign(Source);
    if (const auto *Other = dynamic_cast<const TDescriptionOfInteger *>(Source)) {
        Dimension = Other->Dimension;
        FMin = Other->FMin;
        FMax = Other->FMax;
    }
}

void TDescriptionOfInteger::SetMin(int A) {
    if (A <= FMax)
        FMin = A;
}

void TDescriptionOfInteger::SetMax(int A) {
    if (A >= FMin)
        FMax = A;
}

void TDescriptionOfInteger::SetMinMax(int AMin, int AMax) {
    if (AMin <= AMax) {
        FMin = AMin;
        FMax = AMax;
    }
}

void TDescriptionOfInteger::LoadFromIni() {
    TDescriptionOfValue::LoadFromIni();
    const TIniFile Ini(FileName);
    const int Max = Ini.ReadInteger(Section, QStringLiteral("Max"), FMax);
    const int Min = Ini.ReadInteger(Section, QStringLiteral("Min"), FMin);
    SetMinMax(Min, Max);
    Dimension = Ini.ReadString(Section, QStringLiteral("Dimension"), Dimension);
}

void TDescriptionOfInteger::SaveToIni() {
    TDescriptionOfValue::SaveToIni();
    EnsureFile();
    TIniFile Ini(FileName);
    Ini.WriteFloat(Section, QStringLiteral("Max"), FMax);
    Ini.WriteFloat(Section, QStringLiteral("Min"), FMin);
    Ini.WriteString(Section, QStringLiteral("Dimension"), Dimension);
}

// ---- TDescriptionOfDouble

void TDescriptionOfDouble::Assign(const TPersistent *Source) {
    TDescriptionOfValue::Assign(Source);
    if (const auto *Other = dynamic_cast<const TDescriptionOfDouble *>(Source)) {
        Dimension = Other->Dimension;
        FMin = Other->FMin;
        FMax = Other->FMax;
        Precision = Other->Precision;
        Digits = Other->Digits;
    }
}

void TDescriptionOfDouble::SetMin(double A) {
    if (A <= FMax)
        FMin = A;
}

void TDescriptionOfDouble::SetMax(double A) {
    if (A >= FMin)
        FMax = A;
}

void TDescriptionOfDouble::SetMinMax(double AMin, double AMax) {
    if (AMin <= AMax) {
        FMin = AMin;
        FMax = AMax;
    }
}

QString TDescriptionOfDouble::FormatValue(double Value) const {
    return FormatNumber(Value, Precision, Digits, DefaultFormatSettings());
}

void TDescriptionOfDouble::LoadFromIni() {
    TDescriptionOfValue::LoadFromIni();
    const TIniFile Ini(FileName);
    const double Min = Ini.ReadFloat(Section, QStringLiteral("Min"), FMin);
    const double Max = Ini.ReadFloat(Section, QStringLiteral("Max"), FMax);
    SetMinMax(Min, Max);
    Dimension = Ini.ReadString(Section, QStringLiteral("Dimension"), Dimension);
    Precision = static_cast<std::uint8_t>(Ini.ReadInteger(Section, QStringLiteral("Precision"), Precision));
    Digits = static_cast<std::uint8_t>(Ini.ReadInteger(Section, QStringLiteral("Digits"), Digits));
}

void TDescriptionOfDouble::SaveToIni() {
    TDescriptionOfValue::SaveToIni();
    EnsureFile();
    TIniFile Ini(FileName);
    Ini.WriteFloat(Section, QStringLiteral("Max"), FMax);
    Ini.WriteFloat(Section, QStringLiteral("Min"), FMin);
    Ini.WriteString(Section, QStringLiteral("Dimension"), Dimension);
    Ini.WriteInteger(Section, QStringLiteral("Precision"), Precision);
    Ini.WriteInteger(Section, QStringLiteral("Digits"), Digits);
}

// ---- TDescriptionOfThreeStates

TDescriptionOfThreeStates::TDescriptionOfThreeStates() {
    Name = QStringLiteral("DescriptionOfThreeStates");
}

void TDescriptionOfThreeStates::Assign(const TPersistent *Source) {
    TDescriptionOfValue::Assign(Source);
    if (const auto *Other = dynamic_cast<const TDescriptionOfThreeStates *>(Source)) {
        for (int i = 0; i < 3; ++i) {
            Captions[i] = Other->Captions[i];
            Color2[i] = Other->Color2[i];
            Color1[i] = Other->Color1[i];
        }
    }
}

void TDescriptionOfThreeStates::SetCaptions(const QString &Unknown, const QString &False, const QString &True) {
    Captions = {Unknown, False, True};
}

void TDescriptionOfThreeStates::SetCaption(TThreeStates State, const QString &S) {
    if (State <= tsTrue)
        Captions[State] = S;
}

void TDescriptionOfThreeStates::SetColors1(TColor Unknown, TColor False, TColor True) {
    Color1 = {Unknown, False, True};
}

void TDescriptionOfThreeStates::SetColors2(TColor Unknown, TColor False, TColor True) {
    Color2 = {Unknown, False, True};
}

void TDescriptionOfThreeStates::LoadFromIni() {
    TDescriptionOfValue::LoadFromIni();
    const TIniFile Ini(FileName);
    for (int i = 0; i < 3; ++i)
        Captions[i] = Ini.ReadString(Section, StateKey("Captions", i), Captions[i]);
    for (int i = 0; i < 3; ++i)
        Color1[i] = static_cast<TColor>(Ini.ReadInteger(Section, StateKey("Color1", i), static_cast<int>(Color1[i])));
    for (int i = 0; i < 3; ++i)
        Color2[i] = static_cast<TColor>(Ini.ReadInteger(Section, StateKey("Color2", i), static_cast<int>(Color2[i])));
}

void TDescriptionOfThreeStates::SaveToIni() {
    TDescriptionOfValue::SaveToIni();
    EnsureFile();
    TIniFile Ini(FileName);
    for (int i = 0; i < 3; ++i)
        Ini.WriteString(Section, StateKey("Captions", i), Captions[i]);
    for (int i = 0; i < 3; ++i)
        Ini.WriteInteger(Section, StateKey("Color1", i), static_cast<int>(Color1[i]));
    for (int i = 0; i < 3; ++i)
        Ini.WriteInteger(Section, StateKey("Color2", i), static_cast<int>(Color2[i]));
}

// ---- typed bindings

void TIOInteger::Assign(const TPersistent *Source) {
    if (dynamic_cast<const TiodIntegerToInteger *>(Source))
        TIOData::Assign(Source);
    if (const auto *Other = dynamic_cast<const TIOInteger *>(Source))
        Description.Assign(&Other->Description);
}

void TIODouble::Assign(const TPersistent *Source) {
    if (dynamic_cast<const TiodDoubleToDouble *>(Source))
        TIOData::Assign(Source);
    if (const auto *Other = dynamic_cast<const TIODouble *>(Source))
        Description.Assign(&Other->Description);
}

TIOThreeStates::TIOThreeStates() {
    SetValue(TVariant(static_cast<std::uint8_t>(tsUnknown)), 0);
}

void TIOThreeStates::Assign(const TPersistent *Source) {
    if (dynamic_cast<const TiodThreeStatesToThreeStates *>(Source))
        TIOData::Assign(Source);
    if (const auto *Other = dynamic_cast<const TIOThreeStates *>(Source))
        Description.Assign(&Other->Description);
}
