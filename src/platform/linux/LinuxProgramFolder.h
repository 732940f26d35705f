#pragma once

#include "platform/ProcessRunner.h"

namespace keylume::platform {

// The program's folder from /proc/self/exe, the host's word size from uname, files by stat.
class LinuxProgramFolder final : public ProgramFolder {
  public:
    std::string ExecutableFolder() const override;
    bool Is64BitHost() const override;
    bool IsFile(std::string_view path) const override;
    char Separator() const override { return '/'; }
};

}  // namespace keylume::platform
