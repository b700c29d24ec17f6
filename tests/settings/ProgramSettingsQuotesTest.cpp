// Locations and queries that the INI reader would change on the way back.

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"
#include "common/TextUtil.h"
#include "settings/ProgramSettings.h"

namespace lumaro {
namespace {

TEST(ProgramSettingsQuotesTest, ValuesEnclosedInQuotesReadBackAsWritten) {
    test::PlatformMachine machine;
    test::FakeSession session("SAMLTD", "SYSOP");
    ProgramSettings settings(session, machine.paths());
    ASSERT_TRUE(settings.CreateINIFile());
    for (const std::string value : {"'WH1'", "\"WH1\"", "  'WH1'  ", "\t'WH1'", " 'WH1'\t ", "'",
                                    "\"a\" AND \"b\"", "'x\"", "WH1"}) {
        settings.SetLocation(value);
        settings.SetQuery(value);
        EXPECT_EQ(settings.Location(), TrimSpaces(value)) << value;
        EXPECT_EQ(settings.Query(), TrimSpaces(value)) << value;
    }
}

}  // namespace
}  // namespace lumaro
