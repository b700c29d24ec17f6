#include "app/AccpacOcxRegHelper.h"

#include "accpac/LateBound.h"
#include "accpac/Platform.h"
#include "accpac/Session.h"
#include "common/ErrorHandling.h"
#include "common/Variant.h"
#include "winapi/ComText.h"
#include "winapi/RegistryStore.h"
#include "winapi/windows.h"

namespace lumaro {

namespace {

constexpr const char* kClassesRoot = "Software\\Classes\\";

// Creates or opens a key under HKEY_LOCAL_MACHINE with write access and sets its default
// value to text (the terminating NUL counted). Returns the failing call's code, or 0.
struct KeyWrite {
    LONG createCode = ERROR_SUCCESS;
    LONG setCode = ERROR_SUCCESS;
};

KeyWrite WriteDefaultValue(const std::string& path, const std::string& text) {
    KeyWrite result;
    winapi::RegKeyHandle key;
    DWORD disposition = 0;
    result.createCode =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, key.out(), &disposition);
    if (result.createCode != ERROR_SUCCESS) return result;
    result.setCode =
        RegSetValueExA(key.get(), "", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    return result;
}

}  // namespace

AccpacOcxRegHelper::AccpacOcxRegHelper() {
    IgnoreErrors([&] {
        trace_ = accpac::Platform::Get().CreateObject("Accpac.SpyTarget", nullptr);
        if (trace_) {
            IgnoreErrors([&] {
                accpac::CallByName(trace_, "Init", {"a4wContainerCtrl", "OcxRegHelper"});
            });
            IgnoreErrors([&] { accpac::CallByName(trace_, "Activate"); });
        }
    });
}

AccpacOcxRegHelper::~AccpacOcxRegHelper() {
    if (trace_) {
        IgnoreErrors([&] { accpac::CallByName(trace_, "Deactivate"); });
        delete trace_.data();
    }
}

void AccpacOcxRegHelper::Trace(const char* call, const std::string& text, QVariant& context) {
    if (!trace_) return;
    IgnoreErrors([&] {
        QVariant filled = accpac::CallByName(trace_, call, {QString::fromStdString(text), context});
        if (filled.isValid()) context = filled;  // the trace target may hand back a context
    });
}

std::string AccpacOcxRegHelper::TempProgID(int32_t sessionID, const std::string& progId) {
    return progId + "." + std::to_string(sessionID);
}

bool AccpacOcxRegHelper::GetClsID(accpac::Session& Session, const std::string& sRotoID,
                                  std::string& sClsID, std::string& sCodeBase) {
    QVariant context;
    Trace("BeginContext", "GetClsID", context);
    sClsID.clear();
    sCodeBase.clear();
    bool found = Session.GetScreenRegistration(sRotoID, 1, sClsID, sCodeBase);
    Trace("ReportEvent", "sClsID : " + sClsID, context);
    Trace("ReportEvent", "sCodeBase : " + sCodeBase, context);
    Trace("EndContext", "GetClsID", context);
    return found;
}

bool AccpacOcxRegHelper::InstallControl(const std::string& sClsID, const std::string& sCodeBase,
                                        int32_t hwnd) {
    QVariant context;
    try {
        Trace("BeginContext", "InstallControl", context);
        if (sCodeBase.empty()) {
            Trace("EndContext", "InstallControl sCodeBase is empty", context);
            return true;
        }
        auto installer = accpac::Platform::Get().CreateControlInstaller();
        installer->Install(sClsID, sCodeBase, hwnd);
        installer.reset();
        Trace("EndContext", "InstallControl", context);
        return true;
    } catch (...) {
        Trace("EndContext", "InstallControl failed", context);
        return false;
    }
}

bool AccpacOcxRegHelper::SetProgID(const std::string& lSignonID, const std::string& sClsID,
                                   std::string& sID) {
    QVariant context;
    Trace("BeginContext", "GetProgID", context);
    const int32_t sessionID = Variant(lSignonID).ToLong();  // not a number: raises to the caller

    std::string progId;
    CLSID clsid{};
    std::u16string wide = winapi::Widen(sClsID);
    if (SUCCEEDED(CLSIDFromString(reinterpret_cast<LPCOLESTR>(wide.c_str()), &clsid))) {
        LPOLESTR buffer = nullptr;
        if (SUCCEEDED(ProgIDFromCLSID(clsid, &buffer)) && buffer) {
            progId = winapi::Narrow(buffer);
            CoTaskMemFree(buffer);
        }
    }

    // A class without a registered ProgID would register ".<session>" alone: refuse it.
    bool ok = !progId.empty() && CreateRegEntry(sessionID, progId, sClsID);
    if (ok) sID = TempProgID(sessionID, progId);
    Trace("ReportEvent", "ProgID : " + sID, context);
    Trace("EndContext", "GetProgID", context);
    return ok;
}

bool AccpacOcxRegHelper::CreateRegEntry(int32_t sessionID, const std::string& progId,
                                        const std::string& clsid) {
    QVariant context;
    try {
        // Both keys and values are written to the hive at once, or not at all.
        winapi::RegistryBatch batch;
        Trace("BeginContext", "CreateRegEntry", context);
        const std::string keyA = kClassesRoot + TempProgID(sessionID, progId);
        KeyWrite a = WriteDefaultValue(keyA, progId);
        if (a.createCode != ERROR_SUCCESS) {
            Trace("ReportEvent", keyA, context);
            Trace("EndContext", "RegCreateKeyEx failed " + std::to_string(a.createCode), context);
            batch.Discard();
            return false;
        }
        if (a.setCode != ERROR_SUCCESS) {
            Trace("ReportEvent", progId, context);
            Trace("EndContext", "RegSetValueEx failed", context);
            batch.Discard();
            return false;
        }
        Trace("ReportEvent", keyA + " : " + progId, context);

        const std::string keyB = keyA + "\\Clsid";
        KeyWrite b = WriteDefaultValue(keyB, clsid);
        if (b.createCode != ERROR_SUCCESS) {
            Trace("ReportEvent", "sSubKey : " + keyB, context);
            Trace("EndContext", "RegCreateKeyEx failed " + std::to_string(b.createCode), context);
            batch.Discard();
            return false;
        }
        if (b.setCode != ERROR_SUCCESS) {
            Trace("ReportEvent", "sClsID : " + clsid, context);
            Trace("EndContext", "RegSetValueEx failed " + std::to_string(b.setCode), context);
            batch.Discard();
            return false;
        }
        if (LONG code = batch.Commit()) {
            Trace("EndContext", "writing the registry failed " + std::to_string(code), context);
            return false;
        }
        Trace("ReportEvent", keyB + " : " + clsid, context);
        Trace("EndContext", "CreateRegEntry", context);
        return true;
    } catch (...) {
        Trace("EndContext", "CreateRegEntry failed", context);
        return false;
    }
}

void AccpacOcxRegHelper::ClearProgID(const std::string& sEntry) {
    QVariant context;  // no context is opened here
    try {
        Trace("ReportEvent", "DeleteTempRegEntry : " + sEntry, context);
        const std::string parent = kClassesRoot + sEntry;
        winapi::RegistryBatch batch;  // both deletions in one write
        for (const std::string& path : {parent + "\\Clsid", parent}) {
            LONG code = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
            Trace("ReportEvent", "RegDeleteKey : " + path + "," + std::to_string(code), context);
        }
        if (LONG code = batch.Commit())
            Trace("ReportEvent", "writing the registry failed " + std::to_string(code), context);
    } catch (...) {
        Trace("ReportEvent", "RegDeleteKey failed", context);
    }
}

}  // namespace lumaro
