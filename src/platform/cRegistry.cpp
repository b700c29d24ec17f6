#include "platform/cRegistry.h"

#include <algorithm>

#include "common/ErrorHandling.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"
#include "common/VersionInfo.h"
#include "winapi/RegistryStore.h"

namespace lumaro {

namespace {

// Rights for creating, writing and deleting: query and set value, create and enumerate
// subkeys, notify, create link.
constexpr REGSAM kWriteAccess = 0x3F;
// Buffer for one subkey name: the longest key name plus its terminating NUL.
constexpr DWORD kSubkeyNameBuffer = 256;

using KeyHandle = winapi::RegKeyHandle;

std::string Source() { return ExecutableName() + ".cRegistry"; }

// A root key handle as the error texts show it: a signed decimal number.
std::string KeyNumber(HKEY key) {
    return std::to_string(
        static_cast<int32_t>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key))));
}

// "%" with another "%" at least two positions further on marks environment references.
bool HasEnvironmentReference(const std::string& text) {
    size_t first = text.find('%');
    return first != std::string::npos && text.find('%', first + 2) != std::string::npos;
}

// The data of a value of the given size; false when the read fails.
bool ReadData(HKEY key, const std::string& name, DWORD size, std::vector<BYTE>& data) {
    data.assign(size, 0);
    DWORD type = 0;
    DWORD got = size;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &got) != ERROR_SUCCESS)
        return false;
    data.resize(std::min(got, size));
    return true;
}

}  // namespace

void cRegistry::SetMachine(const std::string& sMachine) {
    if (sMachine.size() < 3)
        machine_.clear();
    else if (sMachine.compare(0, 2, "\\\\") != 0)
        machine_ = "\\\\" + sMachine;
    else
        machine_ = sMachine;
}

bool cRegistry::KeyExists() const {
    if (!classKey_) return false;
    KeyHandle key;
    return RegOpenKeyExA(classKey_, sectionKey_.c_str(), 0, KEY_QUERY_VALUE, key.out()) ==
           ERROR_SUCCESS;
}

int32_t cRegistry::SwapLongBytes(int32_t value) {
    uint32_t x = static_cast<uint32_t>(value);
    x = (x >> 24) | ((x >> 8) & 0x0000FF00u) | ((x << 8) & 0x00FF0000u) | (x << 24);
    return static_cast<int32_t>(x);
}

std::string cRegistry::ExpandEnvString(const std::string& text) {
    DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (needed == 0) return text;  // the expansion failed: keep the text as stored
    std::string buffer(needed, '\0');
    DWORD written = ExpandEnvironmentStringsA(text.c_str(), buffer.data(), needed);
    if (written == 0 || written > needed) return text;
    buffer.resize(std::min<size_t>(buffer.find('\0'), needed));
    return buffer;
}

Variant cRegistry::value() {
    HKEY root = classKey_;
    KeyHandle remote;
    if (!machine_.empty()) {
        if (RegConnectRegistryA(machine_.c_str(), classKey_, remote.out()) != ERROR_SUCCESS)
            return default_;
        root = remote.get();
    }
    KeyHandle key;
    if (!root ||
        RegOpenKeyExA(root, sectionKey_.c_str(), 0, KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS)
        return default_;

    // Type and size only: a zero-size offer answers ERROR_MORE_DATA when there is data.
    DWORD type = 0;
    DWORD size = 0;
    BYTE probe[4] = {};
    LONG rc = RegQueryValueExA(key.get(), valueKey_.c_str(), nullptr, &type, probe, &size);
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return default_;
    valueType_ = static_cast<int32_t>(type);

    std::vector<BYTE> data;
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_MULTI_SZ: {
            if (size == 0) throw RuntimeError::Standard(kErrInvalidProcedureCall, Source());
            if (!ReadData(key.get(), valueKey_, size, data)) return default_;
            std::string text(data.begin(), data.end());
            // Drop the terminating NUL; a text stored without one keeps its last character.
            if (!text.empty() && text.back() == '\0') text.pop_back();
            return type == REG_EXPAND_SZ ? Variant(ExpandEnvString(text))
                                         : Variant(std::move(text));
        }
        case REG_DWORD:
        case REG_DWORD_BIG_ENDIAN: {
            // The first four bytes, least significant first; a shorter value is padded with 0.
            if (!ReadData(key.get(), valueKey_, std::max<DWORD>(size, 4), data)) return default_;
            data.resize(std::max<size_t>(data.size(), 4), 0);
            uint32_t x = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                         (static_cast<uint32_t>(data[2]) << 16) |
                         (static_cast<uint32_t>(data[3]) << 24);
            int32_t number = static_cast<int32_t>(x);
            return Variant(type == REG_DWORD_BIG_ENDIAN ? SwapLongBytes(number) : number);
        }
        default:
            // Exactly the stored bytes, so that writing the array back stores the same value.
            if (!ReadData(key.get(), valueKey_, size, data)) return default_;
            return Variant(std::vector<uint8_t>(data.begin(), data.end()));
    }
}

