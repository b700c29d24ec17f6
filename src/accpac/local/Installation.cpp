#include "accpac/local/Installation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "accpac/local/ClassTable.h"
#include "accpac/local/CompanyDatabase.h"
#include "accpac/local/LocalErrorList.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/Registry.h"
#include "accpac/local/Site.h"
#include "common/TextUtil.h"
#include "winapi/MachineFolder.h"
#include "winapi/RegistryStore.h"

namespace accpac::local {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

[[noreturn]] void Fail(const std::string& what) {
    throw lumaro::RuntimeError(kErrInstallation, "Installation", what);
}

void MakeFolder(const std::string& folder) {
    if (!QDir().mkpath(Q(folder))) Fail("The folder " + folder + " cannot be created.");
}

struct Screen {
    const char* id;
    const char* clsid;
    const char* progId;
    const char* codeBase;
};
// The screens the installation registers, with the file of each screen's control
// (relative to the programs folder).
const Screen kScreens[] = {
    {"OE1100", kOE1100Clsid, kOE1100ProgID, "OE54A/OE1100.ocx"},
    {"IC1900", kIC1900Clsid, kIC1900ProgID, "IC54A/IC1900.ocx"},
};

const char* const kApplications[] = {"AR", "IC", "OE", "PO"};

}  // namespace

Installation::Installation() : machine_(winapi::MachineFolder()) {
    if (machine_.empty()) Fail("There is no machine folder.");
}

std::string Installation::ProgramsFolder() const { return machine_ + "/Accpac"; }
std::string Installation::SharedDataFolder() const { return machine_ + "/AccpacData"; }

bool Installation::Exists() const {
    return registry::ReadString(HKEY_LOCAL_MACHINE, kConfigurationKey, "Programs").has_value();
}

void Installation::RemovePlatform() {
    // Only the folders this class creates inside the machine folder are removed, whatever
    // the registry says: a configuration pointing elsewhere is never followed for deletion.
    for (const std::string& folder : {ProgramsFolder(), SharedDataFolder()}) {
        QDir dir(Q(folder));
        if (dir.exists() && !dir.removeRecursively())
            Fail("The folder " + folder + " cannot be removed.");
    }
    registry::DeleteTree(HKEY_LOCAL_MACHINE, kConfigurationKey);
    registry::DeleteTree(HKEY_LOCAL_MACHINE, kScreensKey);
    for (const Screen& screen : kScreens)
        ClassTable::UnregisterFromRegistry(screen.clsid, screen.progId);
    ClassTable::UnregisterFromRegistry(kSpyTargetClsid, kSpyTargetProgID);
}

void Installation::CreatePlatform(bool force) {
    if (force) RemovePlatform();
    const PlatformConfiguration configuration{ProgramsFolder(), SharedDataFolder()};

    MakeFolder(configuration.RuntimeFolder());
    const std::string marker = configuration.RuntimeFolder() + "/a4wapi.dll";
    QFile file(Q(marker));
    if (!file.exists()) {
        if (!file.open(QIODevice::WriteOnly) || file.write("Lumaro local platform runtime\n") < 0)
            Fail("The runtime file " + marker + " cannot be written.");
        file.close();
    }
    MakeFolder(configuration.SiteFolder());
    MakeFolder(configuration.CompanyFolder());

    registry::WriteString(HKEY_LOCAL_MACHINE, kConfigurationKey, "Programs",
                          configuration.programs);
    registry::WriteString(HKEY_LOCAL_MACHINE, kConfigurationKey, "SharedData",
                          configuration.sharedData);
    for (const Screen& screen : kScreens) {
        ClassTable::RegisterInRegistry(screen.clsid, screen.progId);
        const std::string key = std::string(kScreensKey) + "\\" + screen.id;
        registry::WriteString(HKEY_LOCAL_MACHINE, key, "ClassID", screen.clsid);
        registry::WriteString(HKEY_LOCAL_MACHINE, key, "CodeBase", screen.codeBase);
    }

    Site site(configuration);
    if (QFileInfo::exists(Q(site.FileName()))) site = Site::Load(configuration);
    if (!site.FindUser("ADMIN")) site.SetUser("ADMIN", "Administrator", kDemoAdminPassword);
    if (!site.FindUser("SYSOP")) site.SetUser("SYSOP", "System Operator", kDemoSysopPassword);
    site.Save();
}

