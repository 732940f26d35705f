#include "Win32TestSupport.h"

#include <vector>

namespace keylume::test {

bool UnderWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::wstring OwnExecutable() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return std::wstring(buffer.data(), length);
}

HANDLE StartSelf(const std::wstring& arguments, const std::wstring& environmentEntry) {
    if (!environmentEntry.empty()) {
        const auto eq = environmentEntry.find(L'=');
        ::SetEnvironmentVariableW(environmentEntry.substr(0, eq).c_str(),
                                  environmentEntry.substr(eq + 1).c_str());
    }
    std::wstring command = L"\"" + OwnExecutable() + L"\" " + arguments;
    std::vector<wchar_t> buffer(command.begin(), command.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0,
                                          nullptr, nullptr, &startup, &info);
    if (!environmentEntry.empty())
        ::SetEnvironmentVariableW(environmentEntry.substr(0, environmentEntry.find(L'=')).c_str(),
                                  nullptr);
    if (!started)
        return nullptr;
    ::CloseHandle(info.hThread);
    return info.hProcess;
}

}  // namespace keylume::test
