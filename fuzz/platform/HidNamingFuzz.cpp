// hidapi's device list, as arbitrary entries, named in the canonical form: every entry gets one
// name, the path reader finds its vendor and product in it, and a node's collections are told
// apart.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/device/HidPath.h"
#include "platform/linux/HidNaming.h"

namespace {

// Reads the entries one after another: a length-prefixed path, then the numbers.
class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
    std::string Text(std::size_t length) {
        std::string text;
        while (text.size() < length && !Empty())
            text += static_cast<char>(Byte());
        return text;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

[[noreturn]] void Fail(const char* what, const std::string& name) {
    std::fprintf(stderr, "%s: %s\n", what, name.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using keylume::platform::HidapiDeviceInfo;
    Reader in(data, size);
    std::vector<HidapiDeviceInfo> devices;
    while (!in.Empty() && devices.size() < 64) {
        HidapiDeviceInfo d;
        // Paths from a short list of nodes, so that nodes with several collections are common.
        const std::uint8_t pick = in.Byte();
        d.path = pick < 0xC0 ? "/dev/hidraw" + std::to_string(pick % 4) : in.Text(pick - 0xC0u);
        d.vendorId = in.Word();
        d.productId = in.Word();
        d.releaseNumber = in.Word();
        d.interfaceNumber = static_cast<std::int16_t>(in.Word());
        d.usagePage = in.Word();
        d.usage = in.Word();
        devices.push_back(std::move(d));
    }
    const auto named = keylume::platform::NameHidInterfaces(devices);
    if (named.size() != devices.size())
        Fail("entries lost or added", std::to_string(named.size()));
    std::set<std::pair<std::string, std::string>> seen;
    for (std::size_t i = 0; i < named.size(); ++i) {
        const auto& n = named[i];
        if (n.info != devices[i])
            Fail("the entry changed", n.name);
        if (n.name.rfind("hid#vid_", 0) != 0)
            Fail("not a canonical name", n.name);
        const keylume::HidPathFields fields = keylume::ParseHidPath(n.name);
        if (!fields.matched || fields.vendorId != devices[i].vendorId ||
            fields.productId != devices[i].productId)
            Fail("the path reader reads other identifiers", n.name);
        // Two collections of one node must not share a name.
        if (!seen.insert({devices[i].path, n.name}).second)
            Fail("two collections of one node share a name", n.name);
    }
    return 0;
}
