#include "platform/win32/ProcessWin32.h"

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Trace.h"

namespace keylume::platform::win32 {

bool ProcessRunnerWin32::RunAndWait(std::string_view application, std::string_view commandLine) {
    const std::wstring app = Widen(application);
    // CreateProcessW may write into the command line, so it gets a buffer of its own.
    std::wstring command = Widen(commandLine);
    std::vector<wchar_t> buffer(command.begin(), command.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(app.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
        TraceFailure("process", "CreateProcessW " + std::string(application));
        lastExitCode_ = -1;
        return false;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 0;
    lastExitCode_ = ::GetExitCodeProcess(process.Get(), &code) ? static_cast<long>(code) : -1;
    if (Trace::Enabled())
        Trace::Write("process",
                     std::string(application) + " exit " + std::to_string(lastExitCode_));
    return true;
}

std::string ProgramFolderWin32::ExecutableFolder() const {
    // Paths longer than the classic 260 characters are read whole.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            TraceFailure("process", "GetModuleFileNameW");
            return {};
        }
        if (length < buffer.size()) {
            std::wstring path(buffer.data(), length);
            const auto cut = path.find_last_of(L"\\/");
            return cut == std::wstring::npos ? std::string() : Narrow(path.substr(0, cut));
        }
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool ProgramFolderWin32::Is64BitHost() const {
#if defined(_WIN64)
    return true;
#else
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
#endif
}

bool ProgramFolderWin32::IsFile(std::string_view path) const {
    const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

InstanceMutex::InstanceMutex(std::string_view instanceName) {
    mutex_.Reset(::CreateMutexW(nullptr, TRUE, Widen(instanceName).c_str()));
    const DWORD error = ::GetLastError();
    if (!mutex_) {
        TraceFailure("instance", "CreateMutexW", error);
        return;
    }
    another_ = error == ERROR_ALREADY_EXISTS;
}

namespace {

std::mutex stopMutex;
std::function<void(int)> stopHandler;
std::atomic<bool> stopped{false};

void RunStop(int reason) {
    if (stopped.exchange(true))
        return;
    std::function<void(int)> handler;
    {
        std::lock_guard lock(stopMutex);
        handler = stopHandler;
    }
    if (handler)
        handler(reason);
}

BOOL WINAPI OnConsoleControl(DWORD type) {
    RunStop(static_cast<int>(type));
    // Ctrl+C and Ctrl+Break are handled; for close, logoff and shutdown the process ends anyway
    // once this returns, with the keys released.
    return TRUE;
}

LRESULT CALLBACK EndSessionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENDSESSION && wParam)
        RunStop(static_cast<int>(WM_ENDSESSION));
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool WatchStopEvents(std::function<void(int reason)> onStop) {
    {
        std::lock_guard lock(stopMutex);
        stopHandler = std::move(onStop);
    }
    const bool console = ::SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
    if (!console)
        TraceFailure("process", "SetConsoleCtrlHandler");

    // WM_ENDSESSION goes to top-level windows only; a hidden one on its own thread does.
    auto ready = std::make_shared<std::promise<bool>>();
    std::future<bool> created = ready->get_future();
    std::thread([ready] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = EndSessionProc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KeylumeEndSession";
        ::RegisterClassW(&windowClass);
        HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0,
                                        nullptr, nullptr, windowClass.hInstance, nullptr);
        ready->set_value(window != nullptr);
        if (window == nullptr)
            return;
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0)
            ::DispatchMessageW(&message);
    }).detach();
    return created.get() || console;
}

}  // namespace keylume::platform::win32
