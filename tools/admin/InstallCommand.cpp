// lumaro-admin install demo [--force]
// lumaro-admin install company ID --name NAME [--inactive APP]... [--create]

#include "AdminCommands.h"
#include "accpac/local/Installation.h"
#include "accpac/local/Site.h"
#include "common/TextUtil.h"

namespace lumaro::admin {

int RunInstall(const Args& input, std::ostream& out, std::ostream& err) {
    Args args = input;
    if (args.empty()) {
        err << "lumaro-admin: install what? (demo, company)\n";
        return 2;
    }
    const std::string what = args[0];
    args.erase(args.begin());
    accpac::local::Installation installation;

    if (what == "demo") {
        const bool force = TakeFlag(args, "--force");
        if (!args.empty()) {
            err << "lumaro-admin: install demo: unexpected \"" << args[0] << "\"\n";
            return 2;
        }
        installation.InstallDemo(force);
        out << "Demo installation created in " << installation.MachineFolder() << ".\n"
            << "Companies SAMLTD (Sample Company Ltd.) and SAMINC (Sample Company Inc.).\n"
            << "Users ADMIN (password " << accpac::local::kDemoAdminPassword
            << ") and SYSOP (password " << accpac::local::kDemoSysopPassword
            << "); SYSOP is signed on to SAMLTD.\n";
        // The program's settings for SAMLTD, so that the program runs on the demo at once.
        WriteDemoSettings(out);
        return 0;
    }
    if (what == "company") {
        accpac::local::CompanyOptions options;
        std::string value;
        if (!TakeOption(args, "--name", options.name, err)) {
            err << "lumaro-admin: install company ID --name NAME: the name is missing\n";
            return 2;
        }
        while (TakeOption(args, "--inactive", value, err))
            options.inactiveApplications.push_back(value);
        const bool create = TakeFlag(args, "--create");
        if (args.size() != 1) {
            err << "lumaro-admin: install company ID --name NAME: give exactly one company ID\n";
            return 2;
        }
        options.id = args[0];
        // A mistyped --machine must not quietly become a new installation.
        if (!installation.Exists() && !create) {
            err << "lumaro-admin: install company: " << installation.MachineFolder()
                << " holds no installation; give --create to create one there\n";
            return 1;
        }
        installation.CreateCompany(options);
        out << "Company " << ToUpperAscii(TrimSpaces(options.id)) << " (" << options.name
            << ") created.\n";
        return 0;
    }
    err << "lumaro-admin: install: unknown kind \"" << what << "\" (demo, company)\n";
    return 2;
}

}  // namespace lumaro::admin
