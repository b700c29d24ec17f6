#include <gtest/gtest.h>

#include "../LocalTestSupport.h"
#include "accpac/local/ui/ParameterString.h"

namespace accpac::local {
namespace {

using lumaro::test::Raises;
using Map = std::map<std::string, std::string>;

TEST(ParameterStringTest, ReadsKeysAndUnescapesValues) {
    const std::pair<std::string, Map> cases[] = {
        {"ITEMNO=A1-103/0\nLOCATION=WH1\nDOCTYPE=2\n",
         {{"ITEMNO", "A1-103/0"}, {"LOCATION", "WH1"}, {"DOCTYPE", "2"}}},
        {"ITEMNO=A\\eqB\n", {{"ITEMNO", "A=B"}}},
        {"ITEMNO=\\\\\\eq\n", {{"ITEMNO", "\\="}}},            // a backslash before an equals sign
        {"ITEMNO=one\\0two\r\n", {{"ITEMNO", "one\ntwo\r"}}},  // carriage returns are not escaped
        {"K\\eqEY=\n", {{"K=EY", ""}}},                        // escaped keys, empty values
        {"ITEMNO=  A1  \n", {{"ITEMNO", "  A1  "}}},           // blanks are kept
        {"", {}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseParameterString(text), expected) << text;
}

TEST(ParameterStringTest, MalformedTextRaisesWithTheLineAtFault) {
    const std::pair<std::string, std::string> cases[] = {
        {"ITEMNO=A1\nLOCATION\n", "line 2 has no \"=\""},
        {"ITEMNO=A1\nLOCATION=WH1", "does not end with a line feed"},
        {"ITEMNO=A\\qB\n", "line 1 holds a backslash"},
        {"ITEMNO=A\\\n", "line 1 holds a backslash"},
        {"ITEMNO=A=B\n", "more than one"},
        {"=A\n", "line 1 has no key"},
        {"ITEMNO=A\nITEMNO=B\n", "repeats the key ITEMNO"},
        {"\n", "line 1 has no \"=\""},
    };
    for (const auto& [text, fragment] : cases)
        EXPECT_TRUE(Raises([&] { ParseParameterString(text); }, 5, fragment)) << text;
}

}  // namespace
}  // namespace accpac::local