std::string cRegistry::SetValueErrorText(const Variant& vValue) const {
    std::string text;
    IgnoreErrors([&] { text = vValue.IsNull() ? std::string() : vValue.ToString(); });
    return "Failed to set registry value Key: '" + KeyNumber(classKey_) + "',Section: '" +
           sectionKey_ + "',Key: '" + valueKey_ + "' to value: '" + text + "'";
}

void cRegistry::SetValue(const Variant& vValue) {
    HKEY root = classKey_;
    KeyHandle remote;
    if (!machine_.empty()) {
        if (RegConnectRegistryA(machine_.c_str(), classKey_, remote.out()) != ERROR_SUCCESS)
            throw RuntimeError(kErrKeyAccess, Source(), SetValueErrorText(vValue));
        root = remote.get();
    }
    KeyHandle key;
    char emptyClass[1] = {'\0'};
    DWORD disposition = 0;
    if (!root || RegCreateKeyExA(root, sectionKey_.c_str(), 0, emptyClass, REG_OPTION_NON_VOLATILE,
                                 kWriteAccess, nullptr, key.out(), &disposition) != ERROR_SUCCESS)
        throw RuntimeError(kErrKeyAccess, Source(), SetValueErrorText(vValue));

    LONG rc = ERROR_SUCCESS;
    switch (valueType_) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            // The content decides the stored type, whatever string type was requested.
            std::string text = vValue.ToString();
            DWORD type = HasEnvironmentReference(text) ? REG_EXPAND_SZ : REG_SZ;
            rc = RegSetValueExA(key.get(), valueKey_.c_str(), 0, type,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>(text.size() + 1));
            break;
        }
        case REG_BINARY: {
            if (!vValue.IsBytes()) throw RuntimeError::Standard(kErrKeyAccess, Source());
            const std::vector<uint8_t>& bytes = vValue.AsBytes();
            rc = RegSetValueExA(key.get(), valueKey_.c_str(), 0, REG_BINARY, bytes.data(),
                                static_cast<DWORD>(bytes.size()));
            break;
        }
        case REG_DWORD:
        case REG_DWORD_BIG_ENDIAN: {
            // 16- and 32-bit integers only, always stored least significant byte first.
            // Anything else is refused rather than silently not written.
            if (vValue.type() != Variant::Type::Integer && vValue.type() != Variant::Type::Long) {
                rc = ERROR_INVALID_DATA;
                break;
            }
            uint32_t x = static_cast<uint32_t>(vValue.ToLong());
            const BYTE bytes[4] = {static_cast<BYTE>(x), static_cast<BYTE>(x >> 8),
                                   static_cast<BYTE>(x >> 16), static_cast<BYTE>(x >> 24)};
            rc = RegSetValueExA(key.get(), valueKey_.c_str(), 0, REG_DWORD, bytes, 4);
            break;
        }
        default:
            rc = ERROR_INVALID_DATA;
            break;
    }
    key.reset();
    if (rc != ERROR_SUCCESS) throw RuntimeError(kErrSetValue, Source(), SetValueErrorText(vValue));
}

