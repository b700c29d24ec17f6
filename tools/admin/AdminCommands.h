#pragma once
// The subcommands of lumaro-admin. A subcommand is a function that gets the words after
// its name and writes to out (results) and err (problems); it returns the exit code
// (0 success, 1 failure, 2 wrong usage). To add one, write its function in a file of its
// own and list it in AdminCommands() (AdminCommands.cpp).

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace lumaro::admin {

using Args = std::vector<std::string>;

struct AdminCommand {
    std::string name;
    std::string usage;  // one or more lines, each a complete call after "lumaro-admin"
    std::function<int(const Args& args, std::ostream& out, std::ostream& err)> run;
};

const std::vector<AdminCommand>& AdminCommands();

// The whole command line after the program name: global options (--machine DIR), then a
// subcommand and its words.
int RunAdmin(const Args& args, std::ostream& out, std::ostream& err);

// Helpers for subcommands. TakeFlag takes "--flag" out of args. TakeOption takes
// "--option value" out of args; false when the option is absent, or when its value is
// missing (reported to err).
bool TakeFlag(Args& args, const std::string& flag);
bool TakeOption(Args& args, const std::string& option, std::string& value, std::ostream& err);

// The subcommands.
int RunInstall(const Args& args, std::ostream& out, std::ostream& err);
int RunClass(const Args& args, std::ostream& out, std::ostream& err);

}  // namespace lumaro::admin
