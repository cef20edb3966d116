#pragma once
// Value descriptions (what a value is and how to show it) and the typed data
// bindings that own one. Every description can read and write itself to a
// section of an ini file.
#include "IOData.h"
#include "uPersistent.h"

#include <QString>
#include <array>
#include <cstdint>

enum TThreeStates : std::uint8_t { tsUnknown = 0, tsFalse = 1, tsTrue = 2 };

// 0x00BBGGRR, or 0x80000000 + a system-colour index.
using TColor = std::uint32_t;
constexpr TColor clBtnFace = 0x8000000F;

class TDescriptionOfCustomValue : public TPersistent {
public:
    TDescriptionOfCustomValue();

    void Assign(const TPersistent *Source) override;
    // Section := Parent.Section + "." + Name and the parent's file, when Parent is a description.
    virtual void LinkTo(const TPersistent *Parent);
    // A missing file or key keeps the current value.
    virtual void LoadFromIni();
    // Throws EIniFileError when the file cannot be written.
    virtual void SaveToIni();
    virtual void SetName(const QString &S) { Name = S; }
    virtual void SetFileName(const QString &S) { FileName = S; }
    virtual void SetSection(const QString &S) { Section = S; }

    QString Title;
    QString Hint;
    QString Name = QStringLiteral("DescriptionOfCustomValue");
    QString FileName;
    QString Section;

protected:
    // Creates the file, empty, when it does not exist.
    void EnsureFile() const;
};

class TDescriptionOfValue : public TDescriptionOfCustomValue {
public:
    TDescriptionOfValue();
};

class TDescriptionOfInteger : public TDescriptionOfValue {
public:
    void Assign(const TPersistent *Source) override;
    void LoadFromIni() override;
    void SaveToIni() override;

    // Refused values (past the other limit) are ignored without a word.
    void SetMin(int A);
    void SetMax(int A);
    void SetMinMax(int AMin, int AMax);
    int GetMin() const { return FMin; }
    int GetMax() const { return FMax; }

    QString Dimension;

private:
    int FMin = 0;
    int FMax = 100;
};

class TDescriptionOfDouble : public TDescriptionOfValue {
public:
    void Assign(const TPersistent *Source) override;
    void LoadFromIni() override;
    void SaveToIni() override;

    void SetMin(double A);
    void SetMax(double A);
    void SetMinMax(double AMin, double AMax);
    double GetMin() const { return FMin; }
    double GetMax() const { return FMax; }

    // The value in number format with Precision significant digits and Digits decimals.
    QString FormatValue(double Value) const;

    QString Dimension;
    std::uint8_t Precision = 9;
    std::uint8_t Digits = 2;

private:
    double FMin = 0.0;
    double FMax = 100.0;
};

class TDescriptionOfThreeStates : public TDescriptionOfValue {
public:
    TDescriptionOfThreeStates();
    void Assign(const TPersistent *Source) override;
    void LoadFromIni() override;
    void SaveToIni() override;

    void SetCaptions(const QString &Unknown, const QString &False, const QString &True);
    void SetCaption(TThreeStates State, const QString &S);
    void SetColors1(TColor Unknown, TColor False, TColor True);
    void SetColors2(TColor Unknown, TColor False, TColor True);

    std::array<QString, 3> Captions{QStringLiteral("Unknown"), QStringLiteral("Off"), QStringLiteral("On")};
    std::array<TColor, 3> Color1{0x808080, 0x0000FF, 0x00FF00};
    std::array<TColor, 3> Color2{clBtnFace, clBtnFace, clBtnFace};
};

// Typed bindings: a converting binding that owns its description.
class TIOInteger : public TiodIntegerToInteger {
public:
    void Assign(const TPersistent *Source) override;
    int AsInteger() { return Value().ToInteger(); }
    TDescriptionOfInteger Description;
};

class TIODouble : public TiodDoubleToDouble {
public:
    void Assign(const TPersistent *Source) override;
    double AsDouble() { return Value().ToDouble(); }
    TDescriptionOfDouble Description;
};

class TIOThreeStates : public TiodThreeStatesToThreeStates {
public:
    TIOThreeStates();
    void Assign(const TPersistent *Source) override;
    TThreeStates AsThreeStates() { return static_cast<TThreeStates>(Value().ToInteger() & 0xFF); }
    TDescriptionOfThreeStates Description;
};
