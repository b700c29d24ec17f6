// lumaro-admin class register PROGID
// lumaro-admin class unregister PROGID

#include "AdminCommands.h"
#include "accpac/local/Installation.h"

namespace lumaro::admin {

int RunClass(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2 || (args[0] != "register" && args[0] != "unregister")) {
        err << "lumaro-admin: class register|unregister PROGID\n";
        return 2;
    }
    if (args[0] == "register") {
        accpac::local::Installation::RegisterPlatformClass(args[1]);
        out << "Class " << args[1] << " registered.\n";
    } else {
        accpac::local::Installation::UnregisterPlatformClass(args[1]);
        out << "Class " << args[1] << " unregistered.\n";
    }
    return 0;
}

}  // namespace lumaro::admin
