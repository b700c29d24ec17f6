#include "accpac/local/Registry.h"

#include <vector>

#include "accpac/local/LocalErrorList.h"
#include "winapi/RegistryStore.h"

namespace accpac::local::registry {

namespace {

using winapi::RegKeyHandle;

std::string RootName(HKEY root) {
    const winapi::RegRoot* r = winapi::FindRegRoot(root);
    return r ? r->name : "key " + std::to_string(reinterpret_cast<uintptr_t>(root));
}

[[noreturn]] void Fail(HKEY root, const std::string& path, const char* what, LONG code) {
    std::string reason =
        code == ERROR_ACCESS_DENIED ? "access is denied" : "error " + std::to_string(code);
    throw lumaro::RuntimeError(kErrRegistry, "Registry",
                               std::string("Cannot ") + what + " the registry key " +
                                   RootName(root) + "\\" + path + ": " + reason + ".");
}

}  // namespace

std::optional<std::string> ReadString(HKEY root, const std::string& path, const std::string& name) {
    RegKeyHandle key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<std::string> result;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::vector<BYTE> data(size + 1, 0);
        DWORD got = size;
        if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, data.data(), &got) ==
            ERROR_SUCCESS) {
            std::string text(reinterpret_cast<const char*>(data.data()), got);
            while (!text.empty() && text.back() == '\0') text.pop_back();
            result = text;
        }
    }
    return result;
}

bool KeyExists(HKEY root, const std::string& path) {
    RegKeyHandle key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.out()) == ERROR_SUCCESS;
}

void WriteString(HKEY root, const std::string& path, const std::string& name,
                 const std::string& value) {
    RegKeyHandle key;
    DWORD disposition = 0;
    LONG rc = RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                              nullptr, key.out(), &disposition);
    if (rc != ERROR_SUCCESS) Fail(root, path, "create", rc);
    rc = RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
    if (rc != ERROR_SUCCESS) Fail(root, path, "write", rc);
}

bool DeleteTree(HKEY root, const std::string& path) {
    std::vector<std::string> children;
    {
        RegKeyHandle key;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return true;
        char name[256];
        for (DWORD i = 0; RegEnumKeyA(key.get(), i, name, sizeof name) == ERROR_SUCCESS; ++i)
            children.emplace_back(name);
    }
    for (const std::string& child : children) DeleteTree(root, path + "\\" + child);
    return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS || !KeyExists(root, path);
}

}  // namespace accpac::local::registry
