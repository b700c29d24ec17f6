#pragma once
// The subcommands of lumaro-admin. A subcommand is a function that gets the words after
// its name and writes to out (results) and err (problems); it returns the exit code
// (0 success, 1 failure, 2 wrong usage). To add one, write its function in a file of its
// own and list it in AdminCommands() (AdminCommands.cpp).

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace lumaro::admin {

using Args = std::vector<std::string>;

struct AdminCommand {
    std::string name;
    std::string usage;  // one or more lines, each a complete call after "lumaro-admin"
    std::function<int(const Args& args, std::ostream& out, std::ostream& err)> run;
    std::string help;  // what `lumaro-admin COMMAND --help` shows after the usage lines
};

const std::vector<AdminCommand>& AdminCommands();
// "Usage:" with the command's usage lines, then its help.
void CommandUsage(const AdminCommand& command, std::ostream& out);

// The whole command line after the program name: global options (--machine DIR), then a
// subcommand and its words.
int RunAdmin(const Args& args, std::ostream& out, std::ostream& err);

// Helpers for subcommands. TakeFlag takes "--flag" out of args. TakeOption takes
// "--option value" out of args; false when the option is absent, or when its value is
// missing (reported to err).
bool TakeFlag(Args& args, const std::string& flag);
bool TakeOption(Args& args, const std::string& option, std::string& value, std::ostream& err);

// Strict parsing for subcommands: the words are options ("--name value" or "--name=value"
// for the names in valueOptions, "--name" for the names in flags) and positional words,
// in any order ("--" ends the options). An unknown option, an option given twice or a
// missing value is reported to err (prefixed by `context`) and gives false.
struct ParsedArgs {
    std::map<std::string, std::string> options;
    std::vector<std::string> flags;
    std::vector<std::string> words;
    bool Has(const std::string& option) const { return options.count(option) > 0; }
    bool Flag(const std::string& flag) const;
    std::string Get(const std::string& option) const;
};
bool ParseArgs(const Args& args, const std::vector<std::string>& valueOptions,
               const std::vector<std::string>& flags, const std::string& context,
               ParsedArgs& parsed, std::ostream& err);

// The subcommands.
int RunInstall(const Args& args, std::ostream& out, std::ostream& err);
int RunClass(const Args& args, std::ostream& out, std::ostream& err);
int RunSettings(const Args& args, std::ostream& out, std::ostream& err);
int RunRegistry(const Args& args, std::ostream& out, std::ostream& err);

// Writes the demo company's settings (SAMLTD: its SQLite database, location WH1, the
// first-run query, drilldown on) through the program's settings code.
void WriteDemoSettings(std::ostream& out);

}  // namespace lumaro::admin