Variant cRegistry::ValueEx(HKEY eClassKey, const std::string& sSectionKey,
                           const std::string& sValueKey, int32_t eValueType,
                           const Variant& vDefault) {
    SetClassKey(eClassKey);
    SetSectionKey(sSectionKey);
    SetValueKey(sValueKey);
    SetValueType(eValueType);
    SetDefault(vDefault);
    return value();
}

void cRegistry::SetValueEx(HKEY eClassKey, const std::string& sSectionKey,
                           const std::string& sValueKey, int32_t eValueType,
                           const Variant& vDefault, const Variant& NewValue) {
    SetClassKey(eClassKey);
    SetSectionKey(sSectionKey);
    SetValueKey(sValueKey);
    SetValueType(eValueType);
    SetDefault(vDefault);
    bool emptyText = false;
    // Null counts as empty text; a value with no text form is written as it is.
    IgnoreErrors([&] { emptyText = NewValue.IsNull() || NewValue.ToString().empty(); });
    SetValue(valueType_ == REG_SZ && emptyText ? default_ : NewValue);
}

bool cRegistry::CreateKey() {
    KeyHandle key;
    char emptyClass[1] = {'\0'};
    DWORD disposition = 0;
    if (!classKey_ ||
        RegCreateKeyExA(classKey_, sectionKey_.c_str(), 0, emptyClass, REG_OPTION_NON_VOLATILE,
                        kWriteAccess, nullptr, key.out(), &disposition) != ERROR_SUCCESS)
        throw RuntimeError(kErrKeyAccess, Source(),
                           "Failed to create registry Key: '" + sectionKey_);
    return true;
}

bool cRegistry::DeleteKey() {
    if (!classKey_ || RegDeleteKeyA(classKey_, sectionKey_.c_str()) != ERROR_SUCCESS)
        throw RuntimeError(kErrKeyAccess, Source(),
                           "Failed to delete registry Key: '" + KeyNumber(classKey_) +
                               "',Section: '" + sectionKey_);
    return true;
}

bool cRegistry::DeleteValue() {
    KeyHandle key;
    if (!classKey_ ||
        RegOpenKeyExA(classKey_, sectionKey_.c_str(), 0, kWriteAccess, key.out()) != ERROR_SUCCESS)
        throw RuntimeError(kErrKeyAccess, Source(),
                           "Failed to open key '" + KeyNumber(classKey_) + "',Section: '" +
                               sectionKey_ + "' for delete access");
    LONG rc = RegDeleteValueA(key.get(), valueKey_.c_str());
    key.reset();
    if (rc != ERROR_SUCCESS)
        throw RuntimeError(kErrKeyAccess, Source(),
                           "Failed to delete registry Key: '" + KeyNumber(classKey_) +
                               "',Section: '" + sectionKey_ + "',Key: '" + valueKey_);
    return true;
}

