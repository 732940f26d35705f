#include "platform/linux/LinuxProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <future>
#include <memory>
#include <thread>

extern char** environ;

namespace keylume::platform {

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument)
                args.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            current.push_back(c);
            inArgument = true;
        }
    }
    if (inArgument)
        args.push_back(std::move(current));
    return args;
}

bool LinuxProcessRunner::RunAndWait(std::string_view application, std::string_view commandLine) {
    if (application.empty())
        return false;
    std::vector<std::string> args{std::string(application)};
    for (auto& a : SplitCommandLine(commandLine))
        args.push_back(std::move(a));
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The tool gets the default signal mask, whatever the program blocks for its watcher.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    // Nor does it inherit the program's ignored SIGPIPE.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, args[0].c_str(), nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

bool WatchStopSignals(std::function<void(int signal)> onStop, std::function<void()> onForcedEnd,
                      std::chrono::milliseconds forcedEndGrace) {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&set, signal);
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0)
        return false;
    ::signal(SIGPIPE, SIG_IGN);
    try {
        std::thread([set, onStop = std::move(onStop), onForcedEnd = std::move(onForcedEnd),
                     forcedEndGrace] {
            int signal = 0;
            if (sigwait(&set, &signal) != 0)
                return;
            if (onStop)
                onStop(signal);
            if (sigwait(&set, &signal) != 0)
                return;
            // Asked twice: the keys are released before the process ends, but a shutdown that
            // hangs (perhaps holding the lock the release needs) cannot keep it alive.
            if (onForcedEnd) {
                auto done = std::make_shared<std::promise<void>>();
                auto finished = done->get_future();
                try {
                    std::thread([done, onForcedEnd] {
                        onForcedEnd();
                        done->set_value();
                    }).detach();
                    finished.wait_for(forcedEndGrace);
                } catch (const std::system_error&) {
                }
            }
            ::_exit(128 + signal);
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

}  // namespace keylume::platform
