#include "globals/Globals.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/RuntimeError.h"
#include "common/TextUtil.h"

namespace lumaro {

namespace {

constexpr const char* kFormatSource = "Globals.FormatString";
constexpr const char* kArgumentSource = "Globals.FormatArgument";

// Positions and lengths in the formatter are 16-bit numbers, as the stored queries were
// written for; anything longer is an overflow rather than a huge allocation.
constexpr size_t kMaxPosition = 32767;

bool IsConversionCharacter(char c) {
    return c != '\0' && std::strchr("sSdiulfegEGxX%", c) != nullptr;
}

FormatKind KindOf(char conversion) {
    switch (conversion) {
        case 's':
        case 'S':
            return FormatKind::Text;
        case 'l':
            return FormatKind::WholeLong;
        case 'f':
        case 'e':
        case 'g':
        case 'E':
        case 'G':
            return FormatKind::Float;
        case 'x':
        case 'X':
            return FormatKind::Hex;
        default:
            return FormatKind::Whole;
    }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The run of digits starting at text[pos], 0 when there is none; more than 32767 overflows.
size_t ReadCount(const std::string& text, size_t pos) {
    size_t n = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        n = n * 10 + static_cast<size_t>(text[pos] - '0');
        if (n > kMaxPosition) throw RuntimeError::Standard(kErrOverflow, kArgumentSource);
    }
    return n;
}

// A number rounded half away from zero at `decimals` places, taken from its 15 significant
// digits (as the regional number formatting does): integer digits and exactly `decimals`
// fraction digits, without sign. Returns whether the rounded number is negative (not zero).
bool RoundDecimal(double value, size_t decimals, std::string& whole, std::string& fraction) {
    // to_chars, unlike printf, ignores the process locale: "d.dddddddddddddde+XX".
    char buf[48];
    const auto written =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    *written.ptr = '\0';
    std::string digits(1, buf[0]);
    digits.append(buf + 2, 14);
    // value = 0.<digits> x 10^intLength
    const long intLength = std::strtol(std::strchr(buf, 'e') + 1, nullptr, 10) + 1;
    if (intLength > 0) {
        whole = digits.substr(0, std::min<size_t>(digits.size(), static_cast<size_t>(intLength)));
        whole.append(static_cast<size_t>(intLength) - whole.size(), '0');
        fraction = digits.size() > whole.size() ? digits.substr(whole.size()) : std::string();
    } else {
        whole.clear();
        fraction.assign(static_cast<size_t>(-intLength), '0');
        fraction += digits;
    }
    if (fraction.size() > decimals) {
        const bool up = fraction[decimals] >= '5';
        fraction.resize(decimals);
        if (up) {
            bool carry = true;
            for (auto it = fraction.rbegin(); carry && it != fraction.rend(); ++it) {
                carry = *it == '9';
                *it = carry ? '0' : static_cast<char>(*it + 1);
            }
            for (auto it = whole.rbegin(); carry && it != whole.rend(); ++it) {
                carry = *it == '9';
                *it = carry ? '0' : static_cast<char>(*it + 1);
            }
            if (carry) whole.insert(whole.begin(), '1');
        }
    } else {
        fraction.append(decimals - fraction.size(), '0');
    }
    if (whole.empty()) whole = "0";
    const bool nonZero = whole.find_first_not_of('0') != std::string::npos ||
                         fraction.find_first_not_of('0') != std::string::npos;
    return value < 0 && nonZero;
}

// The value as a number for a numeric picture; false when it is not one.
bool NumericValue(const Variant& value, double& number) {
    if (!value.IsNumeric()) return false;
    number = value.ToDouble();
    return std::isfinite(number);
}

// The pictures that padding uses. Each is also kept as its picture text, because a
// hexadecimal value takes its leading characters from it.
struct Picture {
    enum class Type { None, Text, Zero, Decimal, BlankZero };
    Type type = Type::None;
    size_t places = 0;    // Text: at-signs; Zero, BlankZero: zeros; Decimal: decimals
    size_t trailing = 0;  // Text: blanks after the at-signs
    size_t leading = 0;   // BlankZero: blanks before the zeros
    std::string text;
};

Picture TextPicture(size_t atSigns, size_t trailingBlanks) {
    Picture p{Picture::Type::Text, atSigns, trailingBlanks, 0, std::string(atSigns, '@')};
    p.text.append(trailingBlanks, ' ');
    return p;
}

// Formats value with a picture; the caller checks the result against the width.
std::string ApplyPicture(const Picture& picture, const Variant& value) {
    double number = 0;
    switch (picture.type) {
        case Picture::Type::None:
            return value.ToString();
        case Picture::Type::Text: {
            std::string text = value.ToString();
            std::string out;
            if (text.size() < picture.places) out.assign(picture.places - text.size(), ' ');
            out += text;
            out.append(picture.trailing, ' ');
            return out;
        }
        case Picture::Type::Zero:
        case Picture::Type::BlankZero: {
            if (!NumericValue(value, number)) return value.ToString();
            std::string whole, fraction;
            const bool negative = RoundDecimal(number, 0, whole, fraction);
            std::string out(negative ? "-" : "");
            out.append(picture.leading, ' ');
            if (whole.size() < picture.places) out.append(picture.places - whole.size(), '0');
            return out + whole;
        }
        case Picture::Type::Decimal: {
            if (!NumericValue(value, number)) return value.ToString();
            std::string whole, fraction;
            const bool negative = RoundDecimal(number, picture.places, whole, fraction);
            return (negative ? "-" : "") + whole + "." + fraction;
        }
    }
    return value.ToString();
}

// The hexadecimal digits of a value, upper case, negative numbers in two's complement of
// their own size (16 bits for Integer and Boolean, 32 for Long and for any other value
// within 32 bits, else 64).
std::string HexDigits(const Variant& value) {
    uint64_t bits = 0;
    switch (value.type()) {
        case Variant::Type::Null:
            throw RuntimeError::Standard(kErrInvalidUseOfNull, kArgumentSource);
        case Variant::Type::Array:
        case Variant::Type::Bytes:
            throw RuntimeError::Standard(kErrTypeMismatch, kArgumentSource);
        case Variant::Type::Integer:
        case Variant::Type::Boolean:
            bits = static_cast<uint16_t>(value.ToLongLong());
            break;
        default: {
            int64_t whole;
            if (value.IsWholeNumber()) {
                whole = value.ToLongLong();
            } else {
                const double rounded = std::nearbyint(value.ToDouble());  // half to even
                if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0))
                    throw RuntimeError::Standard(kErrOverflow, kArgumentSource);
                whole = static_cast<int64_t>(rounded);
            }
            if (whole >= INT32_MIN && whole <= INT32_MAX)
                bits = static_cast<uint32_t>(static_cast<int32_t>(whole));
            else
                bits = static_cast<uint64_t>(whole);
        }
    }
    char buf[24];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(bits));
    return buf;
}

