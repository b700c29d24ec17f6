#include <gtest/gtest.h>

#include <string>

#include "support/RegTestUtil.h"
#include "support/TestSupport.h"
#include "winapi/ComText.h"
#include "winapi/windows.h"

using namespace lumaro::test;

// The needed size (with the NUL) is returned whether the buffer holds the result or not, and
// nothing is written past a buffer that is too small.
TEST(ExpandEnvironmentStringsA, ExpandsDefinedAndKeepsUndefinedVariables) {
    ScopedEnv a("LUMARO_T_A", "alpha"), b("LUMARO_T_B", ""), u("LUMARO_T_UNDEF", nullptr);
    struct Case {
        const char* source;
        std::string expected;
    } cases[] = {
        {"x%lumaro_t_a%y", "xalphay"},  // names ignore case
        {"[%LUMARO_T_B%]", "[]"},
        {"%LUMARO_T_UNDEF%\\x", "%LUMARO_T_UNDEF%\\x"},
        {"%LUMARO_T_UNDEF%LUMARO_T_A%",
         "%LUMARO_T_UNDEFalpha"},  // the closing % may open the next name
        {"%%", "%%"},
        {"%", "%"},
        {"<%LUMARO_T_A%%LUMARO_T_A%>", "<alphaalpha>"},
        {"", ""},
    };
    for (const Case& c : cases) {
        char buffer[64];
        const DWORD needed = DWORD(c.expected.size() + 1);
        EXPECT_EQ(ExpandEnvironmentStringsA(c.source, buffer, sizeof buffer), needed) << c.source;
        EXPECT_EQ(std::string(buffer), c.expected) << c.source;
        EXPECT_EQ(ExpandEnvironmentStringsA(c.source, nullptr, 0), needed) << c.source;
        std::fill(std::begin(buffer), std::end(buffer), '#');  // one byte short
        EXPECT_EQ(ExpandEnvironmentStringsA(c.source, buffer, needed - 1), needed) << c.source;
        EXPECT_EQ(buffer[needed - 1], '#') << c.source;
    }
}

TEST(Com, ClassIdTextAndProgIdLookup) {
    TempMachine machine;
    const std::string clsid = "{12345678-9ABC-DEF0-1234-56789ABCDEF0}";
    for (const auto& [path, text] :
         {std::pair<std::string, std::string>{"Vendor.Control.1\\Clsid", clsid},
          {"Vendor.Control\\CurVer", "Vendor.Control.1"},
          {"CLSID\\" + clsid + "\\ProgID", "Vendor.Control.1"},
          {"Broken.Control\\Clsid", "not a class id"}})
        ASSERT_EQ(StoreRegText(HKEY_CLASSES_ROOT, path, nullptr, text), ERROR_SUCCESS);

    const std::string none = "{00000000-0000-0000-0000-000000000000}";
    struct Case {
        const char* text;
        HRESULT hr;
        std::string clsid;
    } cases[] = {
        {"{12345678-9abc-def0-1234-56789abcdef0}", S_OK, clsid},
        {"Vendor.Control.1", S_OK, clsid},
        {"vendor.control", S_OK, clsid},  // through CurVer
        {"12345678-9abc-def0-1234-56789abcdef0", CO_E_CLASSSTRING, none},
        {"Not.Registered", CO_E_CLASSSTRING, none},
        {"Broken.Control", CO_E_CLASSSTRING, none},
    };
    for (const Case& c : cases) {
        CLSID id;
        std::u16string wide = winapi::Widen(c.text);
        EXPECT_EQ(CLSIDFromString(wide.c_str(), &id), c.hr) << c.text;
        EXPECT_EQ(winapi::ClsidToString(id), c.clsid) << c.text;
    }

    CLSID id;
    ASSERT_EQ(CLSIDFromString(winapi::Widen(clsid).c_str(), &id), S_OK);
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

    EXPECT_EQ(winapi::ClsidFromProgIdText("Vendor.Control.1") + "|" +
                  winapi::ClsidFromProgIdText("Not.Registered"),
              clsid + "|");
}

TEST(Com, TextConversionKeepsEveryByte) {
    for (std::string s :
         {std::string("plain"), std::string("M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80"),
          std::string("\xFF\xFE\xC3(\xED\xA0\x80 bad", 11)}) {
        EXPECT_EQ(winapi::Narrow(winapi::Widen(s)), s);
    }
    EXPECT_EQ(winapi::Widen("\xC3\xBC\xF0\x9F\x98\x80"), std::u16string(u"\u00FC\U0001F600"));
}
