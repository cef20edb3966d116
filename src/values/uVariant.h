#pragma once
// The value a data binding carries: empty, boolean, 8-bit unsigned, 32-bit
// signed, double or string, with comparison by value across kinds and the
// conversions a binding needs. A conversion that cannot be made throws.
#include <QString>
#include <cstdint>
#include <stdexcept>

class EVariantError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TVarType { Empty, Boolean, Byte, Integer, Double, String };

class TVariant {
public:
    TVariant() = default;
    TVariant(bool Value) : FType(TVarType::Boolean), FInteger(Value ? 1 : 0) {}
    TVariant(std::uint8_t Value) : FType(TVarType::Byte), FInteger(Value) {}
    TVariant(int Value) : FType(TVarType::Integer), FInteger(Value) {}
    TVariant(double Value) : FType(TVarType::Double), FDouble(Value) {}
    TVariant(QString Value) : FType(TVarType::String), FString(std::move(Value)) {}
    TVariant(const char *Value) : TVariant(QString::fromUtf8(Value)) {}

    TVarType Type() const { return FType; }
    bool IsEmpty() const { return FType == TVarType::Empty; }
    bool IsNumeric() const { return FType != TVarType::Empty && FType != TVarType::String; }

    // Reals round to the nearest integer, ties to the even one; a string is read
    // as a number; a result outside 32 bits throws.
    int ToInteger() const;
    double ToDouble() const;
    QString ToString() const;

    // Numbers compare by value whatever their kind (an 8-bit 0 equals 0.0);
    // a string equals a number when it reads as that number.
    bool SameValue(const TVariant &Other) const;
    friend bool operator==(const TVariant &A, const TVariant &B) { return A.SameValue(B); }
    friend bool operator!=(const TVariant &A, const TVariant &B) { return !A.SameValue(B); }

private:
    TVarType FType = TVarType::Empty;
    std::int64_t FInteger = 0; // boolean, byte and integer
    double FDouble = 0;
    QString FString;
};