// A text kind with a precision: at most `precision` characters of the text, placed in the
// width like printf does.
std::string FormatTextWithPrecision(const Variant& value, size_t width, size_t precision,
                                    bool leftJustify) {
    std::string text = value.ToString();
    if (text.size() > precision) text.resize(precision);
    const std::string fill(width > text.size() ? width - text.size() : 0, ' ');
    return leftJustify ? text + fill : fill + text;
}

}  // namespace

std::string FormatArgument(const std::string& specification, FormatKind kind, bool upperCase,
                           const Variant& value) {
    if (specification.size() < 2) return {};

    char pictureChar = '@';
    bool leftJustify = false;
    size_t bodyStart = 1;
    switch (specification[1]) {
        case '-':
            leftJustify = true;
            bodyStart = 2;
            break;
        case '0':
            pictureChar = '0';
            bodyStart = 2;
            break;
        case '+':
        case ' ':
        case '#':
            bodyStart = 2;
            break;
        default:
            break;
    }
    const bool longConversion = kind == FormatKind::WholeLong && specification.size() >= 2 &&
                                specification.compare(specification.size() - 2, 2, "ld") == 0;
    const size_t conversionLength = longConversion ? 2 : 1;
    const size_t bodyEnd = specification.size() - conversionLength;
    const std::string body =
        bodyEnd > bodyStart ? specification.substr(bodyStart, bodyEnd - bodyStart) : std::string();

    size_t width = ReadCount(body, 0);
    const size_t point = body.find('.');
    const bool hasPrecision = point != std::string::npos;
    const size_t precision = hasPrecision ? ReadCount(body, point + 1) : 0;

    Picture picture;
    if (!hasPrecision) {
        if (leftJustify) {
            const size_t length = value.ToString().size();
            if (length > kMaxPosition) throw RuntimeError::Standard(kErrOverflow, kArgumentSource);
            width = std::max(width, length);
            picture = TextPicture(length, width - length);
        } else if (width > 0) {
            if (pictureChar == '0')
                picture = Picture{Picture::Type::Zero, width, 0, 0, std::string(width, '0')};
            else
                picture = TextPicture(width, 0);
        }
    } else {
        width = std::max(width, precision);
        switch (kind) {
            case FormatKind::Float: {
                if (width < precision + 2)
                    throw RuntimeError::Standard(kErrInvalidProcedureCall, kArgumentSource);
                picture = Picture{
                    Picture::Type::Decimal, precision, 0, 0,
                    std::string(width - precision - 2, '#') + "0." + std::string(precision, '0')};
                break;
            }
            case FormatKind::Text:
                return FormatTextWithPrecision(value, width, precision, leftJustify);
            default:
                // Whole numbers and hexadecimal, with or without the zero flag: blanks,
                // then at least `precision` digits (printf ignores the zero flag here too).
                picture =
                    Picture{Picture::Type::BlankZero, precision, 0, width - precision,
                            std::string(width - precision, ' ') + std::string(precision, '0')};
                break;
        }
    }

    Variant prepared;
    const Variant* formatted = &value;
    if (kind == FormatKind::Hex) {
        std::string digits = HexDigits(value);
        if (picture.text.size() < digits.size()) {
            picture = Picture{};
        } else if (pictureChar == '0' || hasPrecision) {
            digits.insert(0, picture.text, 0, picture.text.size() - digits.size());
            picture = Picture{};
        }
        prepared = Variant(upperCase ? std::move(digits) : ToLowerAscii(digits));
        formatted = &prepared;
    } else if (kind != FormatKind::Text) {
        const std::string text = value.ToString();
        prepared = Variant(upperCase ? ToUpperAscii(text) : ToLowerAscii(text));
        formatted = &prepared;
    }

    if (picture.type == Picture::Type::None) return formatted->ToString();
    std::string result = ApplyPicture(picture, *formatted);
    if (result.size() > width) return std::string(width, '#');
    result.append(width - result.size(), ' ');
    return result;
}

