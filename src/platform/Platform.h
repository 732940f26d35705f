#pragma once

#include <memory>

#include "platform/Clock.h"
#include "platform/DeviceBroadcasts.h"
#include "platform/FilterDevice.h"
#include "platform/HidBus.h"
#include "platform/NamedLock.h"
#include "platform/ProcessRunner.h"

namespace keylume::platform {

// Every port the program uses, from one backend. Components take the ports they need by reference;
// the application builds one Platform at start-up (the built-in keyboard or the real devices) and
// keeps it for the life of the process.
struct Platform {
    virtual ~Platform() = default;

    virtual NamedLocks& Locks() = 0;
    virtual HidBus& Hid() = 0;
    virtual DeviceBroadcasts& Broadcasts() = 0;
    virtual FilterDevice& Filter() = 0;
    virtual ProcessRunner& Processes() = 0;
    virtual ProgramFolder& Folder() = 0;
    virtual Clock& Time() = 0;
};

}  // namespace keylume::platform
