#include <gtest/gtest.h>

#include "accpac/local/ui/ParameterString.h"
#include "support/TestSupport.h"

namespace accpac::local {
namespace {

using Map = std::map<std::string, std::string>;

TEST(ParameterStringTest, ReadsKeysAndUnescapesValues) {
    struct Case {
        std::string text;
        Map expected;
    } cases[] = {
        {"ITEMNO=A1-103/0\nLOCATION=WH1\nDOCTYPE=2\n",
         {{"ITEMNO", "A1-103/0"}, {"LOCATION", "WH1"}, {"DOCTYPE", "2"}}},
        {"ITEMNO=A\\eqB\n", {{"ITEMNO", "A=B"}}},
        {"ITEMNO=\\\\\\eq\n", {{"ITEMNO", "\\="}}},            // a backslash before an equals sign
        {"ITEMNO=one\\0two\r\n", {{"ITEMNO", "one\ntwo\r"}}},  // carriage returns are not escaped
        {"K\\eqEY=\n", {{"K=EY", ""}}},                        // escaped keys, empty values
        {"ITEMNO=  A1  \n", {{"ITEMNO", "  A1  "}}},           // blanks are kept
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseParameterString(c.text), c.expected) << c.text;
}

TEST(ParameterStringTest, MalformedTextRaisesWithTheLineAtFault) {
    struct Case {
        std::string text;
        std::string fragment;
    } cases[] = {
        {"ITEMNO=A1\nLOCATION\n", "line 2 has no \"=\""},
        {"ITEMNO=A1\nLOCATION=WH1", "does not end with a line feed"},
        {"ITEMNO=A\\qB\n", "line 1 holds a backslash"},
        {"ITEMNO=A\\\n", "line 1 holds a backslash"},
        {"ITEMNO=A=B\n", "more than one"},
        {"=A\n", "line 1 has no key"},
        {"ITEMNO=A\nITEMNO=B\n", "repeats the key ITEMNO"},
        {"\n", "line 1 has no \"=\""},
    };
    for (const Case& c : cases) {
        const lumaro::RuntimeError e =
            lumaro::test::RaisedBy([&] { ParseParameterString(c.text); });
        EXPECT_EQ(e.Number(), 5) << c.text;
        EXPECT_NE(e.Description().find(c.fragment), std::string::npos) << e.Description();
    }
}

}  // namespace
}  // namespace accpac::local
