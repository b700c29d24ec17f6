#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/TestSupport.h"
#include "winapi/ComText.h"
#include "winapi/windows.h"

using lumaro::test::TempMachine;

namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old, had_ = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_.c_str(), previous_.c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_, previous_;
    bool had_ = false;
};

void Register(const std::string& path, const std::string& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   DWORD(text.size() + 1));
    RegCloseKey(key);
}

}  // namespace

TEST(ExpandEnvironmentStringsA, ExpandsDefinedAndKeepsUndefinedVariables) {
    ScopedEnv a("LUMARO_T_A", "alpha"), b("LUMARO_T_B", ""), u("LUMARO_T_UNDEF", nullptr);
    struct Case {
        const char* source;
        std::string expected;
    } cases[] = {
        {"plain", "plain"},
        {"%LUMARO_T_A%", "alpha"},
        {"x%lumaro_t_a%y", "xalphay"},  // names ignore case
        {"[%LUMARO_T_B%]", "[]"},
        {"%LUMARO_T_UNDEF%\\x", "%LUMARO_T_UNDEF%\\x"},
        {"%LUMARO_T_UNDEF%LUMARO_T_A%",
         "%LUMARO_T_UNDEFalpha"},  // the closing % may open the next name
        {"50% off", "50% off"},
        {"%%", "%%"},
        {"%", "%"},
        {"%LUMARO_T_A%%LUMARO_T_A%", "alphaalpha"},
        {"", ""},
    };
    for (const Case& c : cases) {
        char buffer[64];
        DWORD needed = ExpandEnvironmentStringsA(c.source, buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer), c.expected) << c.source;
        EXPECT_EQ(needed, c.expected.size() + 1) << c.source;
    }
}

TEST(ExpandEnvironmentStringsA, ReportsTheNeededSizeWhenTheBufferIsTooSmall) {
    ScopedEnv a("LUMARO_T_A", "alpha");
    EXPECT_EQ(ExpandEnvironmentStringsA("<%LUMARO_T_A%>", nullptr, 0),
              8u);  // "<alpha>" and the NUL
    for (DWORD size : {1u, 4u, 7u, 8u}) {
        char buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), '#');
        EXPECT_EQ(ExpandEnvironmentStringsA("<%LUMARO_T_A%>", buffer, size), 8u) << size;
        EXPECT_EQ(buffer[size], '#') << "wrote past the buffer at size " << size;
    }
}

TEST(Com, ClassIdTextAndProgIdLookup) {
    TempMachine machine;
    const std::string clsid = "{12345678-9ABC-DEF0-1234-56789ABCDEF0}";
    Register("Vendor.Control.1\\Clsid", clsid);
    Register("Vendor.Control\\CurVer", "Vendor.Control.1");
    Register("CLSID\\" + clsid + "\\ProgID", "Vendor.Control.1");
    Register("Broken.Control\\Clsid", "not a class id");

    struct Case {
        const char* text;
        HRESULT hr;
        std::string clsid;
    } cases[] = {
        {"{12345678-9abc-def0-1234-56789abcdef0}", S_OK, clsid},
        {"Vendor.Control.1", S_OK, clsid},
        {"vendor.control", S_OK, clsid},  // through CurVer
        {"{12345678-9abc-def0-1234-56789abcdef}", CO_E_CLASSSTRING,
         "{00000000-0000-0000-0000-000000000000}"},
        {"12345678-9abc-def0-1234-56789abcdef0", CO_E_CLASSSTRING,
         "{00000000-0000-0000-0000-000000000000}"},
        {"Not.Registered", CO_E_CLASSSTRING, "{00000000-0000-0000-0000-000000000000}"},
        {"Broken.Control", CO_E_CLASSSTRING, "{00000000-0000-0000-0000-000000000000}"},
    };
    for (const Case& c : cases) {
        CLSID id;
        std::u16string wide = winapi::Widen(c.text);
        EXPECT_EQ(CLSIDFromString(wide.c_str(), &id), c.hr) << c.text;
        EXPECT_EQ(winapi::ClsidToString(id), c.clsid) << c.text;
    }

    CLSID id;
    ASSERT_EQ(CLSIDFromString(winapi::Widen(clsid).c_str(), &id), S_OK);
    EXPECT_EQ(id.Data1, 0x12345678u);
    EXPECT_EQ(id.Data4[7], 0xF0);
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(id, &progId), S_OK);
    EXPECT_EQ(winapi::Narrow(progId), "Vendor.Control.1");
    CoTaskMemFree(progId);
    id.Data1 = 1;
    EXPECT_EQ(ProgIDFromCLSID(id, &progId), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(progId, nullptr);

    WCHAR text[39];
    EXPECT_EQ(StringFromGUID2(id, text, 38), 0);
    EXPECT_EQ(StringFromGUID2(id, text, 39), 39);
    EXPECT_EQ(winapi::Narrow(text), "{00000001-9ABC-DEF0-1234-56789ABCDEF0}");

    EXPECT_EQ(winapi::ClsidFromProgIdText("Vendor.Control.1"), clsid);
    EXPECT_EQ(winapi::ClsidFromProgIdText("Not.Registered"), "");
}

TEST(Com, TextConversionKeepsEveryByte) {
    for (std::string s :
         {std::string("plain"), std::string("M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80"),
          std::string("\xFF\xFE\xC3(\xED\xA0\x80 bad", 11)}) {
        EXPECT_EQ(winapi::Narrow(winapi::Widen(s)), s);
    }
    EXPECT_EQ(winapi::Widen("\xC3\xBC\xF0\x9F\x98\x80"), std::u16string(u"\u00FC\U0001F600"));
}
