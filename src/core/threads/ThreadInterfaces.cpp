#include "core/threads/ThreadInterfaces.h"

namespace keylume {

int UserDataHolder::SetUserData(void* pointer, std::int32_t value) {
    if (pointer == nullptr)
        return 0;
    auto* pair = new ThreadUserData{pointer, value};
    ThreadUserData* expected = nullptr;
    if (!userData_.compare_exchange_strong(expected, pair, std::memory_order_acq_rel)) {
        delete pair;
    }
    return 0;
}

UserDataHolder::~UserDataHolder() {
    delete userData_.load();
}

}  // namespace keylume