bool cRegistry::EnumerateValues(std::vector<std::string>& names, int32_t& count) const {
    names.clear();
    count = 0;
    KeyHandle key;
    if (!classKey_ || RegOpenKeyExA(classKey_, sectionKey_.c_str(), 0, KEY_QUERY_VALUE,
                                    key.out()) != ERROR_SUCCESS)
        return true;
    DWORD longest = 0;
    RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &longest, nullptr, nullptr, nullptr);
    for (DWORD index = 0;; ++index) {
        std::string buffer(longest + 1, '\0');
        DWORD length = longest + 1;
        if (RegEnumValueA(key.get(), index, buffer.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        buffer.resize(std::min<DWORD>(length, longest + 1));
        if (names.empty()) names.emplace_back();  // element 0 is unused
        names.push_back(std::move(buffer));
        ++count;
    }
    return true;
}

bool cRegistry::EnumerateSections(std::vector<std::string>& names, int32_t& count) const {
    try {
        names.clear();
        count = 0;
        KeyHandle key;
        if (!classKey_ || RegOpenKeyExA(classKey_, sectionKey_.c_str(), 0, KEY_ENUMERATE_SUB_KEYS,
                                        key.out()) != ERROR_SUCCESS)
            return true;
        for (DWORD index = 0;; ++index) {
            std::string buffer(kSubkeyNameBuffer, '\0');
            if (RegEnumKeyA(key.get(), index, buffer.data(), kSubkeyNameBuffer) != ERROR_SUCCESS)
                break;
            buffer.resize(buffer.find('\0') == std::string::npos ? buffer.size()
                                                                 : buffer.find('\0'));
            if (names.empty()) names.emplace_back();  // element 0 is unused
            names.push_back(std::move(buffer));
            ++count;
        }
        return true;
    } catch (...) {
        throw RuntimeError(kErrEnumerate, Source(), DescribeException(std::current_exception()));
    }
}

void cRegistry::SetClassesValue(const std::string& text) {
    const std::string section = sectionKey_;
    // Put SectionKey back whatever happens below.
    struct Restore {
        cRegistry& self;
        const std::string& section;
        ~Restore() { self.sectionKey_ = section; }
    } restore{*this, section};
    classKey_ = HKEY_CLASSES_ROOT;
    SetValue(Variant(text));
    classKey_ = HKEY_LOCAL_MACHINE;
    sectionKey_ = "SOFTWARE\\Classes\\" + section;
    SetValue(Variant(text));
}

void cRegistry::CreateEXEAssociation(const std::string& sExeFile, const std::string& sClassName,
                                     const std::string& sDescription, const std::string& sExtension,
                                     const std::string& sOpenText, bool bPrint,
                                     const std::string& sPrintText, bool bNew,
                                     const std::string& sNewText, bool bInstall,
                                     const std::string& sInstallText, int32_t lIconIndex) {
    std::string trimmed = TrimSpaces(sExeFile);
    std::string program = trimmed;
    if (trimmed.empty() || trimmed.front() != '"') program = "\"" + program;
    if (trimmed.empty() || trimmed.back() != '"') program += "\"";
    const std::string shell = sClassName + "\\shell\\";
    auto write = [this](const std::string& section, const std::string& text) {
        sectionKey_ = section;
        SetClassesValue(text);
    };

    valueType_ = REG_SZ;
    valueKey_.clear();
    write("." + sExtension, sClassName);
    write(sClassName, sDescription);
    write(shell + "open", sOpenText.empty() ? "&Open" : sOpenText);
    write(shell + "open\\command", program + " \"%1\"");
    if (bPrint) {
        write(shell + "print", sPrintText.empty() ? "&Print" : sPrintText);
        write(shell + "print\\command", program + " /p \"%1\"");
    }
    if (bInstall) {
        write(shell + "add", sInstallText.empty() ? "&Install " + sExtension : sInstallText);
        write(shell + "add\\command", program + " /a \"%1\"");
    }
    if (bNew) {
        write(shell + "new", sNewText.empty() ? "&New" : sNewText);
        write(shell + "new\\command", program + " /n \"%1\"");
    }
    if (lIconIndex > -1)
        write(sClassName + "\\DefaultIcon", program + "," + std::to_string(lIconIndex));
}

void cRegistry::CreateAdditionalEXEAssociations(const std::string& sClassName,
                                                const Variant& vItems) {
    if (!vItems.IsArray() || vItems.AsArray().empty() || vItems.AsArray().size() % 3 != 0)
        throw RuntimeError(
            kErrBadAssociationList, Source(),
            "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected "
            "Name/Text/Command");
    sectionKey_ = sClassName;
    if (!KeyExists())
        throw RuntimeError(
            kErrNoAssociationClass, Source(),
            "Error - attempt to create additional associations before class defined.");
    const std::vector<Variant> items = vItems.AsArray();
    for (size_t i = 0; i + 2 < items.size(); i += 3) {
        valueType_ = REG_SZ;
        valueKey_.clear();
        IgnoreErrors([&] {
            sectionKey_ = sClassName + "\\shell\\" + items[i].ToString();
            SetClassesValue(items[i + 1].ToString());
        });
        IgnoreErrors([&] {
            sectionKey_ = sClassName + "\\shell\\" + items[i].ToString() + "\\command";
            SetClassesValue(items[i + 2].ToString());
        });
    }
}

}  // namespace lumaro
