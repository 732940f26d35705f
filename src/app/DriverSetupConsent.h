#pragma once

#include <functional>
#include <string>

namespace keylume {

// Decides whether the driver set-up tool may be started, which asks for the administrator's
// password and then changes the system.
//
// The tool is started only from a location that nobody but root can change (an installed copy):
// from anywhere else (a build tree, a home folder) any program of the user could swap it before
// it runs as root. Then the user gets the exact command to run by hand instead. Before a password
// prompt the user is asked, in words that say what will change; after a "no" the question is not
// asked again in this run.
// Threads: the UI thread.
class DriverSetupConsent {
  public:
    // Why `tool` may not be run as root; empty when it may.
    using LocationCheck = std::function<std::string(const std::string& tool)>;
    // Shows `question` with the answers yes and no; true for yes.
    using Ask = std::function<bool(const std::string& question)>;
    // Shows `message` with an OK button.
    using Tell = std::function<void(const std::string& message)>;

    DriverSetupConsent(LocationCheck check, Ask ask, Tell tell);

    // True when the tool at `tool` may be started now.
    bool MayRun(const std::string& tool);

    // What the user is asked before the password prompt.
    static const char* Question();
    // The first part of the message for a tool that must be run by hand; the command follows.
    static const char* RunByHand();
    // The command that runs the tool by hand, quoted for a POSIX shell.
    static std::string ManualCommand(const std::string& tool);

  private:
    LocationCheck check_;
    Ask ask_;
    Tell tell_;
    bool declined_ = false;
    bool toldToRunByHand_ = false;
};

}  // namespace keylume
