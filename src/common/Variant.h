#pragma once
// A value of the program's loosely typed interfaces (settings, registry values, field
// values of data sources and recordsets), with the conversions the program relies on:
// text of a number the way the user's regional settings write it (here the C locale:
// point as decimal separator), Booleans as True/False, whole numbers rounded half to even.

#include <cstdint>
#include <string>
#include <vector>

namespace lumaro {

class Variant {
public:
    enum class Type { Empty, Null, Boolean, Integer, Long, LongLong, Double, String, Array, Bytes };

    Variant() = default;  // Empty
    Variant(bool v) : type_(Type::Boolean), int_(v ? -1 : 0) {}
    Variant(int16_t v) : type_(Type::Integer), int_(v) {}
    Variant(int32_t v) : type_(Type::Long), int_(v) {}
    Variant(long v) : type_(Type::LongLong), int_(v) {}
    Variant(long long v) : type_(Type::LongLong), int_(v) {}
    Variant(double v) : type_(Type::Double), double_(v) {}
    Variant(const char* v) : type_(Type::String), text_(v ? v : "") {}
    Variant(std::string v) : type_(Type::String), text_(std::move(v)) {}
    Variant(std::vector<Variant> v) : type_(Type::Array), array_(std::move(v)) {}
    Variant(std::vector<uint8_t> v) : type_(Type::Bytes), bytes_(std::move(v)) {}

    static Variant Null() {
        Variant v;
        v.type_ = Type::Null;
        return v;
    }

    Type type() const { return type_; }
    bool IsEmpty() const { return type_ == Type::Empty; }
    bool IsNull() const { return type_ == Type::Null; }
    bool IsNumeric() const;  // a number, or a Boolean, or text that converts to a number
    bool IsWholeNumber() const {
        return type_ == Type::Integer || type_ == Type::Long || type_ == Type::LongLong;
    }
    bool IsArray() const { return type_ == Type::Array; }
    bool IsBytes() const { return type_ == Type::Bytes; }
    bool IsString() const { return type_ == Type::String; }

    // Conversions. Each raises RuntimeError: Null gives 94 (Invalid use of Null), a value
    // that cannot be converted 13 (Type mismatch), a number out of range 6 (Overflow).
    std::string ToString() const;  // Empty gives ""
    double ToDouble() const;       // Empty gives 0
    int64_t ToLongLong() const;    // rounded half to even
    int32_t ToLong() const;        // rounded half to even, 32-bit range
    int16_t ToInteger() const;     // rounded half to even, 16-bit range
    bool ToBool() const;           // numbers: non-zero; text: True/False or a number

    const std::vector<Variant>& AsArray() const;  // 13 unless an array
    const std::vector<uint8_t>& AsBytes() const;  // 13 unless a byte array

    // Same type and same value (arrays element by element).
    bool operator==(const Variant& other) const;
    bool operator!=(const Variant& other) const { return !(*this == other); }

private:
    Type type_ = Type::Empty;
    int64_t int_ = 0;
    double double_ = 0.0;
    std::string text_;
    std::vector<Variant> array_;
    std::vector<uint8_t> bytes_;
};

// Text of a floating-point number as Visual Basic's conversions write it: up to 15
// significant digits, no trailing zeros, scientific form ("1E+20", "1E-05") for
// exponents of 15 and more or below -4.
std::string DoubleToText(double value);

// Parses a number written as text: surrounding blanks allowed, an optional sign, digits
// with an optional decimal point and exponent, or &H hexadecimal. False when it is not one.
bool TextToDouble(const std::string& text, double& value);

// Rounds half to even and checks the range; raises 6 (Overflow) outside [lo, hi].
int64_t RoundToWhole(double value, int64_t lo, int64_t hi);

}  // namespace lumaro
