// lumaro-admin registry query KEY [--value NAME | --default] [--recursive] [--json]
// lumaro-admin registry set KEY [--value NAME | --default] [--type TYPE] [--data DATA]
// lumaro-admin registry delete KEY [--value NAME | --default]
// lumaro-admin registry export KEY FILE [--force]
// lumaro-admin registry import FILE

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <iostream>
#include <iterator>

#include "AdminCommands.h"
#include "admin/RegFile.h"
#include "common/RuntimeError.h"
#include "winapi/MachineFolder.h"

namespace lumaro::admin {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string ShownName(const std::string& name) { return name.empty() ? "(Default)" : name; }

QJsonObject ValueJson(const RegValueData& v) {
    QJsonObject o;
    o["name"] = Q(v.name);
    o["type"] = Q(RegTypeName(v.type));
    o["data"] = Q(RegDataText(v));
    return o;
}

QJsonObject KeyJson(const RegKeyTree& key) {
    QJsonObject o;
    o["key"] = Q(key.name);
    QJsonArray values;
    for (const RegValueData& v : key.values) values.append(ValueJson(v));
    o["values"] = values;
    QJsonArray subkeys;
    for (const RegKeyTree& sub : key.subkeys) subkeys.append(KeyJson(sub));
    o["subkeys"] = subkeys;
    return o;
}

void PrintValue(const RegValueData& v, std::ostream& out) {
    out << "    " << ShownName(v.name) << "    " << RegTypeName(v.type) << "    " << RegDataText(v)
        << "\n";
}

// As the reg tool shows a key: its name, its values indented, then (not recursive) the
// names of its subkeys, or (recursive) each subkey the same way.
void PrintKey(const RegKeyTree& key, bool recursive, std::ostream& out) {
    out << "\n" << key.name << "\n";
    for (const RegValueData& v : key.values) PrintValue(v, out);
    if (!recursive) {
        if (!key.subkeys.empty()) out << "\n";
        for (const RegKeyTree& sub : key.subkeys) out << sub.name << "\n";
        return;
    }
    for (const RegKeyTree& sub : key.subkeys) PrintKey(sub, true, out);
}

// The key named by the first word; false (after a message) when it is missing or wrong.
bool TakeKey(const ParsedArgs& p, size_t words, const std::string& context, RegKeyName& key,
             std::ostream& err) {
    if (p.words.size() != words) {
        err << "lumaro-admin: " << context << ": "
            << (p.words.size() < words ? "missing" : "too many")
            << " arguments (see lumaro-admin registry --help)\n";
        return false;
    }
    if (!ParseRegKeyName(p.words[0], key)) {
        err << "lumaro-admin: " << context << ": \"" << p.words[0]
            << "\" is not a key (HKEY_LOCAL_MACHINE\\..., HKLM\\..., HKCU, HKCR or HKU)\n";
        return false;
    }
    return true;
}

// --value NAME or --default: the value meant; false when neither is given.
bool ValueName(const ParsedArgs& p, std::string& name) {
    if (p.Flag("--default")) {
        name.clear();
        return true;
    }
    if (p.Has("--value")) {
        name = p.Get("--value");
        return true;
    }
    return false;
}

bool CheckValueChoice(const ParsedArgs& p, const std::string& context, std::ostream& err) {
    if (p.Flag("--default") && p.Has("--value")) {
        err << "lumaro-admin: " << context << ": give --value NAME or --default, not both\n";
        return false;
    }
    return true;
}

int Query(const Args& args, std::ostream& out, std::ostream& err) {
    ParsedArgs p;
    RegKeyName key;
    if (!ParseArgs(args, {"--value"}, {"--default", "--recursive", "--json"}, "registry query", p,
                   err) ||
        !CheckValueChoice(p, "registry query", err) || !TakeKey(p, 1, "registry query", key, err))
        return 2;
    std::string name;
    if (ValueName(p, name)) {
        RegValueData v;
        if (!ReadRegValue(key, name, v)) {
            err << "lumaro-admin: registry query: " << RegErrorText(ERROR_FILE_NOT_FOUND) << " ("
                << key.FullName() << ", value " << ShownName(name) << ")\n";
            return 1;
        }
        if (p.Flag("--json")) {
            QJsonObject o = ValueJson(v);
            o["key"] = Q(key.FullName());
            out << QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString();
        } else {
            out << "\n" << key.FullName() << "\n";
            PrintValue(v, out);
        }
        return 0;
    }
    const bool recursive = p.Flag("--recursive");
    RegKeyTree tree = ReadRegKey(key, recursive);
    if (p.Flag("--json")) {
        out << QJsonDocument(KeyJson(tree)).toJson(QJsonDocument::Indented).toStdString();
        return 0;
    }
    PrintKey(tree, recursive, out);
    return 0;
}

int Set(const Args& args, std::ostream& out, std::ostream& err) {
    ParsedArgs p;
    RegKeyName key;
    if (!ParseArgs(args, {"--value", "--type", "--data"}, {"--default"}, "registry set", p, err) ||
        !CheckValueChoice(p, "registry set", err) || !TakeKey(p, 1, "registry set", key, err))
        return 2;
    std::string name;
    if (!ValueName(p, name)) {
        if (p.Has("--type") || p.Has("--data")) {
            err << "lumaro-admin: registry set: --type and --data need --value NAME or --default\n";
            return 2;
        }
        CreateRegKey(key);
        out << "Key " << key.FullName() << " created.\n";
        return 0;
    }
    DWORD type = REG_SZ;
    if (p.Has("--type") && !ParseRegTypeName(p.Get("--type"), type)) {
        err << "lumaro-admin: registry set: unknown type \"" << p.Get("--type")
            << "\" (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY, "
               "REG_NONE)\n";
        return 2;
    }
    std::string data, problem;
    if (!ParseRegDataText(type, p.Get("--data"), data, problem)) {
        err << "lumaro-admin: registry set: " << problem << "\n";
        return 2;
    }
    SetRegValue(key, name, type, data);
    out << "Value " << ShownName(name) << " of " << key.FullName() << " set.\n";
    return 0;
}

int Delete(const Args& args, std::ostream& out, std::ostream& err) {
    ParsedArgs p;
    RegKeyName key;
    if (!ParseArgs(args, {"--value"}, {"--default"}, "registry delete", p, err) ||
        !CheckValueChoice(p, "registry delete", err) || !TakeKey(p, 1, "registry delete", key, err))
        return 2;
    std::string name;
    if (ValueName(p, name)) {
        DeleteRegValue(key, name);
        out << "Value " << ShownName(name) << " of " << key.FullName() << " deleted.\n";
        return 0;
    }
    DeleteRegKey(key);
    out << "Key " << key.FullName() << " deleted.\n";
    return 0;
}

int Export(const Args& args, std::ostream& out, std::ostream& err) {
    ParsedArgs p;
    RegKeyName key;
    if (!ParseArgs(args, {}, {"--force"}, "registry export", p, err) ||
        !TakeKey(p, 2, "registry export", key, err))
        return 2;
    const std::string& file = p.words[1];
    if (file == "-") {
        out << ExportRegText(key);
        return 0;
    }
    if (!p.Flag("--force") && std::filesystem::exists(std::filesystem::path(file))) {
        err << "lumaro-admin: registry export: " << file << " exists; give --force to replace it\n";
        return 1;
    }
    ExportRegFile(key, file, p.Flag("--force"));
    out << key.FullName() << " exported to " << file << ".\n";
    return 0;
}

int Import(const Args& args, std::ostream& out, std::ostream& err) {
    ParsedArgs p;
    if (!ParseArgs(args, {}, {}, "registry import", p, err)) return 2;
    if (p.words.size() != 1) {
        err << "lumaro-admin: registry import: give exactly one FILE\n";
        return 2;
    }
    const std::string& file = p.words[0];
    RegImportSummary summary;
    if (file == "-") {
        std::string text((std::istreambuf_iterator<char>(std::cin)),
                         std::istreambuf_iterator<char>());
        summary = ImportRegText(text);
    } else {
        std::error_code ec;
        if (std::filesystem::is_directory(file, ec) || !std::filesystem::exists(file, ec)) {
            err << "lumaro-admin: registry import: " << file
                << (ec || !std::filesystem::exists(file, ec) ? " does not exist\n"
                                                             : " is a folder, not a file\n");
            return 1;
        }
        summary = ImportRegFile(file);
    }
    out << "Imported " << summary.keys << " keys and " << summary.values << " values";
    if (summary.deleted) out << "; deleted " << summary.deleted << " keys or values";
    out << ".\n";
    return 0;
}

}  // namespace

int RunRegistry(const Args& input, std::ostream& out, std::ostream& err) {
    if (input.empty()) {
        err << "lumaro-admin: registry what? (query, set, delete, export, import)\n";
        return 2;
    }
    const std::string what = input[0];
    const Args args(input.begin() + 1, input.end());
    try {
        if (what == "query" && !std::filesystem::is_directory(winapi::MachineFolder())) {
            err << "lumaro-admin: registry query: the machine folder " << winapi::MachineFolder()
                << " does not exist\n";
            return 1;
        }
        if (what == "query") return Query(args, out, err);
        if (what == "set") return Set(args, out, err);
        if (what == "delete") return Delete(args, out, err);
        if (what == "export") return Export(args, out, err);
        if (what == "import") return Import(args, out, err);
    } catch (const RuntimeError& e) {
        err << "lumaro-admin: registry " << what << ": " << e.Description() << "\n";
        return 1;
    }
    err << "lumaro-admin: registry: unknown action \"" << what
        << "\" (query, set, delete, export, import)\n";
    return 2;
}

}  // namespace lumaro::admin
