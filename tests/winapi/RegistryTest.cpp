#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "winapi/RegistryStore.h"
#include "winapi/windows.h"

using lumaro::test::ReadFile;
using lumaro::test::TempMachine;
using lumaro::test::WriteFile;
using namespace std::string_literals;

namespace {

HKEY Create(HKEY root, const char* path, REGSAM sam = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, &key, disposition),
              ERROR_SUCCESS)
        << path;
    return key;
}

LONG SetText(HKEY key, const char* name, const std::string& text, DWORD type = REG_SZ) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1));
}

// The value's type and bytes, or the error code as the type when it cannot be read.
std::pair<DWORD, std::string> Query(HKEY key, const char* name) {
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return {DWORD(rc) | 0x80000000u, ""};
    std::string data(size, '\0');
    rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &size);
    if (rc != ERROR_SUCCESS) return {DWORD(rc) | 0x80000000u, ""};
    return {type, data.substr(0, size)};
}

std::vector<std::string> SubKeys(HKEY key) {
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) names.push_back(name);
    return names;
}

std::vector<std::string> ValueNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    return names;
}

}  // namespace

TEST(Registry, CreateOpenQueryRoundTrip) {
    TempMachine machine;
    DWORD disposition = 0;
    HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Product", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    EXPECT_EQ(SetText(key, "Programs", "C:\\Programs"), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, nullptr, "default"), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    HKEY again = Create(HKEY_LOCAL_MACHINE, "software\\vendor\\PRODUCT", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    RegCloseKey(again);

    HKEY read = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\VENDOR\\product", 0, KEY_QUERY_VALUE, &read), ERROR_SUCCESS);
    EXPECT_EQ(Query(read, "programs"), std::make_pair(DWORD(REG_SZ), "C:\\Programs\0"s));
    EXPECT_EQ(Query(read, ""), std::make_pair(DWORD(REG_SZ), "default\0"s));
    EXPECT_EQ(Query(read, "missing").first, DWORD(ERROR_FILE_NOT_FOUND) | 0x80000000u);
    RegCloseKey(read);

    EXPECT_EQ(ReadFile(winapi::HiveFilePath(HKEY_LOCAL_MACHINE)),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product]\r\n"
              "\"Programs\"=\"C:\\\\Programs\"\r\n"
              "@=\"default\"\r\n\r\n");
}

TEST(Registry, ClassesRootIsTheMachineClassesKey) {
    TempMachine machine;
    HKEY key = Create(HKEY_CLASSES_ROOT, "My.ProgId\\Clsid");
    SetText(key, nullptr, "{00000000-0000-0000-0000-000000000001}");
    RegCloseKey(key);
    HKEY viaMachine = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\my.progid\\CLSID", 0, KEY_READ, &viaMachine),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(viaMachine, nullptr).second, "{00000000-0000-0000-0000-000000000001}\0"s);
    RegCloseKey(viaMachine);
}

TEST(Registry, SubkeysSortedValuesInCreationOrder) {
    TempMachine machine;
    HKEY key = Create(HKEY_CURRENT_USER, "Order");
    for (const char* name : {"zeta", "Alpha", "_under", "beta", "Mid"}) RegCloseKey(Create(key, name));
    for (const char* name : {"z", "A", "m"}) SetText(key, name, name);
    EXPECT_EQ(SubKeys(key), (std::vector<std::string>{"Alpha", "beta", "Mid", "zeta", "_under"}));
    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"z", "A", "m"}));
    SetText(key, "a", "again");  // an existing name keeps its place and spelling
    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"z", "A", "m"}));
    RegCloseKey(key);
}
