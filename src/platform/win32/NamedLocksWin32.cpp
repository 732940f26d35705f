// Named locks on Windows: one named mutex per lock name, in the session's namespace. A mutex is
// re-entrant for the thread that owns it and is abandoned (so free again) when its owner dies.

#include <windows.h>

#include <string>

#include "platform/NamedLock.h"
#include "platform/win32/Win32Util.h"

namespace keylume::platform {

namespace {

using win32::UniqueHandle;

class MutexHeld final : public NamedLocks::Held {
  public:
    MutexHeld() = default;
    explicit MutexHeld(UniqueHandle mutex) : mutex_(std::move(mutex)) {}
    ~MutexHeld() override {
        if (mutex_)
            ::ReleaseMutex(mutex_.Get());
    }
    bool Owns() const override { return mutex_.Valid(); }

  private:
    UniqueHandle mutex_;
};

// The name as the system takes it: a backslash would name a namespace, so it is escaped.
std::wstring MutexName(std::string_view name) {
    if (name.find('\\') == std::string_view::npos)
        return win32::Widen(name);
    return win32::Widen(LockFileName(name));
}

class MutexNamedLocks final : public NamedLocks {
  public:
    std::unique_ptr<Held> Acquire(std::string_view name) override {
        const std::wstring wide = MutexName(name);
        // An existing lock is opened and waited for; a missing one is created already owned.
        UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, wide.c_str()));
        bool owned = false;
        if (!mutex) {
            mutex.Reset(::CreateMutexW(nullptr, TRUE, wide.c_str()));
            if (!mutex) {
                win32::TraceFailure("lock", "CreateMutexW " + std::string(name));
                return std::make_unique<MutexHeld>();
            }
            // Created by someone else in the meantime: our initial ownership was not granted.
            owned = ::GetLastError() != ERROR_ALREADY_EXISTS;
        }
        if (!owned) {
            const DWORD wait = ::WaitForSingleObject(mutex.Get(), INFINITE);
            // An abandoned mutex is ours now: its former owner died while holding it.
            if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
                win32::TraceFailure("lock", "WaitForSingleObject " + std::string(name));
                return std::make_unique<MutexHeld>();
            }
        }
        return std::make_unique<MutexHeld>(std::move(mutex));
    }
};

}  // namespace

NamedLocks& SystemNamedLocks() {
    static MutexNamedLocks locks;
    return locks;
}

}  // namespace keylume::platform
