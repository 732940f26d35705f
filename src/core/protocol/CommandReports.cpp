#include "core/protocol/CommandReports.h"

namespace keylume {

namespace {

CommandReport Frame(std::uint8_t selector) {
    return CommandReport{kCommandReportId, 0xFF, 0xFF, selector, 0x00, 0x00, 0x00, 0x00};
}

std::uint8_t DirectionOf(std::uint8_t selection) {
    switch (selection) {
        case 1:
            return 0;
        case 2:
            return 1;
        case 3:
            return 2;
        default:
            return selection;
    }
}

}  // namespace

CommandReport AdjustedLedEffectReport(int effect, const LedEffectItem& item) {
    CommandReport r = Frame(static_cast<std::uint8_t>(effect));
    r[4] = item.brightness > 5 ? 5 : item.brightness;
    r[5] = item.speed;
    r[6] = DirectionOf(item.selection);
    r[7] = 0x00;
    return r;
}

CommandReport StoredLedEffectReport(int effect, const LedEffectItem& item) {
    CommandReport r = Frame(static_cast<std::uint8_t>(effect));
    r[4] = item.brightness;
    r[5] = item.speed;
    r[6] = item.deriction;
    r[7] = item.selection;
    return r;
}

CommandReport SideLightReport(int mode, SideLightItem item) {
    CommandReport r = Frame(kSideLightSelector);
    r[6] = static_cast<std::uint8_t>((item.value & 0xF0) | (mode & 0x0F));
    return r;
}

int FirmwareVersionFromAnswer(const CommandReport& answer) {
    return answer[1] * 256 + answer[2];
}

}  // namespace keylume
