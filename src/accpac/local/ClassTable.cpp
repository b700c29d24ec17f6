#include "accpac/local/ClassTable.h"

#include "accpac/Platform.h"
#include "accpac/local/LocalErrorList.h"
#include "accpac/local/Registry.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"
#include "winapi/ComText.h"

namespace accpac::local {

namespace {

[[noreturn]] void CannotCreate(const std::string& what) {
    throw lumaro::RuntimeError(kErrCannotCreateObject, what,
                               "ActiveX component can't create object");
}

}  // namespace

std::string NormalizeClsid(const std::string& clsid) {
    std::string text = lumaro::ToUpperAscii(lumaro::TrimSpaces(clsid));
    if (!text.empty() && text.front() != '{') text = "{" + text + "}";
    return text;
}

ClassTable& ClassTable::Instance() {
    static ClassTable table;
    return table;
}

ClassTable::ClassTable() = default;

void ClassTable::Register(const std::string& clsid, const std::string& progId,
                          ClassFactory factory) {
    classes_[NormalizeClsid(clsid)] = Entry{progId, std::move(factory)};
}

bool ClassTable::IsKnown(const std::string& clsid) const {
    return classes_.count(NormalizeClsid(clsid)) != 0;
}

std::string ClassTable::ProgIDOf(const std::string& clsid) const {
    auto it = classes_.find(NormalizeClsid(clsid));
    return it == classes_.end() ? std::string() : it->second.progId;
}

std::string ClassTable::ClsidOf(const std::string& progId) const {
    for (const auto& [clsid, entry] : classes_)
        if (lumaro::EqualsIgnoreCase(entry.progId, progId)) return clsid;
    return {};
}

QObject* ClassTable::CreateByProgID(const std::string& progId, QObject* parent) const {
    const std::string clsid = progId.empty() ? std::string() : winapi::ClsidFromProgIdText(progId);
    if (clsid.empty()) CannotCreate(progId);
    return CreateByClsid(clsid, parent);
}

QObject* ClassTable::CreateByClsid(const std::string& clsid, QObject* parent) const {
    auto it = classes_.find(NormalizeClsid(clsid));
    if (it == classes_.end() || !it->second.factory) CannotCreate(clsid);
    QObject* object = it->second.factory(parent);
    if (!object) CannotCreate(clsid);
    return object;
}

void ClassTable::RegisterInRegistry(const std::string& clsid, const std::string& progId) {
    const std::string id = NormalizeClsid(clsid);
    registry::WriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + progId, "", progId);
    registry::WriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + progId + "\\Clsid", "", id);
    registry::WriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\" + id, "", progId);
    registry::WriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\" + id + "\\ProgID", "",
                          progId);
}

void ClassTable::UnregisterFromRegistry(const std::string& clsid, const std::string& progId) {
    registry::DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + progId);
    registry::DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\" + NormalizeClsid(clsid));
}

}  // namespace accpac::local
