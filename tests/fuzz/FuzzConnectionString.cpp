// Connection strings: the tokenizer, the parser and the password mask never fail on any
// text, and the parser finds no password left in a masked string, at any nesting depth.

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

// Every password the parser reads from the text is hidden, also inside values that are
// connection strings themselves.
void CheckNoPasswordLeft(const std::string& masked, int depth) {
    ConnectionString cs;
    if (depth > 8 || !Parses(masked, cs)) return;
    for (const auto& item : cs.Items()) {
        if (ado::IsPasswordKey(item.key)) {
            if (!item.value.empty() && item.value != "****") std::abort();
        } else if (!item.braced && item.value.find('=') != std::string::npos) {
            CheckNoPasswordLeft(item.value, depth + 1);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)ado::TokenizeConnectionString(text);
    const std::string masked = ado::MaskConnectionPasswords(text);
    CheckNoPasswordLeft(masked, 0);

    // Everything but the passwords is kept: the same keys, in the same order.
    ConnectionString before, after;
    if (Parses(text, before)) {
        if (!Parses(masked, after) || after.Items().size() != before.Items().size()) std::abort();
        for (size_t i = 0; i < before.Items().size(); ++i)
            if (after.Items()[i].key != before.Items()[i].key) std::abort();
        // A value written for ADO reads back as itself.
        for (const auto& item : before.Items()) {
            ConnectionString again;
            if (!Parses("K=" + ado::QuoteConnectionValue(item.value), again) ||
                again.Get("K") != item.value)
                std::abort();
        }
        try {
            (void)ado::MapConnectionString(text, "", "", 15, 30);
        } catch (const lumaro::RuntimeError&) {
        }
    }
    return 0;
}
