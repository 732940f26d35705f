#include "platform/linux/LinuxProgramFolder.h"

#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <string>

namespace keylume::platform {

std::string LinuxProgramFolder::ExecutableFolder() const {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size())
        return {};
    path.resize(static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool LinuxProgramFolder::Is64BitHost() const {
    utsname name{};
    if (::uname(&name) != 0)
        return sizeof(void*) == 8;
    const std::string machine = name.machine;
    return machine.find("64") != std::string::npos || machine == "s390x";
}

bool LinuxProgramFolder::IsFile(std::string_view path) const {
    struct stat st {};
    return ::stat(std::string(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace keylume::platform
