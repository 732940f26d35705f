#include "platform/linux/EvdevKeyRouter.h"

#include <linux/input-event-codes.h>

#include "platform/linux/UsageTables.h"

namespace keylume::platform {

bool RouteEvdevEvent(FilterEngine& engine, const InputEventSpec& event) {
    if (event.type != EV_KEY)
        return true;
    const auto usage = UsageOfKeyCode(event.code);
    if (!usage)
        return true;
    if (event.value == 2)
        return !engine.Withheld(usage->page, usage->usage);
    if (event.value != 0 && event.value != 1)
        return true;
    return !engine.OnKey(FilterKey{usage->page, usage->usage, event.value == 1}).withheld;
}

}  // namespace keylume::platform