namespace {

// Creates the database of a new company and adds the company to the site.
std::string AddCompany(const CompanyOptions& options, int demoItems) {
    Site site = Site::Load();
    SiteCompany company;
    company.id = lumaro::ToUpperAscii(lumaro::TrimSpaces(options.id));
    company.name = options.name.empty() ? company.id : options.name;
    company.database = "COMPANY/" + company.id + "/" + company.id + ".sqlite";
    for (const char* app : kApplications) {
        bool active = true;
        for (const std::string& inactive : options.inactiveApplications)
            if (lumaro::EqualsIgnoreCase(inactive, app)) active = false;
        company.applications.push_back({app, active});
        company.versions.push_back("54A");
    }
    for (const std::string& inactive : options.inactiveApplications) {
        bool known = false;
        for (const char* app : kApplications)
            known = known || lumaro::EqualsIgnoreCase(inactive, app);
        if (!known) Fail("There is no application \"" + inactive + "\" (AR, IC, OE, PO).");
    }
    if (site.FindCompany(company.id)) Fail("Company " + company.id + " exists already.");
    site.SetCompany(company);  // checks the ID before anything is written

    const std::string file = site.DatabaseFile(company);
    CompanyDatabase::Create(company.id, file);
    if (demoItems > 0) {
        GenerateDemoData(file, demoItems);
    } else {
        CompanyDatabase db(company.id, file);
        db.Transaction([&] {
            db.Exec("INSERT INTO ICLOC (LOCATION, \"DESC\") VALUES ('WH1', 'Main Warehouse')");
            db.Exec("UPDATE ICOPT SET DEFLOC = 'WH1', QTYDECS = 0");
        });
    }
    site.Save();
    return file;
}

}  // namespace

void Installation::CreateCompany(const CompanyOptions& options) {
    if (!Exists()) CreatePlatform(false);
    AddCompany(options, 0);
}

void Installation::InstallDemo(bool force) {
    if (Exists() && !force)
        Fail("A platform is installed already in " + machine_ +
             "; install again with --force to replace it.");
    // Every registry change of the installation goes to its hive in one write at the end.
    winapi::RegistryBatch batch;
    CreatePlatform(true);
    AddCompany({"SAMLTD", "Sample Company Ltd.", {}}, 1000);
    AddCompany({"SAMINC", "Sample Company Inc.", {"IC"}}, 40);
    LocalSessionManager::RememberSignon("SYSOP", "SAMLTD");
    if (LONG rc = batch.Commit())
        Fail("The registry cannot be written (error " + std::to_string(rc) + ").");
}

namespace {

// The classes of the platform an installation can register: the screens and the trace target.
std::pair<std::string, std::string> PlatformClass(const std::string& progId) {
    for (const Screen& screen : kScreens)
        if (lumaro::EqualsIgnoreCase(progId, screen.progId)) return {screen.clsid, screen.progId};
    if (lumaro::EqualsIgnoreCase(progId, kSpyTargetProgID))
        return {kSpyTargetClsid, kSpyTargetProgID};
    Fail("The platform has no class \"" + progId + "\".");
}

}  // namespace

void Installation::RegisterPlatformClass(const std::string& progId) {
    const auto [clsid, name] = PlatformClass(progId);
    ClassTable::RegisterInRegistry(clsid, name);
}

void Installation::UnregisterPlatformClass(const std::string& progId) {
    const auto [clsid, name] = PlatformClass(progId);
    ClassTable::UnregisterFromRegistry(clsid, name);
}

void Installation::RegisterTraceTarget(bool registered) {
    if (registered)
        RegisterPlatformClass(kSpyTargetProgID);
    else
        UnregisterPlatformClass(kSpyTargetProgID);
}

}  // namespace accpac::local
