// The stored form of the connection string: DecodeText never fails on any text, and
// decoding what EncodeText made gives back the text.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/modSecurity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)lumaro::DecodeText(text);
    if (lumaro::DecodeText(lumaro::EncodeText(text)) != text) std::abort();
    return 0;
}
