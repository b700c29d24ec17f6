#include "common/Variant.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "common/RuntimeError.h"

namespace lumaro {

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

bool EqualsIgnoreCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

}  // namespace

std::string DoubleToText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    if (value == 0) return "0";
    // d.dddddddddddddde+XX: 15 significant digits, independent of the process locale.
    char buf[64];
    auto done = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    std::string s(buf, done.ptr);
    size_t ePos = s.find('e');
    std::string mantissa = s.substr(0, ePos);
    int exponent = std::atoi(s.c_str() + ePos + 1);
    bool negative = mantissa[0] == '-';
    if (negative) mantissa.erase(0, 1);
    std::string digits;
    for (char c : mantissa)
        if (c != '.') digits += c;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out;
    if (exponent >= 15 || exponent < -4) {
        out = digits.substr(0, 1);
        if (digits.size() > 1) out += "." + digits.substr(1);
        std::string e = std::to_string(std::abs(exponent));
        if (e.size() < 2) e.insert(0, "0");
        out += (exponent < 0 ? "E-" : "E+") + e;
    } else if (exponent < 0) {
        out = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else {
        size_t intLen = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= intLen) {
            out = digits + std::string(intLen - digits.size(), '0');
        } else {
            out = digits.substr(0, intLen) + "." + digits.substr(intLen);
        }
    }
    return negative ? "-" + out : out;
}

bool TextToDouble(const std::string& text, double& value) {
    std::string t = Trim(text);
    if (t.empty()) return false;
    if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h')) {
        uint64_t v = 0;
        for (size_t i = 2; i < t.size(); ++i) {
            int c = std::tolower(static_cast<unsigned char>(t[i]));
            int d = std::isdigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
            if (d < 0 || i > 17) return false;
            v = v * 16 + static_cast<uint64_t>(d);
        }
        value = static_cast<double>(v);
        return true;
    }
    // Validate the shape ourselves: strtod also accepts "inf", "nan" and hex floats.
    size_t i = 0;
    if (t[i] == '+' || t[i] == '-') ++i;
    size_t digits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != t.size()) return false;
    for (char& c : t)
        if (c == 'd' || c == 'D') c = 'e';
    // from_chars takes no leading '+' and ignores the process locale.
    const char* begin = t.c_str() + (t[0] == '+' ? 1 : 0);
    auto parsed = std::from_chars(begin, t.c_str() + t.size(), value);
    if (parsed.ec == std::errc::result_out_of_range) return false;
    return parsed.ec == std::errc() && std::isfinite(value);
}

int64_t RoundToWhole(double value, int64_t lo, int64_t hi) {
    if (std::isnan(value)) throw RuntimeError::Standard(kErrOverflow);
    double r = std::nearbyint(value);  // default rounding mode: half to even
    // The 64-bit upper bound 2^63 - 1 is not a double: it converts to 2^63, which is out of
    // range itself, so that bound is strict.
    const double top = static_cast<double>(hi);
    if (r < static_cast<double>(lo) || r > top || (hi == INT64_MAX && r >= top))
        throw RuntimeError::Standard(kErrOverflow);
    return static_cast<int64_t>(r);
}

bool Variant::IsNumeric() const {
    switch (type_) {
        case Type::Boolean:
        case Type::Integer:
        case Type::Long:
        case Type::LongLong:
        case Type::Double:
        case Type::Empty:
            return true;
        case Type::String: {
            double d;
            return TextToDouble(text_, d);
        }
        default:
            return false;
    }
}

std::string Variant::ToString() const {
    switch (type_) {
        case Type::Empty:
            return {};
        case Type::Null:
            throw RuntimeError::Standard(kErrInvalidUseOfNull);
        case Type::Boolean:
            return int_ ? "True" : "False";
        case Type::Integer:
        case Type::Long:
        case Type::LongLong:
            return std::to_string(int_);
        case Type::Double:
            return DoubleToText(double_);
        case Type::String:
            return text_;
        case Type::Bytes:
            return std::string(bytes_.begin(), bytes_.end());
        case Type::Array:
            break;
    }
    throw RuntimeError::Standard(kErrTypeMismatch);
}

double Variant::ToDouble() const {
    switch (type_) {
        case Type::Empty:
            return 0;
        case Type::Null:
            throw RuntimeError::Standard(kErrInvalidUseOfNull);
        case Type::Boolean:
        case Type::Integer:
        case Type::Long:
        case Type::LongLong:
            return static_cast<double>(int_);
        case Type::Double:
            return double_;
        case Type::String: {
            double d;
            if (TextToDouble(text_, d)) return d;
            if (EqualsIgnoreCase(Trim(text_), "true")) return -1;
            if (EqualsIgnoreCase(Trim(text_), "false")) return 0;
            break;
        }
        default:
            break;
    }
    throw RuntimeError::Standard(kErrTypeMismatch);
}

int64_t Variant::ToLongLong() const {
    if (IsWholeNumber() || type_ == Type::Boolean) return int_;
    return RoundToWhole(ToDouble(), std::numeric_limits<int64_t>::min(),
                        std::numeric_limits<int64_t>::max());
}

int32_t Variant::ToLong() const {
    if (IsWholeNumber() || type_ == Type::Boolean) {
        if (int_ < INT32_MIN || int_ > INT32_MAX) throw RuntimeError::Standard(kErrOverflow);
        return static_cast<int32_t>(int_);
    }
    return static_cast<int32_t>(RoundToWhole(ToDouble(), INT32_MIN, INT32_MAX));
}

int16_t Variant::ToInteger() const {
    if (IsWholeNumber() || type_ == Type::Boolean) {
        if (int_ < INT16_MIN || int_ > INT16_MAX) throw RuntimeError::Standard(kErrOverflow);
        return static_cast<int16_t>(int_);
    }
    return static_cast<int16_t>(RoundToWhole(ToDouble(), INT16_MIN, INT16_MAX));
}

bool Variant::ToBool() const {
    switch (type_) {
        case Type::Empty:
            return false;
        case Type::Null:
            throw RuntimeError::Standard(kErrInvalidUseOfNull);
        case Type::Boolean:
        case Type::Integer:
        case Type::Long:
        case Type::LongLong:
            return int_ != 0;
        case Type::Double:
            return double_ != 0;
        case Type::String: {
            std::string t = Trim(text_);
            if (EqualsIgnoreCase(t, "true")) return true;
            if (EqualsIgnoreCase(t, "false")) return false;
            double d;
            if (TextToDouble(t, d)) return d != 0;
            break;
        }
        default:
            break;
    }
    throw RuntimeError::Standard(kErrTypeMismatch);
}

const std::vector<Variant>& Variant::AsArray() const {
    if (type_ != Type::Array) throw RuntimeError::Standard(kErrTypeMismatch);
    return array_;
}

const std::vector<uint8_t>& Variant::AsBytes() const {
    if (type_ != Type::Bytes) throw RuntimeError::Standard(kErrTypeMismatch);
    return bytes_;
}

bool Variant::operator==(const Variant& o) const {
    if (type_ != o.type_) return false;
    switch (type_) {
        case Type::Empty:
        case Type::Null:
            return true;
        case Type::Double:
            return double_ == o.double_;
        case Type::String:
            return text_ == o.text_;
        case Type::Array:
            return array_ == o.array_;
        case Type::Bytes:
            return bytes_ == o.bytes_;
        default:
            return int_ == o.int_;
    }
}

}  // namespace lumaro
