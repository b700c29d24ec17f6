#pragma once
// Reads and writes the registry. The caller sets the selectors ClassKey (root key),
// SectionKey (subkey path, backslash-separated), ValueKey (value name; empty is the
// key's default value) and ValueType, then reads or writes value. Every call opens the
// keys it needs and closes them again before it returns; nothing stays open between calls.
//
// Failures other than a read that finds nothing are raised as RuntimeError with the
// source "<executable>.cRegistry". Name lists are 1-based: a std::vector<std::string>
// whose element 0 is unused (empty), names at 1..count.

#include <cstdint>
#include <string>
#include <vector>

#include "common/Variant.h"
#include "winapi/windows.h"

namespace lumaro {

class cRegistry {
public:
    // Error numbers raised by the class.
    static constexpr int32_t kErrKeyAccess = 26001;
    static constexpr int32_t kErrSetValue = static_cast<int32_t>(0x800469A9u);
    static constexpr int32_t kErrEnumerate = static_cast<int32_t>(0x800469AAu);
    static constexpr int32_t kErrBadAssociationList = static_cast<int32_t>(0x800469ACu);
    static constexpr int32_t kErrNoAssociationClass = static_cast<int32_t>(0x800469ADu);

    HKEY ClassKey() const { return classKey_; }
    void SetClassKey(HKEY eKey) { classKey_ = eKey; }
    const std::string& SectionKey() const { return sectionKey_; }
    void SetSectionKey(const std::string& sSectionKey) { sectionKey_ = sSectionKey; }
    const std::string& ValueKey() const { return valueKey_; }
    void SetValueKey(const std::string& sValueKey) { valueKey_ = sValueKey; }
    // A write uses it as the requested type; a read that finds the value sets the type found.
    int32_t ValueType() const { return valueType_; }
    void SetValueType(int32_t eValueType) { valueType_ = eValueType; }
    // What reading value returns when nothing can be read.
    const Variant& Default() const { return default_; }
    void SetDefault(const Variant& vDefault) { default_ = vDefault; }
    // Remote computer whose registry value reads and writes use: "" for the local one,
    // otherwise stored as "\\name". Shorter than three characters clears it.
    const std::string& Machine() const { return machine_; }
    void SetMachine(const std::string& sMachine);

    // Whether SectionKey can be opened under ClassKey (local registry; ValueKey plays no part).
    bool KeyExists() const;

    // Reads ValueKey: text for REG_SZ/REG_MULTI_SZ, expanded text for REG_EXPAND_SZ, a
    // 32-bit integer for REG_DWORD and REG_DWORD_BIG_ENDIAN, a byte array (exactly the
    // stored bytes) for any other type; a copy of Default when nothing can be read.
    // A text value stored with no data at all raises 5 (invalid procedure call).
    Variant value();
    // Writes vValue according to ValueType (see the .cpp for the rules).
    void SetValue(const Variant& vValue);

    // Sets ClassKey, SectionKey, ValueKey, ValueType and Default, then reads / writes.
    // The write stores Default instead of NewValue when ValueType is REG_SZ and NewValue
    // is empty as text.
    Variant ValueEx(HKEY eClassKey, const std::string& sSectionKey, const std::string& sValueKey,
                    int32_t eValueType, const Variant& vDefault);
    void SetValueEx(HKEY eClassKey, const std::string& sSectionKey, const std::string& sValueKey,
                    int32_t eValueType, const Variant& vDefault, const Variant& NewValue);

    bool CreateKey();
    bool DeleteKey();
    bool DeleteValue();

    // Value names / subkey names of SectionKey. A key that cannot be opened gives an
    // empty list and True.
    bool EnumerateValues(std::vector<std::string>& names, int32_t& count) const;
    bool EnumerateSections(std::vector<std::string>& names, int32_t& count) const;

    // Registers a document class for an executable: extension, description, the open
    // verb and optionally print, install and new verbs and the icon.
    void CreateEXEAssociation(const std::string& sExeFile, const std::string& sClassName,
                              const std::string& sDescription, const std::string& sExtension,
                              const std::string& sOpenText, bool bPrint,
                              const std::string& sPrintText, bool bNew, const std::string& sNewText,
                              bool bInstall, const std::string& sInstallText, int32_t lIconIndex);
    // Adds verbs to a registered class. vItems is a zero-based array of triples: verb
    // name, menu text, command. A failing write is skipped.
    void CreateAdditionalEXEAssociations(const std::string& sClassName, const Variant& vItems);

private:
    void SetClassesValue(const std::string& text);
    static int32_t SwapLongBytes(int32_t value);
    static std::string ExpandEnvString(const std::string& text);
    std::string SetValueErrorText(const Variant& vValue) const;

    HKEY classKey_ = nullptr;
    std::string sectionKey_;
    std::string valueKey_;
    Variant default_;
    int32_t valueType_ = 0;
    std::string machine_;
};

}  // namespace lumaro
