// lumaro-admin settings show [--company ID] [--json] [--reveal]
// lumaro-admin settings set --company ID [--connection S] [--location L] [--query Q]
//                           [--drilldown true|false] [--timeout SECONDS] [--no-test] [--force]
// lumaro-admin settings test --company ID [--item ITEM] [--json]

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <charconv>
#include <cstdio>
#include <optional>

#include "AdminCommands.h"
#include "accpac/local/CompanyDatabase.h"
#include "accpac/local/Site.h"
#include "admin/SettingsAdmin.h"
#include "ado/ConnectionStringMask.h"
#include "common/RuntimeError.h"
#include "platform/AccpacPaths.h"
#include "settings/ProgramSettings.h"

namespace lumaro::admin {

namespace {

constexpr const char* kDemoCompany = "SAMLTD";

std::vector<std::string> PlatformCompanies() {
    const accpac::local::Site site = accpac::local::Site::Load();
    std::vector<std::string> ids;
    for (const accpac::local::SiteCompany& c : site.Companies()) ids.push_back(c.id);
    return ids;
}

// The company's locations; nullopt when its database cannot be read (then the location is
// not checked: the settings may well be entered before the company's data).
std::optional<std::vector<std::string>> PlatformLocations(const std::string& companyId) {
    try {
        const accpac::local::Site site = accpac::local::Site::Load();
        const accpac::local::SiteCompany* company = site.FindCompany(companyId);
        if (!company) return std::nullopt;
        accpac::local::CompanyDatabase db(company->id, site.DatabaseFile(*company));
        std::vector<std::string> codes;
        for (const auto& location : db.Locations()) codes.push_back(location.location);
        return codes;
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

void PrintWarnings(const SettingsTestOutcome& outcome, std::ostream& err) {
    for (const std::string& line : outcome.Warnings())
        err << "lumaro-admin: warning: " << line << "\n";
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string Milliseconds(double ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", ms);
    return buf;
}

QJsonObject SettingsJson(const CompanySettings& s, bool reveal) {
    QJsonObject o;
    o["company"] = Q(s.company);
    o["configured"] = s.Configured();
    o["connectionString"] =
        Q(reveal ? s.connectionString : ado::MaskConnectionPasswords(s.connectionString));
    o["location"] = Q(s.location);
    o["query"] = Q(s.query);
    o["drilldown"] = s.drilldown;
    o["queryTimeout"] = s.queryTimeout;
    return o;
}

void PrintSettings(const CompanySettings& s, bool reveal, std::ostream& out) {
    out << "[" << s.company << "]\n";
    if (!s.Configured()) out << "; not set up: no connection string\n";
    out << kKeyConnectionString << "="
        << (reveal ? s.connectionString : ado::MaskConnectionPasswords(s.connectionString)) << "\n"
        << kKeyLocation << "=" << s.location << "\n"
        << kKeyQuery << "=" << s.query << "\n"
        << kKeyDrilldown << "=" << (s.drilldown ? "True" : "False") << "\n"
        << kKeyQueryTimeout << "=" << s.queryTimeout << "\n";
}

int Show(const Args& args, SettingsAdmin& admin, std::ostream& out, std::ostream& err) {
    ParsedArgs p;
    if (!ParseArgs(args, {"--company"}, {"--json", "--reveal"}, "settings show", p, err)) return 2;
    if (!p.words.empty()) {
        err << "lumaro-admin: settings show: unexpected \"" << p.words[0] << "\"\n";
        return 2;
    }
    std::vector<std::string> companies;
    if (p.Has("--company"))
        companies.push_back(admin.FindCompany(p.Get("--company")));
    else
        companies = admin.Companies();

    const bool reveal = p.Flag("--reveal");
    if (p.Flag("--json")) {
        QJsonArray list;
        for (const std::string& c : companies) list.append(SettingsJson(admin.Read(c), reveal));
        QJsonDocument doc =
            p.Has("--company") ? QJsonDocument(list.at(0).toObject()) : QJsonDocument(list);
        out << doc.toJson(QJsonDocument::Indented).toStdString();
        return 0;
    }
    for (size_t i = 0; i < companies.size(); ++i) {
        if (i > 0) out << "\n";
        PrintSettings(admin.Read(companies[i]), reveal, out);
    }
    return 0;
}

int Set(const Args& args, SettingsAdmin& admin, std::ostream& out, std::ostream& err) {
    ParsedArgs p;
    if (!ParseArgs(
            args,
            {"--company", "--connection", "--location", "--query", "--drilldown", "--timeout"},
            {"--no-test", "--force"}, "settings set", p, err))
        return 2;
    if (!p.words.empty()) {
        err << "lumaro-admin: settings set: unexpected \"" << p.words[0] << "\"\n";
        return 2;
    }
    if (!p.Has("--company")) {
        err << "lumaro-admin: settings set: --company ID is required\n";
        return 2;
    }
    SettingsChange change;
    if (p.Has("--connection")) change.connectionString = p.Get("--connection");
    if (p.Has("--location")) change.location = p.Get("--location");
    if (p.Has("--query")) change.query = p.Get("--query");
    if (p.Has("--drilldown")) {
        bool value = false;
        if (!ParseDrilldownText(p.Get("--drilldown"), value)) {
            err << "lumaro-admin: settings set: --drilldown takes true or false, not \""
                << p.Get("--drilldown") << "\"\n";
            return 2;
        }
        change.drilldown = value;
    }
    if (p.Has("--timeout")) {
        const std::string text = p.Get("--timeout");
        int seconds = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
        if (ec != std::errc() || end != text.data() + text.size() || seconds < 1 ||
            seconds > kMaxQueryTimeout) {
            err << "lumaro-admin: settings set: --timeout takes seconds from 1 to "
                << kMaxQueryTimeout << ", not \"" << text << "\"\n";
            return 2;
        }
        change.queryTimeout = seconds;
    }
    if (change.Empty()) {
        err << "lumaro-admin: settings set: nothing to set (give --connection, --location, "
               "--query, "
               "--drilldown or --timeout)\n";
        return 2;
    }
    try {
        SettingsAdmin::Validate(change);
    } catch (const RuntimeError& e) {
        err << "lumaro-admin: settings set: " << e.Description() << "\n";
        return 2;
    }
    const std::string company = admin.FindCompany(p.Get("--company"));
    // As the settings dialog accepts nothing that fails its connection test. A company
    // left without a connection string is not set up: there is nothing to test.
    const bool configured = change.connectionString ? !change.connectionString->empty()
                                                    : admin.Read(company).Configured();
    if ((change.connectionString || change.location || change.query) && configured &&
        !p.Flag("--no-test")) {
        SettingsTestOutcome outcome;
        try {
            outcome = admin.Test(company, change, {});
        } catch (const RuntimeError& e) {
            err << "lumaro-admin: settings set: " << e.Description()
                << "\nNothing was written (--no-test stores settings that cannot be tested from "
                   "here).\n";
            return 1;
        }
        PrintWarnings(outcome, err);
        if (outcome.AllColumnsMissing() && !p.Flag("--force")) {
            err << "lumaro-admin: settings set: the query gives no quantity. Nothing was "
                   "written (--force stores it anyway).\n";
            return 1;
        }
    }
    admin.Write(company, change);
    out << "Settings of company " << company << " written to " << admin.IniPath() << ".\n";
    return 0;
}

int Test(const Args& args, SettingsAdmin& admin, std::ostream& out, std::ostream& err) {
    ParsedArgs p;
    if (!ParseArgs(args, {"--company", "--item"}, {"--json"}, "settings test", p, err)) return 2;
    if (!p.words.empty()) {
        err << "lumaro-admin: settings test: unexpected \"" << p.words[0] << "\"\n";
        return 2;
    }
    if (!p.Has("--company")) {
        err << "lumaro-admin: settings test: --company ID is required\n";
        return 2;
    }
    const std::string company = admin.FindCompany(p.Get("--company"));
    const std::string item = p.Get("--item");
    const CompanySettings settings = admin.Read(company);
    const SettingsTestOutcome r = admin.Test(company, {}, item);

    if (p.Flag("--json")) {
        QJsonObject o;
        o["company"] = Q(company);
        o["item"] = Q(item);
        o["location"] = Q(settings.location);
        o["statement"] = Q(r.statement);
        o["connectMs"] = r.connectMs;
        o["missingItemMs"] = r.missingItemMs;
        o["lookupMs"] = r.lookupMs;
        o["slow"] = r.slow;
        o["found"] = r.found;
        QJsonObject values;
        for (const auto& c : r.columns)
            if (c.present && r.found) values[Q(c.name)] = Q(c.value);
        o["quantities"] = values;
        QJsonArray plan, warnings;
        for (const std::string& line : r.plan) plan.append(Q(line));
        for (const std::string& line : r.Warnings()) warnings.append(Q(line));
        o["plan"] = plan;
        o["warnings"] = warnings;
        out << QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString();
    } else {
        out << kTestSucceeded << "\n"
            << "Company " << company << ", item \"" << item << "\", location " << settings.location
            << "\n"
            << "Statement: " << r.statement << "\n"
            << "Connection opened in " << Milliseconds(r.connectMs) << " ms\n";
        for (const auto& c : r.columns) {
            std::string name = c.name;
            name.resize(10, ' ');
            out << name << (!c.present ? "(missing)" : r.found ? c.value : "-") << "\n";
        }
        out << "Lookup of an item that does not exist took " << Milliseconds(r.missingItemMs)
            << " ms\n";
        if (!item.empty()) out << "Lookup took " << Milliseconds(r.lookupMs) << " ms\n";
        for (const std::string& line : r.plan) out << "Plan: " << line << "\n";
    }
    out.flush();  // the notes below go to standard error: keep them after the values
    if (!item.empty() && !r.found)
        err << "lumaro-admin: note: no row for item \"" << item << "\" at location "
            << settings.location << " (the panel shows such an item as not found)\n";
    PrintWarnings(r, err);
    return 0;
}

}  // namespace

int RunSettings(const Args& input, std::ostream& out, std::ostream& err) {
    if (input.empty()) {
        err << "lumaro-admin: settings what? (show, set, test)\n";
        return 2;
    }
    const std::string what = input[0];
    const Args args(input.begin() + 1, input.end());
    if (what != "show" && what != "set" && what != "test") {
        err << "lumaro-admin: settings: unknown action \"" << what << "\" (show, set, test)\n";
        return 2;
    }
    AccpacPaths paths;
    SettingsAdmin admin(paths, PlatformCompanies, PlatformLocations);
    try {
        if (what == "show") return Show(args, admin, out, err);
        if (what == "set") return Set(args, admin, out, err);
        return Test(args, admin, out, err);
    } catch (const RuntimeError& e) {
        err << "lumaro-admin: settings " << what << ": " << e.Description() << "\n";
        return 1;
    }
}

void WriteDemoSettings(std::ostream& out) {
    AccpacPaths paths;
    SettingsAdmin admin(paths, PlatformCompanies);
    const accpac::local::Site site = accpac::local::Site::Load();
    const accpac::local::SiteCompany* company = site.FindCompany(kDemoCompany);
    if (!company)
        throw RuntimeError(kErrAdminUnknownCompany, "lumaro-admin",
                           "The demo has no company SAMLTD.");
    admin.Write(company->id, SettingsAdmin::DemoSettings(site.DatabaseFile(*company)));
    out << "Settings of " << company->id << " written to " << admin.IniPath() << ".\n";
}

}  // namespace lumaro::admin
