#include <gtest/gtest.h>
#include <unistd.h>

#include "common/RuntimeError.h"
#include "common/VersionInfo.h"
#include "platform/cRegistry.h"
#include "support/RegTestUtil.h"
#include "support/TestSupport.h"

namespace lumaro {
namespace {

const char* const kSection = "Software\\Ostrel\\Test";

// Raw data stored the way another program could, bypassing cRegistry's write rules; the
// type and bytes actually stored.
void StoreRaw(const std::string& name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(test::StoreRegValue(HKEY_LOCAL_MACHINE, kSection, name.c_str(), type, bytes),
              ERROR_SUCCESS);
}
std::pair<DWORD, std::string> LoadRaw(const std::string& name) {
    return test::LoadRegValue(HKEY_LOCAL_MACHINE, kSection, name.c_str());
}

class cRegistryTest : public ::testing::Test {
protected:
    cRegistryTest() {
        reg.SetClassKey(HKEY_LOCAL_MACHINE);
        reg.SetSectionKey(kSection);
    }
    test::TempMachine machine;
    cRegistry reg;
    const std::string source = ExecutableName() + ".cRegistry";
};

#define EXPECT_RUNTIME_ERROR(statement, number, description) \
    try {                                                    \
        statement;                                           \
        ADD_FAILURE() << "no error from " #statement;        \
    } catch (const RuntimeError& e) {                        \
        EXPECT_EQ(e.Number(), static_cast<int32_t>(number)); \
        EXPECT_EQ(e.Description(), description);             \
        EXPECT_EQ(e.Source(), source);                       \
    }

TEST_F(cRegistryTest, ReadsEachTypeAsStored) {
    test::ScopedEnv env("LUMARO_REG_TEST", "/srv");
    struct Case {
        DWORD type;
        std::string stored;
        Variant expected;
    } cases[] = {
        {REG_SZ, std::string("abc\0", 4), Variant("abc")},
        {REG_SZ, "abc", Variant("abc")},  // stored without its NUL: nothing is lost
        {REG_MULTI_SZ, std::string("a\0b\0\0", 5), Variant(std::string("a\0b\0", 4))},
        {REG_EXPAND_SZ, std::string("%LUMARO_REG_TEST%/x\0", 20), Variant("/srv/x")},
        {REG_DWORD, std::string("\x05\0", 2), Variant(int32_t{5})},  // short: padded
        {REG_DWORD, std::string("\x07\0\0\0\x09\0\0\0", 8),
         Variant(int32_t{7})},  // long: first four
        {REG_DWORD_BIG_ENDIAN, std::string("\0\0\x01\x02", 4), Variant(int32_t{258})},
        {REG_BINARY, "\x01\x02\x03", Variant(std::vector<uint8_t>{1, 2, 3})},
    };
    for (const auto& c : cases) {
        const std::string name = "v" + std::to_string(&c - cases);
        StoreRaw(name, c.type, c.stored);
        reg.SetValueKey(name);
        reg.SetValueType(0);
        const Variant read = reg.value();  // sets ValueType
        EXPECT_EQ(std::make_pair(read, reg.ValueType()),
                  std::make_pair(c.expected, static_cast<int32_t>(c.type)));
    }
}

TEST_F(cRegistryTest, MissingValueGivesDefaultAndKeepsType) {
    StoreRaw("other", REG_SZ, std::string("x\0", 2));
    reg.SetValueKey("absent");
    reg.SetValueType(REG_DWORD);
    reg.SetDefault(Variant("dflt"));
    EXPECT_TRUE(reg.KeyExists());
    EXPECT_EQ(reg.value(), Variant("dflt"));
    EXPECT_EQ(reg.ValueType(), REG_DWORD);

    reg.SetSectionKey("Software\\Ostrel\\Nowhere");
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_EQ(reg.value(), Variant("dflt"));
    reg.SetClassKey(nullptr);
    reg.SetSectionKey(kSection);
    EXPECT_FALSE(reg.KeyExists());
}

TEST_F(cRegistryTest, TextValueWithNoDataRaisesInvalidArgument) {
    StoreRaw("empty", REG_SZ, "");
    reg.SetValueKey("empty");
    EXPECT_RUNTIME_ERROR(reg.value(), 5, "Invalid procedure call or argument");
}

TEST_F(cRegistryTest, WriteRules) {
    struct Case {
        int32_t requested;
        Variant value;
        DWORD storedType;
        std::string storedBytes;
    } cases[] = {
        {REG_EXPAND_SZ, Variant("plain"), REG_SZ, std::string("plain\0", 6)},
        {REG_SZ, Variant("%%"), REG_SZ, std::string("%%\0", 3)},
        {REG_SZ, Variant("%a%"), REG_EXPAND_SZ, std::string("%a%\0", 4)},
        {REG_DWORD, Variant(int32_t{258}), REG_DWORD, std::string("\x02\x01\0\0", 4)},
        {REG_DWORD_BIG_ENDIAN, Variant(int16_t{-1}), REG_DWORD, "\xff\xff\xff\xff"},
        {REG_BINARY, Variant(std::vector<uint8_t>{0, 1, 2}), REG_BINARY,
         std::string("\0\x01\x02", 3)},
    };
    for (const auto& c : cases) {
        const std::string name = "w" + std::to_string(&c - cases);
        reg.SetValueKey(name);
        reg.SetValueType(c.requested);
        reg.SetValue(c.value);
        EXPECT_EQ(LoadRaw(name), std::make_pair(c.storedType, c.storedBytes)) << name;
    }
}

TEST_F(cRegistryTest, WriteErrors) {
    reg.SetSectionKey("Software\\Lumaro");
    reg.SetValueKey("v");
    const std::string text =
        "Failed to set registry value Key: '-2147483646',Section: 'Software\\Lumaro',Key: 'v' to "
        "value: '";
    reg.SetValueType(REG_LINK);
    EXPECT_RUNTIME_ERROR(reg.SetValue(Variant("x")), 0x800469A9u, text + "x'");
    reg.SetValueType(REG_DWORD);  // not a 16- or 32-bit integer: refused, not silently dropped
    EXPECT_RUNTIME_ERROR(reg.SetValue(Variant(2.5)), 0x800469A9u, text + "2.5'");
    reg.SetValueType(REG_BINARY);
    EXPECT_RUNTIME_ERROR(reg.SetValue(Variant("x")), 26001,
                         "Application-defined or object-defined error");

    reg.SetClassKey(nullptr);
    reg.SetValueType(REG_SZ);
    EXPECT_RUNTIME_ERROR(
        reg.SetValue(Variant("x")), 26001,
        "Failed to set registry value Key: '0',Section: 'Software\\Lumaro',Key: 'v' to value: 'x'");
}

// The remote-computer selector: this computer by name reads the local registry; an unknown
// one gives Default on a read and 26001 on a write.
TEST_F(cRegistryTest, Machine) {
    const std::pair<const char*, const char*> cases[] = {
        {"SR", ""}, {"SRV", "\\\\SRV"}, {"\\\\", ""}};
    for (const auto& [given, stored] : cases) {
        reg.SetMachine(given);
        EXPECT_EQ(reg.Machine(), stored) << given;
    }
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    StoreRaw("m", REG_SZ, std::string("here\0", 5));
    reg.SetValueKey("m");
    reg.SetDefault(Variant("dflt"));
    reg.SetMachine(host);
    EXPECT_EQ(reg.value(), Variant("here"));
    reg.SetMachine("NOSUCHHOST");
    EXPECT_EQ(reg.value(), Variant("dflt"));
    EXPECT_RUNTIME_ERROR(reg.SetValue(Variant("x")), 26001,
                         "Failed to set registry value Key: '-2147483646',Section: "
                         "'Software\\Ostrel\\Test',Key: 'm' to value: 'x'");
}

TEST_F(cRegistryTest, Associations) {
    reg.CreateEXEAssociation("  /opt/lumaro/lumaro  ", "Lumaro.Doc", "Lumaro document", "lmd", "",
                             true, "", false, "", true, "", 2);
    cRegistry classes;
    classes.SetClassKey(HKEY_CLASSES_ROOT);
    auto read = [&](const std::string& section) {
        classes.SetSectionKey(section);
        return classes.value().ToString();
    };
    EXPECT_EQ(read(".lmd"), "Lumaro.Doc");
    EXPECT_EQ(read("Lumaro.Doc"), "Lumaro document");
    EXPECT_EQ(read("Lumaro.Doc\\shell\\open"), "&Open");
    EXPECT_EQ(read("Lumaro.Doc\\shell\\open\\command"), "\"/opt/lumaro/lumaro\" \"%1\"");
    EXPECT_EQ(read("Lumaro.Doc\\shell\\print\\command"), "\"/opt/lumaro/lumaro\" /p \"%1\"");
    EXPECT_EQ(read("Lumaro.Doc\\shell\\add"), "&Install lmd");
    EXPECT_EQ(read("Lumaro.Doc\\DefaultIcon"), "\"/opt/lumaro/lumaro\",2");
    classes.SetSectionKey("Lumaro.Doc\\shell\\new");
    EXPECT_FALSE(classes.KeyExists());
    EXPECT_EQ(reg.ClassKey(), HKEY_LOCAL_MACHINE);

    auto items = [](std::vector<Variant> v) { return Variant(std::move(v)); };
    for (const Variant& list : {items({"a", "b", "c", "d"}), items({})})
        EXPECT_RUNTIME_ERROR(reg.CreateAdditionalEXEAssociations("Lumaro.Doc", list), 0x800469ACu,
                             "Invalid parameter list passed to CreateAdditionalEXEAssociations - "
                             "expected Name/Text/Command");
    reg.SetClassKey(HKEY_CLASSES_ROOT);
    EXPECT_RUNTIME_ERROR(reg.CreateAdditionalEXEAssociations("No.Class", items({"a", "b", "c"})),
                         0x800469ADu,
                         "Error - attempt to create additional associations before class defined.");
    reg.CreateAdditionalEXEAssociations("Lumaro.Doc", items({"edit", "&Edit", "lumaro /e \"%1\""}));
    EXPECT_EQ(read("Lumaro.Doc\\shell\\edit"), "&Edit");
    EXPECT_EQ(read("Lumaro.Doc\\shell\\edit\\command"), "lumaro /e \"%1\"");
}

}  // namespace
}  // namespace lumaro
