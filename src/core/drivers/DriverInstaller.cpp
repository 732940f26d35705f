#include "core/drivers/DriverInstaller.h"

namespace keylume {

namespace {

std::string Join(const platform::ProgramFolder& folder, std::string_view base,
                 std::string_view name) {
    std::string path(base);
    path.push_back(folder.Separator());
    path.append(name);
    return path;
}

}  // namespace

const DriverTool& WindowsDriverTool() {
    static const DriverTool tool{
        "driver",
        "x64",
        "x86",
        "devcon.exe",
        "vhidflt.inf",
        "vhidev.inf",
        " remove root\\vhidev",
        " install \"",
        "\" root\\vhidev",
    };
    return tool;
}

const DriverTool& LinuxDriverTool() {
    static const DriverTool tool{
        "driver", "", "", "keylume-driver-setup", "", "", "", " install", "",
    };
    return tool;
}

std::string DefaultDriverFolder(const platform::ProgramFolder& folder, const DriverTool& tool) {
    std::string path = Join(folder, folder.ExecutableFolder(), tool.folderName);
    const std::string& sub = folder.Is64BitHost() ? tool.subFolder64 : tool.subFolder32;
    if (!sub.empty())
        path = Join(folder, path, sub);
    return path;
}

bool RunAndWait(platform::ProcessRunner& processes, std::string_view application,
                std::string_view commandLine) {
    if (application.empty())
        return false;
    return processes.RunAndWait(application, commandLine);
}

bool EnsureVirtualKeyboard(const DriverInstallation& with, std::string_view driverFolder) {
    if (with.vhidev.FindDevice(with.bus))
        return true;

    const std::string defaultFolder = DefaultDriverFolder(with.folder, with.tool);
    const std::string folder = driverFolder.empty() ? defaultFolder : std::string(driverFolder);
    const std::string tool = Join(with.folder, folder, with.tool.toolName);
    if (with.mayRun && !with.mayRun(tool))
        return false;

    if (!with.tool.removeArguments.empty())
        RunAndWait(with.processes, Join(with.folder, defaultFolder, with.tool.toolName),
                   with.tool.removeArguments);

    std::string setupFile;
    if (!with.tool.preferredSetupFile.empty() || !with.tool.fallbackSetupFile.empty()) {
        const std::string preferred = Join(with.folder, folder, with.tool.preferredSetupFile);
        setupFile = with.folder.IsFile(preferred)
                        ? preferred
                        : Join(with.folder, folder, with.tool.fallbackSetupFile);
    }
    const std::string arguments = with.tool.installBefore + setupFile + with.tool.installAfter;
    if (!RunAndWait(with.processes, tool, arguments))
        return false;

    return with.vhidev.FindDevice(with.bus);
}

}  // namespace keylume
