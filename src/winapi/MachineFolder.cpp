#include "winapi/MachineFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace winapi {

std::string MachineFolder() {
    if (const char* machine = std::getenv("LUMARO_MACHINE"); machine && *machine) return machine;
    // The XDG rules: $XDG_DATA_HOME when set to an absolute path, otherwise ~/.local/share.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
        return std::string(data) + "/lumaro/machine";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home + "/.local/share/lumaro/machine";
}

}  // namespace winapi
