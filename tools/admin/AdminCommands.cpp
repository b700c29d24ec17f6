#include "AdminCommands.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "common/RuntimeError.h"

namespace lumaro::admin {

const std::vector<AdminCommand>& AdminCommands() {
    static const std::vector<AdminCommand> commands = {
        {"install",
         "install demo [--force]\n"
         "install company ID --name NAME [--inactive APP]...",
         RunInstall},
        {"class", "class register PROGID\nclass unregister PROGID", RunClass},
    };
    return commands;
}

namespace {

void Usage(std::ostream& out) {
    out << "Usage: lumaro-admin [--machine DIR] COMMAND ...\n";
    for (const AdminCommand& command : AdminCommands()) {
        std::string usage = command.usage;
        size_t start = 0;
        while (start <= usage.size()) {
            size_t end = usage.find('\n', start);
            if (end == std::string::npos) end = usage.size();
            out << "  lumaro-admin " << usage.substr(start, end - start) << '\n';
            start = end + 1;
        }
    }
    out << "--machine DIR works on the machine folder DIR (default: $LUMARO_MACHINE, or\n"
           "~/.local/share/lumaro/machine).\n";
}

}  // namespace

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
    for (const AdminCommand& command : AdminCommands()) {
        if (command.name != args[0]) continue;
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
