#include "AdminCommands.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "common/RuntimeError.h"
#include "common/VersionInfo.h"

namespace lumaro::admin {

const std::vector<AdminCommand>& AdminCommands() {
    static const std::vector<AdminCommand> commands = {
        {"install",
         "install demo [--force]\n"
         "install company ID --name NAME [--inactive APP]... [--create]",
         RunInstall,
         "demo     creates the demo platform installation (companies SAMLTD and SAMINC, users\n"
         "         ADMIN and SYSOP) and writes SAMLTD's program settings, so that the program\n"
         "         runs on it at once; --force replaces an existing installation.\n"
         "company  adds a company with empty tables and one location WH1.\n"},
        {"class", "class register PROGID\nclass unregister PROGID", RunClass,
         "Registers or unregisters a class of the platform by its ProgID.\n"},
        {"settings",
         "settings show [--company ID] [--json] [--reveal]\n"
         "settings set --company ID [--connection S] [--location L] [--query Q]"
         " [--drilldown true|false] [--timeout SECONDS] [--no-test] [--force]\n"
         "settings test --company ID [--item ITEM] [--json]",
         RunSettings,
         "The program's settings per company, in the settings file of the platform's company\n"
         "folder, read and written by the program's own settings code.\n"
         "show  the four settings of one company or of all; the connection string with its\n"
         "      passwords as **** unless --reveal.\n"
         "set   writes only the settings given (the connection string encoded, as the program\n"
         "      stores it). Blanks around the location and the query are dropped, as the\n"
         "      program drops them when reading. A new connection string, location or query\n"
         "      is first tested as the settings dialog tests it (the connection opens, location\n"
         "      and query are not blank, the query runs); --no-test skips that, for a database\n"
         "      that cannot be reached from here. An empty connection string is not tested: it\n"
         "      marks the company as not set up. Nothing is written when anything is wrong.\n"
         "test  opens the connection and runs the query for ITEM (empty when not given) at the\n"
         "      company's location, as the settings dialog's connection test does; prints the\n"
         "      five quantities and the time taken, and warns when the lookup takes over 20 ms.\n"},
        {"registry",
         "registry query KEY [--value NAME | --default] [--recursive] [--json]\n"
         "registry set KEY [--value NAME | --default] [--type TYPE] [--data DATA]\n"
         "registry delete KEY [--value NAME | --default]\n"
         "registry export KEY FILE [--force]\n"
         "registry import FILE",
         RunRegistry,
         "The registry of the machine folder, in the manner of the Windows reg tool.\n"
         "KEY    HKEY_LOCAL_MACHINE\\Software\\... (or HKLM, HKCU, HKCR, HKU).\n"
         "query  the key's values and subkeys (--recursive: the whole subtree), or one value.\n"
         "set    creates the key and sets a value (without --value or --default, only the key);\n"
         "       TYPE is REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ (items separated by \\0),\n"
         "       REG_DWORD, REG_QWORD (decimal or 0x hex), REG_BINARY or REG_NONE (hex digits).\n"
         "delete a value, or the key with all its subkeys.\n"
         "export writes the key and its subtree to a registry file (.reg); FILE - is standard\n"
         "       output; an existing file is replaced only with --force.\n"
         "import reads a registry file (FILE - is standard input). The whole file is checked\n"
         "       first: on a syntax error (its line is named) or a read-only hive nothing is\n"
         "       imported.\n"},
    };
    return commands;
}

namespace {

void PrintUsageLines(const AdminCommand& command, std::ostream& out) {
    const std::string& usage = command.usage;
    size_t start = 0;
    while (start <= usage.size()) {
        size_t end = usage.find('\n', start);
        if (end == std::string::npos) end = usage.size();
        out << "  lumaro-admin " << usage.substr(start, end - start) << '\n';
        start = end + 1;
    }
}

void Usage(std::ostream& out) {
    out << "Usage: lumaro-admin [--machine DIR] COMMAND ...\n"
           "       lumaro-admin --help | --version\n";
    for (const AdminCommand& command : AdminCommands()) PrintUsageLines(command, out);
    out << "--machine DIR works on the machine folder DIR (default: $LUMARO_MACHINE, or\n"
           "~/.local/share/lumaro/machine). COMMAND --help tells more about a command.\n"
           "Exit status: 0 success, 1 failed operation, 2 wrong usage.\n";
}

}  // namespace

void CommandUsage(const AdminCommand& command, std::ostream& out) {
    out << "Usage:\n";
    PrintUsageLines(command, out);
    if (!command.help.empty()) out << "\n" << command.help;
}

bool ParsedArgs::Flag(const std::string& flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

std::string ParsedArgs::Get(const std::string& option) const {
    auto it = options.find(option);
    return it == options.end() ? std::string() : it->second;
}

bool ParseArgs(const Args& args, const std::vector<std::string>& valueOptions,
               const std::vector<std::string>& flags, const std::string& context,
               ParsedArgs& parsed, std::ostream& err) {
    auto known = [](const std::vector<std::string>& list, const std::string& name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (optionsEnded || word.size() < 2 || word.compare(0, 2, "--") != 0) {
            parsed.words.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t eq = word.find('=');
        const std::string name = word.substr(0, eq);
        if (known(flags, name)) {
            if (eq != std::string::npos) {
                err << "lumaro-admin: " << context << ": " << name << " takes no value\n";
                return false;
            }
            if (parsed.Flag(name)) {
                err << "lumaro-admin: " << context << ": " << name << " is given twice\n";
                return false;
            }
            parsed.flags.push_back(name);
            continue;
        }
        if (!known(valueOptions, name)) {
            err << "lumaro-admin: " << context << ": unknown option " << name << "\n";
            return false;
        }
        if (parsed.Has(name)) {
            err << "lumaro-admin: " << context << ": " << name << " is given twice\n";
            return false;
        }
        if (eq != std::string::npos) {
            parsed.options[name] = word.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            parsed.options[name] = args[++i];
        } else {
            err << "lumaro-admin: " << context << ": " << name << " needs a value\n";
            return false;
        }
    }
    return true;
}

bool TakeFlag(Args& args, const std::string& flag) {
    auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end()) return false;
    args.erase(it);
    return true;
}

bool TakeOption(Args& args, const std::string& option, std::string& value, std::ostream& err) {
    auto it = std::find(args.begin(), args.end(), option);
    if (it == args.end()) return false;
    if (it + 1 == args.end()) {
        err << "lumaro-admin: " << option << " needs a value\n";
        args.erase(it);
        value.clear();
        return false;
    }
    value = *(it + 1);
    args.erase(it, it + 2);
    return true;
}

int RunAdmin(const Args& input, std::ostream& out, std::ostream& err) {
    Args args = input;
    std::string machine;
    if (TakeOption(args, "--machine", machine, err)) setenv("LUMARO_MACHINE", machine.c_str(), 1);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        Usage(args.empty() ? err : out);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") {
        out << "lumaro-admin (" << CompanyName() << ' ' << ProductName() << ") " << VersionString()
            << '\n';
        return 0;
    }
    for (const AdminCommand& command : AdminCommands()) {
        if (command.name != args[0]) continue;
        if (std::find_if(args.begin() + 1, args.end(), [](const std::string& a) {
                return a == "--help" || a == "-h";
            }) != args.end()) {
            CommandUsage(command, out);
            return 0;
        }
        try {
            return command.run(Args(args.begin() + 1, args.end()), out, err);
        } catch (const RuntimeError& error) {
            err << "lumaro-admin: " << error.Description() << '\n';
            return 1;
        } catch (const std::exception& error) {
            err << "lumaro-admin: " << error.what() << '\n';
            return 1;
        }
    }
    err << "lumaro-admin: unknown command \"" << args[0] << "\"\n";
    Usage(err);
    return 2;
}

}  // namespace lumaro::admin
