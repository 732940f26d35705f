// An imported group file on arbitrary bytes: what is accepted holds groups, and what the export
// writes for them is accepted again and written the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/GroupFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<keylume::MacroGroup> groups;
    if (!keylume::ReadGroupFile(text, groups)) {
        if (!groups.empty()) {
            std::fprintf(stderr, "a refused file left groups behind\n");
            std::abort();
        }
        return 0;
    }
    if (groups.empty()) {
        std::fprintf(stderr, "an accepted file gave no group\n");
        std::abort();
    }
    const std::string written = keylume::GroupFileText(groups);
    std::vector<keylume::MacroGroup> again;
    if (!keylume::ReadGroupFile(written, again) || again != groups) {
        std::fprintf(stderr, "the exported file does not import as the same groups:\n%s\n",
                     written.c_str());
        std::abort();
    }
    return 0;
}
