#include "platform/win32/Win32Util.h"

#include <cstdio>

#include "platform/Trace.h"

namespace keylume::platform::win32 {

void UniqueHandle::Reset(HANDLE handle) {
    if (Valid())
        ::CloseHandle(handle_);
    handle_ = handle;
}

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), length);
    return out;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty())
        return {};
    const int size = static_cast<int>(utf16.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), length, nullptr, nullptr);
    return out;
}

std::string ErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text != nullptr) {
        message = Narrow(std::wstring_view(text, length));
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                    message.back() == ' ' || message.back() == '.'))
            message.pop_back();
    }
    if (text != nullptr)
        ::LocalFree(text);
    char head[32];
    std::snprintf(head, sizeof head, "error %lu", static_cast<unsigned long>(error));
    return message.empty() ? std::string(head) : std::string(head) + ": " + message;
}

DWORD TraceFailure(std::string_view channel, std::string_view what, DWORD error) {
    if (Trace::Enabled())
        Trace::Write(channel, std::string(what) + " failed: " + ErrorText(error));
    return error;
}

}  // namespace keylume::platform::win32
