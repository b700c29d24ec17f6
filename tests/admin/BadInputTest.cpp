// Bad input to lumaro-admin: a clear message, the right exit code, and nothing changed in
// the machine folder.

#include <functional>

#include "AdminTestSupport.h"

namespace lumaro::test {
namespace {

class BadInputTest : public AdminDemo {};

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kGoodKey = "[HKEY_CURRENT_USER\\Software\\Imported]\r\n\"a\"=\"1\"\r\n";

TEST_F(BadInputTest, ClearMessageNonZeroExitNothingChanged) {
    TempDir files;
    const std::filesystem::path importFile = files.path() / "in.reg";
    const std::filesystem::path exportFile = files.path() / "out.reg";
    WriteFile(exportFile, "keep me");
    const std::filesystem::path hklm = Machine() / "HKEY_LOCAL_MACHINE.reg";
    const auto readOnly = std::filesystem::perms::owner_read | std::filesystem::perms::group_read;
    const auto readWrite = readOnly | std::filesystem::perms::owner_write;
    auto setSaminc = [](const std::string& connection) {
        return [connection] {
            AdminRun r = RunAdmin({"settings", "set", "--company", "SAMINC", "--connection",
                                   connection, "--location", "WH1", "--query",
                                   "SELECT 1 AS QTONHAND WHERE '%s'='%s'", "--no-test"});
            ASSERT_EQ(r.code, 0) << Describe(r);
        };
    };
    auto importing = [&](const std::string& content) {
        return [&, content] { WriteFile(importFile, content); };
    };

    const std::string demoConnection = "Provider=SQLite;Data Source=" + DemoDatabase().string();
    std::string deepKey;  // 511 levels: one too many under HKEY_CLASSES_ROOT
    for (int i = 0; i < 511; ++i) deepKey += "\\k";
    const std::string import = "registry import " + importFile.string();
    struct Case {
        std::string args;  // split at spaces; ~ stands for a space inside an argument
        int code;
        std::string message;
        std::function<void()> prepare = [] {};
        std::function<void()> restore = [] {};
    } cases[] = {
        {"frobnicate", 2, "unknown command \"frobnicate\""},
        {"settings", 2, "settings what?"},
        {"settings frob", 2, "unknown action \"frob\""},
        {"settings show --bogus", 2, "unknown option --bogus"},
        {"settings set --company NOPE --location X", 1, "Unknown company \"NOPE\""},
        {"settings set --company TEST --location", 2, "--location needs a value"},
        {"settings set --location X", 2, "--company ID is required"},
        {"settings set --company TEST", 2, "nothing to set"},
        {"settings set --company TEST --location X --location Y", 2, "given twice"},
        {"settings set --company TEST --drilldown maybe", 2, "true or false"},
        {"settings set --company TEST --location a\nb", 2, "line break"},
        {"settings set --company TEST --query Q\u4E2D", 2, "\u201C\u4E2D\u201D (U+4E2D)"},
        {"settings set --company TEST --location L --connection " + std::string(2000, 'x'), 2,
         "too long"},
        {"settings test --company SAMINC", 1, "have not been set", setSaminc("")},
        // set tests what it would store as the settings dialog does (whose tests hold each
        // message), with the stored values for the keys not given.
        {"settings set --company SAMINC --connection Provider=SQLite;Data~Source=/nonexistent/x.db",
         1, "Nothing was written"},
        {"settings set --company SAMINC --location ", 1, "Location cannot be blank.",
         setSaminc(demoConnection)},
        {"settings set --company TEST --location Z", 1, "is read-only",
         [&] { std::filesystem::permissions(IniFile(), readOnly); },
         [&] { std::filesystem::permissions(IniFile(), readWrite); }},
        {"registry set HKLM\\Software\\X --value a --data b", 1, "Access is denied",
         [&] { std::filesystem::permissions(hklm, readOnly); },
         [&] { std::filesystem::permissions(hklm, readWrite); }},
        {import, 1, "nothing was imported",
         [&] {
             WriteFile(importFile,
                       kHeader + kGoodKey + "[HKEY_LOCAL_MACHINE\\Software\\Imported]\r\n");
             std::filesystem::permissions(hklm, readOnly);
         },
         [&] { std::filesystem::permissions(hklm, readWrite); }},
        // The value texts' own errors are RegTextTest's; these name the line of the first error.
        {import, 1, "line 1: not a registry file", importing("REGEDIT5\r\n" + kGoodKey)},
        {import, 1, "line 5: a key name in brackets must end",
         importing(kHeader + kGoodKey + "[HKEY_CURRENT_USER\\Software\\B\r\n")},
        {import, 1, "line 3: a value before the first key",
         importing(kHeader + "\"v\"=\"1\"\r\n" + kGoodKey)},
        {import, 1, "line 5: the key must begin with HKEY_",
         importing(kHeader + kGoodKey + "[HKLM\\Software\\B]\r\n")},
        {import, 1, "line 6: a string in hex form",
         importing(kHeader + kGoodKey + "; comment\r\n\"s\"=hex(2):41,00,42\r\n")},
        {import, 1, "line 5: the value goes on past the end",
         importing(kHeader + kGoodKey + "\"b\"=hex:01,02,\\\r\n")},
        // What the registry would refuse is found before anything is written.
        {import, 1, "line 5: the value name holds a line break",
         importing(kHeader + kGoodKey + "\"a\rb\"=\"1\"\r\n")},
        {import, 1, "line 5: the key name has an empty part or is too deep",
         importing(kHeader + kGoodKey + "[HKEY_CLASSES_ROOT" + deepKey + "]\r\n")},
        {"registry import " + (files.path() / "missing.reg").string(), 1,
         "missing.reg does not exist"},
        {"registry import " + files.path().string(), 1, "is a folder"},
        {"--machine " + (files.path() / "none").string() + " registry query HKLM", 1,
         "none does not exist"},
        {"--machine " + files.path().string() + " install company NEW --name N", 1,
         "give --create"},
        {"registry query BOGUS\\Software", 2, "is not a key"},
        {"registry query HKLM\\Software\\Nope", 1, "unable to find"},
        {"registry set HKLM\\Software\\X --value n --type REG_DWORD --data -1", 2, "A DWORD is"},
        {"registry set HKLM\\Software\\X --value n --type REG_WHAT", 2, "unknown type"},
        {"registry delete HKLM", 1, "root key"},
        {"registry export HKLM " + exportFile.string(), 1, "give --force"},
        {"install company TEST --name Again", 1, ""},
        {"install demo", 1, "--force"},
        {"install nothing", 2, "unknown kind \"nothing\""},
    };
    for (Case& c : cases) {
        std::vector<std::string> args;
        for (const QString& a : QString::fromStdString(c.args).split(' '))
            args.push_back(QString(a).replace('~', ' ').toStdString());
        c.prepare();
        const auto machineBefore = Snapshot(Machine());
        const auto filesBefore = Snapshot(files.path());
        AdminRun run = RunAdmin(args);
        c.restore();
        EXPECT_EQ(run.code, c.code) << Describe(run);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << Describe(run);
        EXPECT_NE(run.err.find("lumaro-admin"), std::string::npos) << Describe(run);
        EXPECT_TRUE(run.out.empty()) << Describe(run);
        EXPECT_EQ(Snapshot(Machine()), machineBefore);
        EXPECT_EQ(Snapshot(files.path()), filesBefore);
    }
}

TEST_F(BadInputTest, EveryCommandHasHelp) {
    for (const char* command : {"settings", "registry", "install", "class"}) {
        AdminRun run = RunAdmin({command, "--help"});
        EXPECT_EQ(run.code, 0) << command;
        EXPECT_EQ(run.out.rfind("Usage:\n  lumaro-admin ", 0), 0u) << run.out;
    }
    AdminRun none = RunAdmin({});
    EXPECT_EQ(none.code, 2);
    EXPECT_NE(none.err.find("Usage:"), std::string::npos);
}

}  // namespace
}  // namespace lumaro::test