std::string FormatString(const std::string& pattern, const std::vector<Variant>& args) {
    const std::vector<Variant>& list =
        !args.empty() && args.front().IsArray() ? args.front().AsArray() : args;
    if (pattern.size() > kMaxPosition) throw RuntimeError::Standard(kErrOverflow, kFormatSource);

    size_t placeholders = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') continue;
        if (i + 1 < pattern.size() && pattern[i + 1] == '%')
            ++i;
        else
            ++placeholders;
    }
    if (placeholders != list.size()) {
        throw RuntimeError(kErrWrongArguments, kFormatSource,
                           "Mismatch of parameters for string " + pattern + ".  Expected " +
                               std::to_string(placeholders) + " but received " +
                               std::to_string(list.size()) + ".");
    }

    std::string result;
    result.reserve(pattern.size() + 32 * list.size());
    size_t pending = 0;
    size_t nextArgument = 0;
    for (size_t percent = pattern.find('%'); percent != std::string::npos;
         percent = pattern.find('%', pending)) {
        size_t conversion = percent + 1;
        while (conversion < pattern.size() && !IsConversionCharacter(pattern[conversion]))
            ++conversion;
        if (conversion >= pattern.size())
            throw RuntimeError(kErrInvalidPatternString, kFormatSource,
                               "Invalid % format in <" + pattern + ">");

        size_t specEnd = conversion + 1;  // one past the conversion character(s)
        if (pattern[conversion] == 'l') {
            if (specEnd >= pattern.size() || pattern[specEnd] != 'd') {
                throw RuntimeError(
                    kErrInvalidPatternString, kFormatSource,
                    "Unrecognized pattern " + pattern.substr(conversion - 1, 3) + " in " + pattern);
            }
            ++specEnd;
        }

        if (pattern[conversion] == '%') {
            // A literal percent sign; whatever stood between the two is dropped.
            result.append(pattern, pending, percent + 1 - pending);
        } else {
            result.append(pattern, pending, percent - pending);
            if (nextArgument >= list.size())
                throw RuntimeError::Standard(kErrSubscriptOutOfRange, kFormatSource);
            const char c = pattern[conversion];
            result += FormatArgument(pattern.substr(percent, specEnd - percent), KindOf(c),
                                     c == 'X', list[nextArgument++]);
        }
        pending = specEnd;
    }
    result.append(pattern, pending, std::string::npos);
    return ExpandEscapes(result);
}

