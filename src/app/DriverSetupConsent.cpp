#include "app/DriverSetupConsent.h"

#include <cstdio>

namespace keylume {

DriverSetupConsent::DriverSetupConsent(LocationCheck check, Ask ask, Tell tell)
    : check_(std::move(check)), ask_(std::move(ask)), tell_(std::move(tell)) {}

const char* DriverSetupConsent::Question() {
    return "Keylume needs a one-time set-up with administrator rights to type through its virtual "
           "keyboard. It will install a udev rule that lets you use this keyboard and /dev/uinput, "
           "and load the uinput module at every start of the computer. You will be asked for "
           "your password next. Set it up now?";
}

const char* DriverSetupConsent::RunByHand() {
    return "Keylume needs a one-time set-up with administrator rights to type through its virtual "
           "keyboard. It does not start it from this folder, because users other than root can "
           "change the files in it. To set it up, run this command in a terminal:";
}

std::string DriverSetupConsent::ManualCommand(const std::string& tool) {
    std::string quoted = "'";
    for (const char c : tool) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted.push_back(c);
    }
    quoted += "'";
    return "sudo " + quoted + " install";
}

bool DriverSetupConsent::MayRun(const std::string& tool) {
    if (declined_)
        return false;
    const std::string why = check_ ? check_(tool) : std::string("no location check");
    if (!why.empty()) {
        std::fprintf(stderr, "keylume: not starting the driver set-up: %s\n", why.c_str());
        std::fprintf(stderr, "keylume: to set it up, run: %s\n", ManualCommand(tool).c_str());
        if (!toldToRunByHand_ && tell_) {
            toldToRunByHand_ = true;
            tell_(std::string(RunByHand()) + "\n\n" + ManualCommand(tool));
        }
        return false;
    }
    if (!ask_ || !ask_(Question())) {
        declined_ = true;
        return false;
    }
    return true;
}

}  // namespace keylume
