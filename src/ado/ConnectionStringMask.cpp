#include "ado/ConnectionStringMask.h"

#include <vector>

#include "ado/ConnectionString.h"
#include "common/TextUtil.h"

namespace ado {

namespace {

constexpr char kMask[] = "****";

// Nested strings deeper than this are hidden whole rather than read further.
constexpr int kMaxDepth = 8;

std::string Mask(const std::string& text, int depth, bool& changed);

// A value that reads as a connection string with a password in it: `out` receives it with
// the password hidden, quoted as it was. False when nothing in the value is hidden.
bool MaskNested(std::string_view text, const ConnectionToken& t, int depth, std::string& out) {
    if (!t.wellFormed || t.opener == '{') return false;
    const std::string inner = TokenValue(text, t);
    if (inner.find('=') == std::string::npos) return false;
    if (depth >= kMaxDepth) {
        out = kMask;
        return true;
    }
    bool changed = false;
    const std::string masked = Mask(inner, depth + 1, changed);
    if (!changed) return false;
    const char quote = t.opener ? t.opener : '"';
    out = quote + lumaro::ReplaceAll(masked, std::string(1, quote), std::string(2, quote)) + quote;
    return true;
}

std::string Mask(const std::string& text, int depth, bool& changed) {
    std::string out;
    out.reserve(text.size());
    size_t copied = 0;
    for (const ConnectionToken& t : TokenizeConnectionString(text)) {
        if (!t.hasValue) continue;
        std::string replacement;
        if (IsPasswordKey(TokenKey(text, t))) {
            if (t.valueBegin == t.valueEnd) continue;  // an empty password shows nothing
            replacement = kMask;
        } else if (!MaskNested(text, t, depth, replacement)) {
            continue;
        }
        out.append(text, copied, t.valueBegin - copied);
        out += replacement;
        copied = t.valueEnd;
        changed = true;
    }
    out.append(text, copied, std::string::npos);
    return out;
}

}  // namespace

bool IsPasswordKey(std::string_view key) {
    for (const char* name : {"Password", "Pwd", "sslpassword"})
        if (lumaro::EqualsIgnoreCase(key, name)) return true;
    return false;
}

std::string MaskConnectionPasswords(const std::string& connectionString) {
    bool changed = false;
    return Mask(connectionString, 0, changed);
}

}  // namespace ado
