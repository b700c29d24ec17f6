#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <tuple>
#include <vector>

#include "common/VersionInfo.h"
#include "platform/AccpacPaths.h"
#include "platform/cRegistry.h"
#include "support/RegTestUtil.h"
#include "support/TestSupport.h"

namespace lumaro {
namespace {

namespace fs = std::filesystem;
const char* const kConfiguration = "SOFTWARE\\ACCPAC International, Inc.\\ACCPAC\\Configuration";

void StoreText(const char* name, const std::string& text) {
    ASSERT_EQ(test::StoreRegText(HKEY_LOCAL_MACHINE, kConfiguration, name, text), ERROR_SUCCESS);
}

TEST(JoinPathTest, OneRule) {
    struct Case {
        const char* a;
        const char* b;
        const char* joined;
    } cases[] = {
        {"/x", "y", "/x/y"}, {"/x/", "/y", "/x//y"}, {"/x", "/y", "/x/y"},
        {"x", "", "x/"},     {"", "y", "y"},
    };
    for (const auto& c : cases) EXPECT_EQ(JoinPath(c.a, c.b), c.joined) << c.a << " + " << c.b;
}

TEST(AccpacPathsTest, Discovery) {
    struct Case {
        bool key;
        std::optional<std::string> programs;
        std::optional<std::string> shared;
        bool dll;
        bool installed;
    } cases[] = {
        {false, {}, {}, true, false},    // no key
        {true, "P", "S", true, true},    // complete
        {true, "P", "S", false, false},  // no a4wapi.dll
        {true, {}, "S", true, false},    // no Programs
        {true, "P", {}, true, true},     // no SharedData
    };
    for (const auto& c : cases) {
        test::TempMachine machine;
        test::RecordingMessageSink messages;
        const std::string root = machine.str();
        auto placed = [&](const std::optional<std::string>& v) { return root + "/" + *v; };
        if (c.key) test::CreateRegKey(HKEY_LOCAL_MACHINE, kConfiguration);
        if (c.programs) StoreText("Programs", placed(c.programs));
        if (c.shared) StoreText("SharedData", placed(c.shared));
        if (c.dll) {
            fs::create_directories(root + "/P/runtime");
            test::WriteFile(root + "/P/runtime/a4wapi.dll", "");
        }

        AccpacPaths paths;
        EXPECT_EQ(paths.Installed(), c.installed);
        EXPECT_TRUE(messages.messages.empty());
        const std::string shared = c.shared ? placed(c.shared) : "";
        std::vector<std::string> expected(6);
        if (c.key)
            expected = {c.programs ? placed(c.programs) : "",
                        shared,
                        c.programs ? root + "/P/runtime" : "runtime",
                        JoinPath(shared, "SITE"),
                        JoinPath(shared, "COMPANY"),
                        JoinPath(shared, "COMPANY") + "/Lumaro"};
        EXPECT_EQ(std::vector<std::string>({paths.ProgramsPath(), paths.SharedDataPath(),
                                            paths.RuntimePath(), paths.SitePath(),
                                            paths.CompanyPath(), paths.LogPath()}),
                  expected);
    }
}

TEST(AccpacPathsTest, ConstructionErrorIsShownAndAbsorbed) {
    test::TempMachine machine;
    test::RecordingMessageSink messages;
    StoreText("Programs", "/p");
    test::StoreRegValue(HKEY_LOCAL_MACHINE, kConfiguration, "SharedData", REG_SZ, "");  // no data
    AccpacPaths paths;
    EXPECT_FALSE(paths.Installed());
    EXPECT_EQ(paths.ProgramsPath(), "/p");  // set before the error
    EXPECT_EQ(paths.CompanyPath(), "");
    ASSERT_EQ(messages.messages.size(), 1u);
    const Message& box = messages.messages[0];
    EXPECT_EQ(std::tie(box.text, box.icon, box.buttons, box.title),
              std::tuple("A critical error occured in determining Accpac path information. "
                         "Error=Invalid procedure call or argument",
                         MsgIcon::Critical, MsgButtons::OK, ProductName()));
}

class AccpacPathsLogTest : public ::testing::Test {
protected:
    AccpacPathsLogTest() {
        StoreText("Programs", machine.str() + "/P");
        StoreText("SharedData", machine.str() + "/S");
        fs::create_directories(machine.str() + "/S/COMPANY");
    }
    static std::tm FirstOfMarch() {
        std::tm day{};
        std::tie(day.tm_year, day.tm_mon, day.tm_mday, day.tm_hour) = std::tuple(124, 2, 1, 9);
        return day;
    }
    test::TempMachine machine;
};

TEST_F(AccpacPathsLogTest, WriteLogAppendsLinesToTheDaysFile) {
    AccpacPaths paths;
    paths.SetLocalTimeSource(FirstOfMarch);
    paths.WriteLog(0, "first");
    EXPECT_TRUE(paths.LogExists().ToBool());
    const std::string file = paths.LogPath() + "/20240301.log";
    const std::string first = test::ReadFile(file);
    paths.WriteLog(1, "second");
    const std::string both = test::ReadFile(file);
    ASSERT_EQ(both.compare(0, first.size(), first), 0);  // nothing already there changes
    const std::string added = both.substr(first.size());
    EXPECT_TRUE(first.ends_with(" first\r\n") && added.ends_with("     second\r\n")) << both;
    EXPECT_EQ(added.find('\n'), added.size() - 1);
    EXPECT_NE(first.find("24"), std::string::npos) << "the line begins with the date: " << first;
}

TEST_F(AccpacPathsLogTest, WriteLogNeverFails) {
    fs::remove_all(machine.str() + "/S/COMPANY");
    AccpacPaths paths;
    EXPECT_NO_THROW(paths.WriteLog(0, "lost"));
    EXPECT_FALSE(fs::exists(paths.LogPath()));
    EXPECT_FALSE(paths.LogExists().ToBool());
}

}  // namespace
}  // namespace lumaro
