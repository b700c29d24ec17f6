// Connection strings: the tokenizer, the parser and the password mask never fail on any
// text, the parser finds no password left in a masked string at any nesting depth, the mask
// keeps every key in its order, and a value written for ADO reads back as itself.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "ado/ConnectionString.h"
#include "ado/ConnectionStringMask.h"
#include "common/RuntimeError.h"

namespace {

using ado::ConnectionString;

bool Parses(const std::string& text, ConnectionString& out) {
    try {
        out = ConnectionString::Parse(text);
        return true;
    } catch (const lumaro::RuntimeError&) {
        return false;
    }
}

void CheckNoPasswordLeft(const std::string& masked, int depth) {
    ConnectionString cs;
    if (depth > 8 || !Parses(masked, cs)) return;
    for (const auto& item : cs.Items()) {
        if (ado::IsPasswordKey(item.key) && !item.value.empty() && item.value != "****")
            std::abort();
        if (!ado::IsPasswordKey(item.key) && !item.braced &&
            item.value.find('=') != std::string::npos)
            CheckNoPasswordLeft(item.value, depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)ado::TokenizeConnectionString(text);
    const std::string masked = ado::MaskConnectionPasswords(text);
    CheckNoPasswordLeft(masked, 0);
    ConnectionString before, after, again;
    if (!Parses(text, before)) return 0;
    if (!Parses(masked, after) || after.Items().size() != before.Items().size()) std::abort();
    for (size_t i = 0; i < before.Items().size(); ++i) {
        const auto& item = before.Items()[i];
        if (after.Items()[i].key != item.key) std::abort();
        if (!Parses("K=" + ado::QuoteConnectionValue(item.value), again) ||
            again.Get("K") != item.value)
            std::abort();
    }
    try {
        (void)ado::MapConnectionString(text, "", "", 15, 30);
    } catch (const lumaro::RuntimeError&) {
    }
    return 0;
}
