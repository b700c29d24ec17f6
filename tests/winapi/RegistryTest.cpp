#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "support/RegTestUtil.h"
#include "support/TestSupport.h"
#include "winapi/RegistryStore.h"
#include "winapi/windows.h"

using namespace lumaro::test;
using namespace std::string_literals;

namespace {

LONG TryCreate(HKEY root, const char* path, REGSAM sam, HKEY* key, DWORD* disposition = nullptr) {
    *key = nullptr;
    return RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, key,
                           disposition);
}

HKEY Create(HKEY root, const char* path, REGSAM sam = KEY_ALL_ACCESS,
            DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(TryCreate(root, path, sam, &key, disposition), ERROR_SUCCESS) << path;
    return key;
}

LONG SetText(HKEY key, const char* name, const std::string& text, DWORD type = REG_SZ) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                          DWORD(text.size() + 1));
}

// The names of the key's subkeys (or values), in the order enumeration gives them.
std::vector<std::string> Names(HKEY key, bool values = false) {
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0, size = sizeof name;; ++i, size = sizeof name) {
        if ((values ? RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr)
                    : RegEnumKeyA(key, i, name, size)) != ERROR_SUCCESS)
            return names;
        names.push_back(name);
    }
}

class Registry : public ::testing::Test {
protected:
    TempMachine machine;
};

}  // namespace

TEST_F(Registry, CreateOpenQueryRoundTripInWindowsOrder) {
    DWORD disposition = 0;
    HKEY key =
        Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Product", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    EXPECT_EQ(SetText(key, "Programs", "C:\\Programs"), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, nullptr, "default"), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    EXPECT_EQ(ReadFile(winapi::HiveFilePath(HKEY_LOCAL_MACHINE)),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product]\r\n"
              "\"Programs\"=\"C:\\\\Programs\"\r\n"
              "@=\"default\"\r\n\r\n");

    // Subkeys sorted, values in creation order.
    key = Create(HKEY_CURRENT_USER, "Order");
    for (const char* name : {"zeta", "Alpha", "_under", "beta", "Mid"})
        RegCloseKey(Create(key, name));
    for (const char* name : {"z", "A", "m"}) SetText(key, name, name);
    EXPECT_EQ(Names(key), (std::vector<std::string>{"Alpha", "beta", "Mid", "zeta", "_under"}));
    EXPECT_EQ(Names(key, true), (std::vector<std::string>{"z", "A", "m"}));
    SetText(key, "a", "again");  // an existing name keeps its place and spelling
    EXPECT_EQ(Names(key, true), (std::vector<std::string>{"z", "A", "m"}));
    RegCloseKey(key);
}

TEST_F(Registry, EveryValueTypeRoundTripsThroughTheHiveFile) {
    std::string bigBinary;
    for (int i = 0; i < 300; ++i) bigBinary.push_back(char(i));
    struct Case {
        const char* name;
        DWORD type;
        std::string data;
        std::string fileLine;  // how the value is written ("" = not checked)
    } cases[] = {
        {"big", REG_BINARY, bigBinary, ""},
        {"escapes", REG_SZ, "a \"quoted\" C:\\path\\\0"s,
         "\"escapes\"=\"a \\\"quoted\\\" C:\\\\path\\\\\""},
        {"utf8", REG_SZ, "M\xC3\xBCller \xE2\x82\xAC\0"s,
         "\"utf8\"=\"M\xC3\xBCller \xE2\x82\xAC\""},
        {"linebreak", REG_SZ, "one\r\ntwo\0"s,
         "\"linebreak\"=hex(1):6f,00,6e,00,65,00,0d,00,0a,00,74,00,77,00,6f,00,00,00"},
        {"nulOnly", REG_SZ, "\0"s, "\"nulOnly\"=\"\""},
        {"badUtf8", REG_SZ, "\xFF\xC3(\0"s, ""},
        {"expand", REG_EXPAND_SZ, "%TEMP%\\x\0"s,
         "\"expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,78,00,00,00"},
        {"binary", REG_BINARY, "\x01\x02\xFF"s, "\"binary\"=hex:01,02,ff"},
        {"emptyBinary", REG_BINARY, ""s, "\"emptyBinary\"=hex:"},
        {"dword", REG_DWORD, "\x04\x03\x02\x01"s, "\"dword\"=dword:01020304"},
        {"shortDword", REG_DWORD, "\x01\x02"s, "\"shortDword\"=hex(4):01,02"},
        {"multi", REG_MULTI_SZ, "a\0b\0\0"s, "\"multi\"=hex(7):61,00,00,00,62,00,00,00,00,00"},
        {"custom", 0x1234, "xyz"s, "\"custom\"=hex(1234):78,79,7a"},
        {"=odd \"name\"\\", REG_SZ, "v\0"s, "\"=odd \\\"name\\\"\\\\\"=\"v\""},
        {"", REG_SZ, "default\0"s, "@=\"default\""},
    };

    HKEY key = Create(HKEY_LOCAL_MACHINE, "Types");
    for (const Case& c : cases)
        ASSERT_EQ(
            RegSetValueExA(key, c.name, 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                           DWORD(c.data.size())),
            ERROR_SUCCESS)
            << c.name;
    RegCloseKey(key);
    const std::string file = ReadFile(winapi::HiveFilePath(HKEY_LOCAL_MACHINE));
    for (const Case& c : cases) {
        if (c.fileLine.empty()) continue;
        EXPECT_NE(file.find("\r\n" + c.fileLine + "\r\n"), std::string::npos) << c.fileLine;
    }
    // Long data goes on over lines of at most 80 columns, each next one indented.
    for (size_t pos = file.find("\\\r\n"); pos != std::string::npos;
         pos = file.find("\\\r\n", pos + 3)) {
        EXPECT_EQ(file.substr(pos + 3, 2), "  ");
        EXPECT_LE(pos - file.rfind('\n', pos), 80u);
    }

    // A second machine holding a copy of the file parses it afresh.
    TempMachine reader;
    WriteFile(reader.path() / "HKEY_LOCAL_MACHINE.reg", file);
    HKEY read = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Types", 0, KEY_READ, &read), ERROR_SUCCESS);
    for (const Case& c : cases)
        EXPECT_EQ(LoadRegValue(read, "", c.name), std::make_pair(c.type, c.data)) << c.name;
    RegCloseKey(read);
}

