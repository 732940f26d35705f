#include "core/threads/BaseRunable.h"

namespace keylume {

void BaseRunable::SetData(const std::uint8_t* bytes, std::int32_t length) {
    if (bytes == nullptr || length <= 0) {
        data_.clear();
        return;
    }
    data_.assign(bytes, bytes + length);
}

}  // namespace keylume
