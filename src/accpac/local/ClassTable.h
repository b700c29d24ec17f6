#pragma once
// Classes of the local platform, COM style: each class has a class ID and a ProgID and a
// factory in this process. An object is created by ProgID only through the machine's
// class registration (HKEY_LOCAL_MACHINE\Software\Classes\<ProgID>\Clsid), so a class
// that is not registered there cannot be created, whatever factories exist.

#include <QObject>
#include <functional>
#include <map>
#include <string>

namespace accpac::local {

// The screen controls (factories registered by the GUI library) and the trace target.
inline constexpr const char* kOE1100ProgID = "AccpacOE1100.OE1100UICtrl";
inline constexpr const char* kOE1100Clsid = "{462DFDA3-35E4-4946-AEE5-0CB9363DA609}";
inline constexpr const char* kIC1900ProgID = "AccpacIC1900.IC1900UICtrl";
inline constexpr const char* kIC1900Clsid = "{F35C63FC-2F22-49E4-B9DE-3A2FB85BA9A6}";
inline constexpr const char* kSpyTargetProgID = "Accpac.SpyTarget";
inline constexpr const char* kSpyTargetClsid = "{D9CFDCA0-7D0C-4DF8-A8DA-8236499834C1}";

// Class IDs of the session-level objects (created through the Platform factory).
inline constexpr const char* kSessionManagerClsid = "{BB37D786-4CA2-4FA0-A8C4-E85BC2523EA9}";
inline constexpr const char* kErrorDisplayClsid = "{86F27162-8B1F-11D4-BE4A-00B0D075DD04}";
inline constexpr const char* kControlInstallerClsid = "{759622A7-A940-4738-B89A-EB84464199F4}";
inline constexpr const char* kScreenLauncherClsid = "{94217D83-F48C-11D4-A5D1-002078E00355}";

using ClassFactory = std::function<QObject*(QObject* parent)>;

class ClassTable {
public:
    static ClassTable& Instance();

    // Makes a class known in this process (replacing an earlier factory for the class ID).
    void Register(const std::string& clsid, const std::string& progId, ClassFactory factory);
    bool IsKnown(const std::string& clsid) const;
    // The ProgID a known class is registered under by the installation ("" when unknown).
    std::string ProgIDOf(const std::string& clsid) const;
    std::string ClsidOf(const std::string& progId) const;  // of a known class; "" when unknown

    // Creates an object by ProgID through the registry; raises 429 "ActiveX component
    // can't create object" when the ProgID is not registered or its class is not known.
    QObject* CreateByProgID(const std::string& progId, QObject* parent) const;
    // Creates a known class; raises 429 when it is not known.
    QObject* CreateByClsid(const std::string& clsid, QObject* parent) const;

    // Writes / removes the class registration in HKEY_LOCAL_MACHINE\Software\Classes
    // (<ProgID>\Clsid and CLSID\{...}\ProgID). Raise kErrRegistry when the registry refuses.
    static void RegisterInRegistry(const std::string& clsid, const std::string& progId);
    static void UnregisterFromRegistry(const std::string& clsid, const std::string& progId);

private:
    ClassTable();
    struct Entry {
        std::string progId;
        ClassFactory factory;
    };
    std::map<std::string, Entry> classes_;  // by upper-case class ID
};

// Class IDs compare ignoring case and braces are required: "{...}" upper-cased.
std::string NormalizeClsid(const std::string& clsid);

}  // namespace accpac::local
