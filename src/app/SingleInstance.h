#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/NamedLock.h"

class QLocalServer;

namespace keylume {

// One running instance per user. The first start holds the named lock of the instance name for
// the life of the process and listens on a local socket of the same name; a later start finds the
// lock taken, asks the first one through the socket to show its window, and goes away.
//
// The lock is taken and held on a thread of its own, because a named lock is released on the
// thread that took it and taking one blocks while another process holds it.
// Threads: everything but the holder thread runs on the UI thread.
class SingleInstance {
  public:
    SingleInstance(platform::NamedLocks& locks, QString instanceName);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    enum class Claim {
        kFirst,        // this process now holds the lock
        kAnotherRuns,  // another process holds it (or held it for longer than `wait`)
        kNoLock,       // no lock can be had here: the program must not run unguarded
    };
    Claim Acquire(std::chrono::milliseconds wait = std::chrono::milliseconds(500));
    // Asks the instance holding the lock to show itself. False when nobody answered in time.
    bool AskFirstToShow(int timeoutMs = 2000);
    // Serves the requests of later starts; `onShow` runs on the UI thread for each one.
    bool Listen(std::function<void()> onShow);

    // The socket the instance listens on, in the user's private runtime folder; empty when there
    // is no such folder (there is no shared fallback another user could squat).
    QString SocketPath() const;

  private:
    void HolderMain();

    platform::NamedLocks& locks_;
    QString name_;
    std::thread holder_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool acquired_ = false;
    bool noLock_ = false;
    bool release_ = false;
    bool gaveUp_ = false;
    QLocalServer* server_ = nullptr;
};

}  // namespace keylume
