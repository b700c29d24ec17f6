#include "settings/modSecurity.h"

#include <cstdint>
#include <random>

#include "common/RuntimeError.h"
#include "common/WaitCursor.h"
#include "common/Windows1252.h"

namespace lumaro {

namespace {

constexpr int kMinFactor = 10;
constexpr int kMaxFactor = 28;
constexpr int kBase = 93;
constexpr int kFirstDigitCode = 33;  // '!' stands for digit 0, '}' for digit 92
constexpr int64_t kBaseCubed = int64_t{kBase} * kBase * kBase;

// Any factor decodes, so the generator only has to spread them; seeded once per thread.
int DrawFactor() {
    thread_local std::mt19937 generator{std::random_device{}()};
    thread_local std::uniform_int_distribution<int> factors{kMinFactor, kMaxFactor};
    return factors(generator);
}

void AppendRecord(std::string& out, unsigned char code, int factor) {
    // w = (256 - code) + 99 lies in 100..355, so p = w * factor always has four digits;
    // x interleaves them with the factor: the first two digits of p, the factor, the last two.
    const int p = (256 - code + 99) * factor;
    int64_t x = int64_t{p / 100} * 10000 + factor * 100 + p % 100;
    const int digits = x >= kBaseCubed ? 4 : 3;
    out.push_back(static_cast<char>('0' + digits));
    int64_t power = digits == 4 ? kBaseCubed : kBaseCubed / kBase;
    for (int i = 0; i < digits; ++i) {
        out.push_back(static_cast<char>(kFirstDigitCode + x / power));
        x %= power;
        power /= kBase;
    }
}

// The byte that one record stands for. The record may be anything a user typed into the
// INI file: any length digit, a short last record, characters outside "!".."}". Such
// records give some byte; the arithmetic below stays in range for every input.
unsigned char DecodeRecord(const std::string& stored, size_t digitsStart, int length) {
    int64_t x = 0;
    for (int place = 0; place < length; ++place) {
        x *= kBase;
        const size_t at = digitsStart + static_cast<size_t>(place);
        if (at < stored.size()) x += static_cast<unsigned char>(stored[at]) - kFirstDigitCode;
    }
    // Six decimal digits: the first two and last two are p, the middle two the factor.
    int64_t six = x % 1000000;
    if (six < 0) six += 1000000;
    const int64_t factor = six / 100 % 100;
    const int64_t p = six / 10000 * 100 + six % 100;
    const int64_t q = factor == 0 ? 0 : (2 * p + factor) / (2 * factor);  // nearest whole
    return static_cast<unsigned char>((256 - (q - 99)) & 0xFF);
}

}  // namespace

std::string EncodeRecord(unsigned char code, int factor) {
    if (factor < kMinFactor || factor > kMaxFactor)
        throw RuntimeError::Standard(kErrInvalidProcedureCall, "modSecurity.EncodeRecord");
    std::string record;
    AppendRecord(record, code, factor);
    return record;
}

std::string EncodeText(const std::string& text) {
    WaitCursor wait;
    // One record per Windows-1252 code, as a Windows installation reads the same string.
    // Callers refuse text that Windows-1252 cannot hold; here such a character becomes '?'.
    std::string codes;
    Windows1252FromUtf8(text, codes, nullptr, '?');
    std::string stored;
    stored.reserve(codes.size() * 5);
    for (char c : codes) AppendRecord(stored, static_cast<unsigned char>(c), DrawFactor());
    return stored;
}

std::string DecodeText(const std::string& stored) {
    WaitCursor wait;
    std::string codes;
    codes.reserve(stored.size() / 4 + 1);
    size_t i = 0;
    while (i < stored.size()) {
        // The record length is one decimal digit ("3" or "4" in a well-formed text); any
        // other character counts as 0, so the next record starts right after it.
        const char c = stored[i];
        const int length = c >= '0' && c <= '9' ? c - '0' : 0;
        codes.push_back(static_cast<char>(DecodeRecord(stored, i + 1, length)));
        i += static_cast<size_t>(length) + 1;
    }
    return Utf8FromWindows1252(codes);
}

}  // namespace lumaro
