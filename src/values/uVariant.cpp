#include "uVariant.h"

#include "uFormat.h"

#include <cmath>
#include <limits>

namespace {

int RoundToInteger(double Value) {
    if (!std::isfinite(Value))
        throw EVariantError("Invalid variant type conversion");
    const double Rounded = std::nearbyint(Value); // the default mode rounds ties to even
    if (Rounded < std::numeric_limits<int>::min() || Rounded > std::numeric_limits<int>::max())
        throw EVariantError("Overflow while converting variant of type (Double) into type (Integer)");
    return static_cast<int>(Rounded);
}

bool ReadNumber(const QString &Text, double &Value) {
    if (TryStrToFloat(Text, Value, DefaultFormatSettings()))
        return true;
    bool Ok = false;
    const qint64 Whole = Text.trimmed().toLongLong(&Ok);
    if (Ok)
        Value = static_cast<double>(Whole);
    return Ok;
}

} // namespace

int TVariant::ToInteger() const {
    switch (FType) {
    case TVarType::Empty:
        return 0;
    case TVarType::Boolean:
    case TVarType::Byte:
    case TVarType::Integer:
        return static_cast<int>(FInteger);
    case TVarType::Double:
        return RoundToInteger(FDouble);
    case TVarType::String: {
        double Value = 0;
        if (!ReadNumber(FString, Value))
            throw EVariantError("Could not convert variant of type (String) into type (Integer)");
        return RoundToInteger(Value);
    }
    }
    return 0;
}

double TVariant::ToDouble() const {
    switch (FType) {
    case TVarType::Empty:
        return 0;
    case TVarType::Boolean:
    case TVarType::Byte:
    case TVarType::Integer:
        return static_cast<double>(FInteger);
    case TVarType::Double:
        return FDouble;
    case TVarType::String: {
        double Value = 0;
        if (!ReadNumber(FString, Value))
            throw EVariantError("Could not convert variant of type (String) into type (Double)");
        return Value;
    }
    }
    return 0;
}

QString TVariant::ToString() const {
    switch (FType) {
    case TVarType::Empty:
        return {};
    case TVarType::Boolean:
        return FInteger ? QStringLiteral("True") : QStringLiteral("False");
    case TVarType::Byte:
    case TVarType::Integer:
        return QString::number(FInteger);
    case TVarType::Double:
        return FloatToStr(FDouble, DefaultFormatSettings());
    case TVarType::String:
        return FString;
    }
    return {};
}

bool TVariant::SameValue(const TVariant &Other) const {
    if (IsEmpty() || Other.IsEmpty())
        return IsEmpty() && Other.IsEmpty();
    if (FType == TVarType::String && Other.FType == TVarType::String)
        return FString == Other.FString;
    double A = 0, B = 0;
    if (FType == TVarType::String ? !ReadNumber(FString, A) : (A = ToDouble(), false))
        return false;
    if (Other.FType == TVarType::String ? !ReadNumber(Other.FString, B) : (B = Other.ToDouble(), false))
        return false;
    return A == B;
}
