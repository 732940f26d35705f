#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace keylume::platform {

// Port: a lock shared by every thread and process of the same user, known by its name.
//
// Promise: while a NamedLock::Held object lives, no other thread and no other process of the
// user holds the lock of that name. The lock is re-entrant for the thread that holds it (a nested
// Acquire on that thread returns at once), and the operating system frees it when the holding
// process dies, however it dies.
// Threads: any thread may acquire; a Held object is released on the thread that acquired it.
// Failure: Problem() says at start-up whether locks can be had at all (no runtime folder, a folder
// that is not ours); the program refuses to run without them. Should a lock still fail later (its
// folder removed while the program runs), Acquire returns a Held object that holds nothing and
// says so through Held::Owns(), rather than blocking forever.
class NamedLocks {
  public:
    class Held {
      public:
        virtual ~Held() = default;
        virtual bool Owns() const = 0;
    };

    virtual ~NamedLocks() = default;

    // Why no lock can be had, in words for the user; empty when locks work.
    virtual std::string Problem() const { return {}; }

    // Blocks without time limit until the calling thread holds `name`.
    virtual std::unique_ptr<Held> Acquire(std::string_view name) = 0;
};

// The lock service of the machine the program runs on (flock on Linux).
NamedLocks& SystemNamedLocks();

// Maps a lock name such as "HidDevice::Open" to a file name that is safe in any folder:
// letters, digits, '-' and '.' stay, every other byte becomes '_' followed by two hex digits.
std::string LockFileName(std::string_view name);

}  // namespace keylume::platform
