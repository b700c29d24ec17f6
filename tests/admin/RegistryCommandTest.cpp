// lumaro-admin registry: values of every type through set and query; export then import
// into an empty machine folder gives back the same hives.

#include <QJsonArray>

#include "AdminTestSupport.h"

namespace lumaro::test {
namespace {

class RegistryCommandTest : public AdminDemo {
protected:
    // `registry set` of one value; its exit code.
    int Set(const std::string& key, const std::string& value, const std::string& data,
            const std::string& type = "REG_SZ") {
        return RunAdmin({"registry", "set", key, "--value", value, "--type", type, "--data", data})
            .code;
    }
};

TEST_F(RegistryCommandTest, SetThenQueryEveryType) {
    const std::string key = "HKCU\\Software\\Lumaro Test\\Types";
    struct Case {
        std::string name, type, data, shown;
    } cases[] = {
        {"Text", "REG_SZ", "C:\\Path \"quoted\" ü=;", "C:\\Path \"quoted\" ü=;"},
        {"", "REG_SZ", "default", "default"},
        {"Multi", "REG_MULTI_SZ", "a\\0b\\0Ωc", "a\\0b\\0Ωc"},
        {"Number", "REG_DWORD", "42", "0x2a"},
        {"Hex", "reg_dword", "0xffffffff", "0xffffffff"},
        {"Big", "REG_QWORD", "0x100000000", "0x100000000"},
        {"Bytes", "REG_BINARY", "00ff10", "00FF10"},
    };
    for (const Case& c : cases) {
        auto with = [&](std::vector<std::string> args) {
            if (c.name.empty())
                args.push_back("--default");
            else
                args.insert(args.end(), {"--value", c.name});
            return args;
        };
        AdminRun set = RunAdmin(with({"registry", "set", key, "--type", c.type, "--data", c.data}));
        ASSERT_EQ(set.code, 0) << Describe(set);
        AdminRun query = RunAdmin(with({"registry", "query", key, "--json"}));
        ASSERT_EQ(query.code, 0) << Describe(query);
        EXPECT_EQ(query.Json()["data"].toString().toStdString(), c.shown);
    }
    // A recursive query is ImportDeletesWhatTheFileMarksWithAMinus's; a missing key's message
    // BadInputTest's.
    EXPECT_EQ(RunAdmin({"registry", "delete", key, "--value", "text"}).code, 0);
    EXPECT_EQ(RunAdmin({"registry", "query", key, "--value", "Text"}).code, 1);
    EXPECT_EQ(RunAdmin({"registry", "delete", "HKCU\\Software\\Lumaro Test"}).code, 0);
    EXPECT_EQ(RunAdmin({"registry", "query", key}).code, 1);
}

TEST_F(RegistryCommandTest, ExportThenImportIntoAnEmptyMachineReproducesTheHives) {
    // Values the demo does not have: every type, a long binary that wraps, odd names.
    const std::string key = "HKLM\\Software\\Lumaro Test\\Sub\\Deeper";
    ASSERT_EQ(Set(key, "Multi", "x\\0y", "REG_MULTI_SZ"), 0);
    ASSERT_EQ(Set(key, "Long", std::string(200, 'a'), "REG_BINARY"), 0);
    ASSERT_EQ(RunAdmin({"registry", "set", key, "--value", "Line\"s\\", "--data", "é"}).code, 0);
    ASSERT_EQ(RunAdmin({"registry", "set", "HKLM\\Software\\Lumaro Test\\Empty"}).code, 0);

    TempDir files;
    TempDir empty;
    for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"}) {
        const std::string file = (files.path() / (std::string(root) + ".reg")).string();
        AdminRun exported = RunAdmin({"registry", "export", root, file});
        ASSERT_EQ(exported.code, 0) << Describe(exported);
        AdminRun imported = RunAdmin({"--machine", empty.str(), "registry", "import", file});
        ASSERT_EQ(imported.code, 0) << Describe(imported);
        const std::string original = ReadFile(Machine() / (std::string(root) + ".reg"));
        EXPECT_FALSE(original.empty());
        EXPECT_EQ(ReadFile(empty.path() / (std::string(root) + ".reg")), original);
    }
    // A registry editor's UTF-16 export of the same reads the same.
    const std::string utf8 = ReadFile(files.path() / "HKEY_CURRENT_USER.reg");
    std::string utf16 = "\xFF\xFE";
    for (char16_t ch : QString::fromStdString(utf8).toStdU16String())
        utf16 += {char(ch & 0xFF), char(ch >> 8)};
    TempDir again;
    AdminRun imported = RunAdmin({"--machine", again.str(), "registry", "import", "-"}, utf16);
    ASSERT_EQ(imported.code, 0) << Describe(imported);
    EXPECT_EQ(ReadFile(again.path() / "HKEY_CURRENT_USER.reg"),
              ReadFile(Machine() / "HKEY_CURRENT_USER.reg"));
}

TEST_F(RegistryCommandTest, ImportDeletesWhatTheFileMarksWithAMinus) {
    const std::string base = "HKCU\\Software\\Lumaro Delete";
    ASSERT_EQ(Set(base + "\\Keep", "a", "1"), 0);
    ASSERT_EQ(Set(base + "\\Keep", "c", "3"), 0);
    ASSERT_EQ(Set(base + "\\Gone\\Deeper", "b", "2"), 0);
    const std::string file =
        "REGEDIT4\n"
        "[-HKEY_CURRENT_USER\\Software\\Lumaro Delete\\Gone]\n"
        "; a comment\n"
        "[HKEY_CURRENT_USER\\Software\\Lumaro Delete\\Keep]\n"
        "\"a\"=-\n"
        "\"new\"=hex:01,02,\\\n"
        "  03\n"
        "[-HKEY_CURRENT_USER\\Software\\Lumaro Delete\\Never There]\n";
    AdminRun imported = RunAdmin({"registry", "import", "-"}, file);
    ASSERT_EQ(imported.code, 0) << Describe(imported);

    AdminRun query = RunAdmin({"registry", "query", base, "--recursive", "--json"});
    ASSERT_EQ(query.code, 0) << Describe(query);
    std::vector<std::string> left;  // key, value name and data of what is there now
    for (const QJsonValue& k : query.Json()["subkeys"].toArray())
        for (const QJsonValue& v : k["values"].toArray())
            left.push_back((k["key"].toString().section('\\', -1) + " " + v["name"].toString() +
                            "=" + v["data"].toString())
                               .toStdString());
    EXPECT_EQ(left, (std::vector<std::string>{"Keep c=3", "Keep new=010203"})) << query.out;
}

}  // namespace
}  // namespace lumaro::test
