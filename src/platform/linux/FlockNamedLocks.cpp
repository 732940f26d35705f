// Named locks on Linux: one lock file per name in the user's runtime folder, held with flock.
// flock locks belong to an open file description, so two threads of one process that open the file
// separately exclude each other like two processes do, and the kernel drops the lock with the last
// descriptor when the process dies.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/NamedLock.h"
#include "platform/linux/RuntimeFolder.h"

namespace keylume::platform {

namespace {

struct ThreadHold {
    int fd = -1;
    int depth = 0;
};

// Re-entrancy is a matter of the holding thread alone, so the bookkeeping is per thread.
thread_local std::map<std::string, ThreadHold> heldByThisThread;

class FlockHeld final : public NamedLocks::Held {
  public:
    FlockHeld(std::string name, bool owns) : name_(std::move(name)), owns_(owns) {}
    ~FlockHeld() override {
        if (!owns_)
            return;
        auto it = heldByThisThread.find(name_);
        if (it == heldByThisThread.end())
            return;
        if (--it->second.depth == 0) {
            ::flock(it->second.fd, LOCK_UN);
            ::close(it->second.fd);
            heldByThisThread.erase(it);
        }
    }
    bool Owns() const override { return owns_; }

  private:
    std::string name_;
    bool owns_;
};

class FlockNamedLocks final : public NamedLocks {
  public:
    std::string Problem() const override {
        const RuntimeFolderChoice folder = FindUserRuntimeFolder();
        if (!folder.path.empty())
            return {};
        return "cannot create a private runtime folder: " + folder.problem;
    }

    std::unique_ptr<Held> Acquire(std::string_view name) override {
        std::string key(name);
        auto it = heldByThisThread.find(key);
        if (it != heldByThisThread.end()) {
            ++it->second.depth;
            return std::make_unique<FlockHeld>(std::move(key), true);
        }
        const std::string folder = UserRuntimeFolder();
        if (folder.empty())
            return std::make_unique<FlockHeld>(std::move(key), false);
        const std::string file = folder + "/keylume-" + LockFileName(name) + ".lock";
        const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return std::make_unique<FlockHeld>(std::move(key), false);
        int rc;
        do {
            rc = ::flock(fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ::close(fd);
            return std::make_unique<FlockHeld>(std::move(key), false);
        }
        heldByThisThread[key] = ThreadHold{fd, 1};
        return std::make_unique<FlockHeld>(std::move(key), true);
    }
};

}  // namespace

NamedLocks& SystemNamedLocks() {
    static FlockNamedLocks locks;
    return locks;
}

}  // namespace keylume::platform
