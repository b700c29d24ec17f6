#pragma once
// Creates a platform installation in the machine folder (winapi::MachineFolder(), which
// also holds the registry hives):
//   registry  HKLM\SOFTWARE\ACCPAC International, Inc.\ACCPAC\Configuration
//             "Programs" = <machine>/Accpac, "SharedData" = <machine>/AccpacData;
//             the screen registrations of OE1100 and IC1900 and their classes
//   files     <Programs>/runtime/a4wapi.dll (marker), <SharedData>/SITE/site.json,
//             <SharedData>/COMPANY/<ID>/<ID>.sqlite per company
//   users     ADMIN (password "ADMIN") and SYSOP (password "SYSOP")
// The demo installation adds SAMLTD "Sample Company Ltd." (a few hundred items, three
// locations WH1, WH2, WH3, customers, open orders and purchase orders, OE and IC
// active), SAMINC "Sample Company Inc." (IC inactive), and remembers the sign-on
// SYSOP / SAMLTD for the current user. Its data is the same on every run.
// Every failure raises a lumaro::RuntimeError (kErrInstallation) saying what failed.

#include <string>
#include <vector>

namespace accpac::local {

inline constexpr const char* kDemoAdminPassword = "ADMIN";
inline constexpr const char* kDemoSysopPassword = "SYSOP";
// A stock item of the demo company with quantities of every kind at WH1, sold by the
// each (EA, its stocking unit) and by the case of 12 (CASE).
inline constexpr const char* kDemoItemFormatted = "A1-103/0";
inline constexpr const char* kDemoItemStored = "A11030";

struct CompanyOptions {
    std::string id;  // up to 6 letters or digits; upper-cased
    std::string name;
    std::vector<std::string> inactiveApplications;  // of "OE", "IC", "PO", "AR"
};

class Installation {
public:
    Installation();  // in winapi::MachineFolder()

    const std::string& MachineFolder() const { return machine_; }
    std::string ProgramsFolder() const;
    std::string SharedDataFolder() const;
    // The platform configuration is in the registry.
    bool Exists() const;

    // The platform without companies: registry configuration, runtime marker, site with
    // ADMIN and SYSOP, class and screen registrations. An existing installation is kept
    // (its site and companies too) unless force is set, which starts again from nothing.
    void CreatePlatform(bool force);
    // A new company with empty tables and one location WH1 (creates the platform when
    // needed). Raises when the company exists already.
    void CreateCompany(const CompanyOptions& options);
    // The demo installation. Raises when a platform is installed already, unless force.
    void InstallDemo(bool force);

    // Registers / unregisters a class the platform knows (e.g. "Accpac.SpyTarget").
    static void RegisterPlatformClass(const std::string& progId);
    static void UnregisterPlatformClass(const std::string& progId);
    static void RegisterTraceTarget(bool registered);

private:
    void RemovePlatform();
    std::string machine_;
};

// Fills a new company database with the demo data (deterministic). itemCount items.
void GenerateDemoData(const std::string& companyFile, int itemCount);

}  // namespace accpac::local
