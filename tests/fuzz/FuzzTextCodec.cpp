// The stored form of the connection string: DecodeText never fails on any text, decoding
// what EncodeText made gives back any text that has Windows-1252 codes, and other text
// comes back with "?" for each character that has none, once and for all.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/Windows1252.h"
#include "settings/modSecurity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)lumaro::DecodeText(text);
    const std::string back = lumaro::DecodeText(lumaro::EncodeText(text));
    std::string codes;
    if (lumaro::Windows1252FromUtf8(text, codes)
            ? back != text
            : lumaro::DecodeText(lumaro::EncodeText(back)) != back)
        std::abort();
    return 0;
}