std::string ExpandEscapes(const std::string& text) {
    size_t backslash = text.find('\\');
    if (backslash == std::string::npos) return text;
    std::string out;
    out.reserve(text.size() + 8);
    size_t from = 0;
    while (backslash != std::string::npos) {
        out.append(text, from, backslash - from);
        if (backslash + 1 < text.size()) {
            const char c = text[backslash + 1];
            switch (c) {
                case 'n':
                    out += "\r\n";
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                default:
                    out += c;
                    break;  // "\\" gives one backslash, "\x" gives x
            }
            from = backslash + 2;
        } else {
            from = backslash + 1;  // a trailing backslash is dropped
        }
        backslash = text.find('\\', from);
    }
    out.append(text, std::min(from, text.size()), std::string::npos);
    return out;
}

std::string QuoteSQL(const std::string& text) { return ReplaceAll(text, "'", "''"); }

std::string KVEscape(const std::string& text) {
    // The backslash first, so the escapes made afterwards are not doubled again.
    return ReplaceAll(ReplaceAll(ReplaceAll(text, "\\", "\\\\"), "=", "\\eq"), "\n", "\\0");
}

std::string KVPair(const std::string& key, const std::string& value) {
    return KVEscape(key) + "=" + KVEscape(value) + "\n";
}

std::string KVBuildList(const std::vector<std::string>& keys,
                        const std::vector<std::string>& values) {
    if (keys.empty() || keys.size() != values.size()) return {};
    std::string list;
    for (size_t i = 0; i < keys.size(); ++i) list += KVPair(keys[i], values[i]);
    return list;
}

std::vector<std::string> StringArray(const std::vector<Variant>& args) {
    try {
        std::vector<std::string> texts;
        texts.reserve(args.size());
        for (const Variant& arg : args) {
            if (arg.IsArray()) {
                for (const Variant& element : arg.AsArray()) texts.push_back(element.ToString());
            } else {
                texts.push_back(arg.ToString());
            }
        }
        // An array of no elements cannot be made; that failure gives one empty string too.
        if (texts.empty()) texts.emplace_back();
        return texts;
    } catch (...) {
        return {std::string()};
    }
}

}  // namespace lumaro
