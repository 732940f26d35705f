#pragma once

// What every Windows backend shares: owned handles, text conversion between the ports' UTF-8 and
// the system's UTF-16, and error texts for the trace.

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace keylume::platform::win32 {

// A kernel handle with one owner; closed when the owner goes. Null and INVALID_HANDLE_VALUE both
// mean "no handle".
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return Valid(); }
    void Reset(HANDLE handle = nullptr);

  private:
    HANDLE handle_ = nullptr;
};

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// "error 2: The system cannot find the file specified." for an error code.
std::string ErrorText(DWORD error);

// Writes "<what> failed: error <n>: <text>" to the trace channel `channel`, with `error`
// (GetLastError() when not given), and returns the error code.
DWORD TraceFailure(std::string_view channel, std::string_view what, DWORD error = GetLastError());

}  // namespace keylume::platform::win32
