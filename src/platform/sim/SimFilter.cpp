#include "platform/sim/SimFilter.h"

#include <cstdio>

#include "platform/Trace.h"

namespace keylume::platform {

SimFilter::SimFilter(SimSystemInput* system)
    : system_(system), engine_([this](const FilterKey& key) {
          const SimKeyTransition t{key.page, key.usage, key.pressed};
          if (Trace::Enabled()) {
              char text[40];
              std::snprintf(text, sizeof text, "key %x %s",
                            static_cast<unsigned>(key.page) << 16 | key.usage,
                            key.pressed ? "down" : "up");
              Trace::Write("system", text);
          }
          {
              std::lock_guard lock(mutex_);
              systemKeys_.push_back(t);
          }
          if (system_ != nullptr)
              system_->Deliver(t);
      }) {}

std::unique_ptr<FilterHandle> SimFilter::Open(std::string_view path, std::uint32_t access) {
    return engine_.Open(path, access);
}

bool SimFilter::InjectKey(std::uint16_t page, std::uint16_t usage, bool pressed) {
    return engine_.OnKey(FilterKey{page, usage, pressed}).withheld;
}

void SimFilter::TapKey(std::uint16_t page, std::uint16_t usage) {
    InjectKey(page, usage, true);
    InjectKey(page, usage, false);
}

std::vector<SimKeyTransition> SimFilter::SystemKeys() const {
    std::lock_guard lock(mutex_);
    return systemKeys_;
}

std::string SimFilter::SystemText() const {
    std::lock_guard lock(mutex_);
    return TypedText(systemKeys_);
}

}  // namespace keylume::platform