TEST_F(Registry, QueryBufferRules) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Buffers");
    SetText(key, "text", "abc");  // 4 bytes with the NUL
    RegSetValueExA(key, "empty", 0, REG_BINARY, nullptr, 0);
    struct Case {
        const char* name;
        bool withBuffer;
        DWORD size;
        LONG rc;
        DWORD sizeAfter;
        DWORD type;
    } cases[] = {
        {"text", false, 0, ERROR_SUCCESS, 4, REG_SZ},   // size query
        {"text", true, 3, ERROR_MORE_DATA, 4, REG_SZ},  // too small: still type and size
        {"text", true, 4, ERROR_SUCCESS, 4, REG_SZ},
        {"empty", true, 0, ERROR_SUCCESS, 0, REG_BINARY},  // exists, no data at all
        {"missing", true, 10, ERROR_FILE_NOT_FOUND, 0, 99},
    };
    for (const Case& c : cases) {
        BYTE buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        DWORD size = c.size, type = 99;
        LONG rc =
            RegQueryValueExA(key, c.name, nullptr, &type, c.withBuffer ? buffer : nullptr, &size);
        // Nothing is written past the data.
        const BYTE after = c.rc == ERROR_SUCCESS && c.withBuffer ? buffer[c.sizeAfter] : '#';
        EXPECT_EQ(std::make_tuple(rc, size, type, after),
                  std::make_tuple(c.rc, c.sizeAfter, c.type, BYTE('#')))
            << c.name << " " << c.size;
    }
    BYTE buffer[8];
    EXPECT_EQ(RegQueryValueExA(key, "text", nullptr, nullptr, buffer, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "text", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(Registry, EnumerationBufferRules) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Enum");
    RegCloseKey(Create(key, "Alpha"));
    SetText(key, "Name", "data");  // 5 bytes
    char name[16];
    EXPECT_EQ(RegEnumKeyA(key, 0, name, 5), ERROR_MORE_DATA);  // "Alpha" needs 6 with the NUL
    EXPECT_EQ(RegEnumKeyA(key, 0, name, 6), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Alpha");
    EXPECT_EQ(RegEnumKeyA(key, 1, name, 16), ERROR_NO_MORE_ITEMS);

    // As Windows: ERROR_MORE_DATA still reports type and data size; a name that does not fit
    // keeps its count (the data is copied when it fits); data that does not fit leaves the
    // name buffer and count alone.
    struct Case {
        DWORD nameSize;
        bool withData;
        DWORD dataSize;
        LONG rc;
        DWORD nameSizeAfter;
        const char* nameAfter;
        const char* dataAfter;
    } cases[] = {
        {4, true, 16, ERROR_MORE_DATA, 4, "#", "data"},
        {5, true, 4, ERROR_MORE_DATA, 5, "#", "#"},
        {5, true, 5, ERROR_SUCCESS, 4, "Name", "data"},
        {5, false, 0, ERROR_SUCCESS, 4, "Name", "#"},
    };
    for (const Case& c : cases) {
        DWORD nameSize = c.nameSize, dataSize = c.dataSize, type = 0;
        char data[16] = "#";
        std::strcpy(name, "#");
        LONG rc = RegEnumValueA(key, 0, name, &nameSize, nullptr, &type,
                                c.withData ? reinterpret_cast<BYTE*>(data) : nullptr, &dataSize);
        EXPECT_EQ(
            std::make_tuple(rc, nameSize, type, dataSize, std::string(name), std::string(data)),
            std::make_tuple(c.rc, c.nameSizeAfter, DWORD(REG_SZ), DWORD(5),
                            std::string(c.nameAfter), std::string(c.dataAfter)))
            << c.nameSize << "/" << c.dataSize;
    }
    DWORD size = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);

    DWORD subKeys = 9, maxSub = 9, values = 9, maxName = 9, maxData = 9, cls = 5;
    char className[5] = "xxxx";
    EXPECT_EQ(RegQueryInfoKeyA(key, className, &cls, nullptr, &subKeys, &maxSub, nullptr, &values,
                               &maxName, &maxData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::vector<DWORD>({subKeys, maxSub, values, maxName, maxData, cls}),
              std::vector<DWORD>({1, 5, 1, 4, 10, 0}));  // "data": 5 UTF-16 characters
    EXPECT_STREQ(className, "");
    RegCloseKey(key);
}

// Strings keep a terminating NUL, names compare with Unicode case folding and have
// Windows' length limit.
TEST_F(Registry, StringsAndNamesAsWindowsStoresThem) {
    // "FullStrin" stored by hand without its NUL; "Wide" holds a character outside ASCII.
    WriteFile(machine.path() / "HKEY_LOCAL_MACHINE.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\S]\r\n"
              "\"raw\"=hex(1):46,00,75,00,6c,00,6c,00,53,00,74,00,72,00,69,00,6e,00\r\n");
    HKEY key = Create(HKEY_LOCAL_MACHINE, "S");
    struct Set {
        const char* name;
        DWORD type;
        std::string data;
        std::string stored;
    } sets[] = {
        {"FullString", REG_SZ, "FullString", "FullString\0"s},
        {"empty", REG_EXPAND_SZ, "", ""},
        {"multi", REG_MULTI_SZ, "a\0b"s, "a\0b\0"s},
        {"bin", REG_BINARY, "ab", "ab"},
    };
    for (const Set& c : sets) {
        RegSetValueExA(key, c.name, 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                       DWORD(c.data.size()));
        EXPECT_EQ(LoadRegValue(key, "", c.name), std::make_pair(c.type, c.stored)) << c.name;
    }
    // A read adds the missing NUL when the buffer has room for it.
    for (DWORD room : {9u, 10u}) {
        char buffer[12];
        std::memset(buffer, '#', sizeof buffer);
        DWORD size = room;
        EXPECT_EQ(
            RegQueryValueExA(key, "raw", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_SUCCESS);
        EXPECT_EQ(std::string(buffer, 10), room == 10 ? "FullStrin\0"s : "FullStrin#"s);
        EXPECT_EQ(size, 9u);
    }

    DWORD disposition = 0;
    RegCloseKey(Create(key, "\xC3\x84rger"));  // Ärger
    RegCloseKey(Create(key, "\xC3\xA4RGER", KEY_ALL_ACCESS, &disposition));
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    SetText(key, "\xCE\xA3\xC3\x9C", "x");  // ΣÜ
    EXPECT_EQ(LoadRegValue(key, "", "\xCF\x83\xC3\xBC").first, DWORD(REG_SZ));

    const std::string longest(16383, 'n'), tooLong(16384, 'n');
    EXPECT_EQ(SetText(key, longest.c_str(), "x"), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, tooLong.c_str(), "x"), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(Registry, DeletionFollowsWindowsRules) {
    HKEY parent = Create(HKEY_LOCAL_MACHINE, "Del\\Parent");
    HKEY child = Create(parent, "Child");
    SetText(child, "v", "1");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Del\\Parent"),
              ERROR_ACCESS_DENIED);  // has a subkey
    EXPECT_EQ(RegDeleteKeyA(parent, "Nothing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(child, "absent"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(child, "V"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(parent, "CHILD"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(child, "v", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Del\\Parent"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Del\\Parent", 0, KEY_READ, &gone),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(gone, nullptr);
    RegCloseKey(child);
    RegCloseKey(parent);
}

TEST_F(Registry, HandlesAccessRightsAndArguments) {
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Rights\\Sub"));
    HKEY query = nullptr, enumerate = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\Rights", 0, KEY_QUERY_VALUE, &query),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Rights\\", 0, KEY_ENUMERATE_SUB_KEYS, &enumerate),
              ERROR_SUCCESS);
    char name[16];
    EXPECT_EQ(SetText(query, "x", "1"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegEnumKeyA(query, 0, name, sizeof name), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegEnumKeyA(enumerate, 0, name, sizeof name), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(enumerate, "x", nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(query), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(query), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(query, "x", nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_HANDLE);
    RegCloseKey(enumerate);

    HKEY key = nullptr;
    EXPECT_EQ(TryCreate(HKEY_LOCAL_MACHINE, "\\Lead", KEY_WRITE, &key), ERROR_BAD_PATHNAME);
    EXPECT_EQ(TryCreate(HKEY_LOCAL_MACHINE, "a\\\\b", KEY_WRITE, &key), ERROR_BAD_PATHNAME);

    HKEY remote = reinterpret_cast<HKEY>(uintptr_t(1));
    EXPECT_EQ(RegConnectRegistryA("\\\\OTHERBOX", HKEY_LOCAL_MACHINE, &remote), ERROR_BAD_NETPATH);
    EXPECT_EQ(remote, nullptr);
    EXPECT_EQ(RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &remote), ERROR_SUCCESS);
    EXPECT_EQ(remote, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(RegCloseKey(remote), ERROR_SUCCESS);
}

TEST_F(Registry, ReadOnlyHiveRefusesEveryChangeAndStaysUntouched) {
    HKEY early = Create(HKEY_LOCAL_MACHINE, "Software\\Classes\\Existing");
    SetText(early, "v", "1");
    const std::string hive = winapi::HiveFilePath(HKEY_CLASSES_ROOT);
    const std::string before = ReadFile(hive);
    std::filesystem::permissions(hive, std::filesystem::perms::owner_read);

    HKEY key = nullptr;
    DWORD disposition = 0;
    EXPECT_EQ(
        (std::vector<LONG>{TryCreate(HKEY_LOCAL_MACHINE, "Software\\Classes\\New", KEY_WRITE, &key),
                           TryCreate(HKEY_CLASSES_ROOT, "Existing", KEY_WRITE, &key),
                           RegOpenKeyExA(HKEY_CLASSES_ROOT, "Existing", 0, KEY_ALL_ACCESS, &key),
                           SetText(early, "v", "2"), RegDeleteValueA(early, "v"),
                           RegDeleteKeyA(HKEY_CLASSES_ROOT, "Existing")}),
        std::vector<LONG>(6, ERROR_ACCESS_DENIED));
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "NotThere"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadFile(hive), before);

    // Reading is still allowed.
    ASSERT_EQ(TryCreate(HKEY_CLASSES_ROOT, "Existing", KEY_READ, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(LoadRegValue(key, "", "v").second, "1\0"s);
    RegCloseKey(key);
    RegCloseKey(early);
}

TEST_F(Registry, ChangesByOtherWritersAreSeen) {
    const std::string hive = (machine.path() / "HKEY_CURRENT_USER.reg").string();
    const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]";
    WriteFile(hive, head + "\r\n\"v\"=\"one\"\r\n");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "K", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(LoadRegValue(key, "", "v").second, "one\0"s);
    // Rewritten in place, same size, within the same file-time tick.
    WriteFile(hive, head + "\r\n\"v\"=\"two\"\r\n");
    EXPECT_EQ(LoadRegValue(key, "", "v").second, "two\0"s);
    RegCloseKey(key);
}

// Hive files written by hand read as the import reads them: hex data continued over lines,
// blanks after "dword:", a key header ending in "\", a key listed twice, a header of another
// root kept as a line. Keys a write does not touch keep their lines byte for byte. A machine
// hive that still holds Software\Classes gives it to the classes file on first use.
TEST_F(Registry, HandWrittenHiveReadsAsAnImportWould) {
    const auto hklm = machine.path() / "HKEY_LOCAL_MACHINE.reg";
    const std::string below =
        "[HKEY_LOCAL_MACHINE\\Software\\V\\Hand\\]\r\n\"bin\"=hex:01,02,\\\r\n  03,\\\r\n  04\r\n"
        "\"num\"=dword: 2a\r\n; kept\r\n[HKEY_CURRENT_USER\\Stray]\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\V\\Hand]\r\n\"x\"=dword:1\r\n"
        "[hkey_local_machine\\software\\v\\Untouched]\n\"x\"=dword: 1\n";
    WriteFile(hklm,
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\Old\\CLSID]\r\n"
              "@=\"{1}\"\r\n\r\n" +
                  below);
    EXPECT_EQ(LoadRegText(HKEY_CLASSES_ROOT, "Old\\CLSID", ""), "{1}");
    EXPECT_EQ(ReadFile(hklm).find("Classes"), std::string::npos);
    EXPECT_NE(ReadFile(machine.path() / "HKEY_CLASSES_ROOT.reg")
                  .find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\Old\\CLSID]\r\n@=\"{1}\""),
              std::string::npos);
    ASSERT_EQ(StoreRegText(HKEY_LOCAL_MACHINE, "Software\\V", "w", "4"), ERROR_SUCCESS);
    EXPECT_NE(ReadFile(hklm).find(below), std::string::npos) << ReadFile(hklm);

    HKEY software = Create(HKEY_LOCAL_MACHINE, "Software"), v = Create(software, "V");
    HKEY hand = Create(v, "Hand");
    EXPECT_EQ(Names(software), (std::vector<std::string>{"Classes", "V"}));
    EXPECT_EQ(Names(v), (std::vector<std::string>{"Hand", "Untouched"}));
    EXPECT_EQ(RegDeleteKeyA(software, "Classes"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LoadRegValue(hand, "", "bin"),
              std::make_pair(DWORD(REG_BINARY), "\x01\x02\x03\x04"s));
    EXPECT_EQ(LoadRegValue(hand, "", "x"), std::make_pair(DWORD(REG_DWORD), "\x01\0\0\0"s));
    SetText(hand, "new", "x");
    const std::string file = ReadFile(hklm);
    for (const char* kept : {"; kept\r\n[HKEY_CURRENT_USER\\Stray]\r\n",
                             "\\V\\Untouched]\r\n\"x\"=dword: 1\n", "\"new\"=\"x\""})
        EXPECT_NE(file.find(kept), std::string::npos) << file;
    for (HKEY key : {hand, v, software}) RegCloseKey(key);
}

// A batch writes each hive once, keeps what another writer changed meanwhile, and changes no
// hive when one of them cannot be written.
TEST_F(Registry, BatchWritesEachHiveOnceAndAllOrNothing) {
    const auto hklm = machine.path() / "HKEY_LOCAL_MACHINE.reg";
    const auto hkcu = machine.path() / "HKEY_CURRENT_USER.reg";
    ASSERT_EQ(StoreRegText(HKEY_CURRENT_USER, "B", "old", "1"), ERROR_SUCCESS);
    const unsigned long writes = winapi::RegistryBatch::WriteCount();
    {
        winapi::RegistryBatch batch;
        for (int i = 0; i < 50; ++i)
            StoreRegText(HKEY_LOCAL_MACHINE, "B\\K" + std::to_string(i), "v", "x");
        EXPECT_EQ(LoadRegText(HKEY_LOCAL_MACHINE, "B\\K7", "v"), "x");  // seen before the write
        EXPECT_EQ(ReadFile(hklm), "");
        // Another process changes the hive meanwhile.
        WriteFile(hkcu, ReadFile(hkcu) + "\"other\"=\"2\"\r\n");
        StoreRegText(HKEY_CURRENT_USER, "B", "mine", "3");
    }
    EXPECT_EQ(winapi::RegistryBatch::WriteCount() - writes, 2u);
    EXPECT_EQ(LoadRegText(HKEY_LOCAL_MACHINE, "B\\K49", "v"), "x");
    EXPECT_EQ(LoadRegText(HKEY_CURRENT_USER, "B", "other"), "2");
    EXPECT_EQ(LoadRegText(HKEY_CURRENT_USER, "B", "mine"), "3");

    const std::string before = ReadFile(hklm);
    {
        winapi::RegistryBatch batch;
        StoreRegText(HKEY_LOCAL_MACHINE, "B", "lost", "1");
        StoreRegText(HKEY_CURRENT_USER, "B", "lost", "1");
        std::filesystem::permissions(hkcu, std::filesystem::perms::owner_read);
        EXPECT_EQ(batch.Commit(), ERROR_ACCESS_DENIED);
    }
    std::filesystem::permissions(hkcu, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadFile(hklm), before);
    EXPECT_EQ(LoadRegText(HKEY_CURRENT_USER, "B", "lost"), "<error 2>");
}
