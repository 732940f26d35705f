#include "core/settings/SettingsNotices.h"

#include <memory>
#include <mutex>
#include <set>
#include <utility>

#include "platform/Trace.h"

namespace keylume {

namespace {

std::mutex g_mutex;
std::shared_ptr<const SettingsNoticeSink> g_sink;
std::set<std::pair<int, std::string>> g_told;

const char* ReadStatusName(platform::ReadStatus status) {
    switch (status) {
        case platform::ReadStatus::kRead:
            return "not well-formed";
        case platform::ReadStatus::kMissing:
            return "missing";
        case platform::ReadStatus::kTooLarge:
            return "too large";
        case platform::ReadStatus::kFolder:
            return "a folder";
        case platform::ReadStatus::kNotAFile:
            return "not a regular file";
        case platform::ReadStatus::kDanglingLink:
            return "a link that leads nowhere";
        case platform::ReadStatus::kNoAccess:
            return "no access";
        case platform::ReadStatus::kFailed:
            return "read failed";
    }
    return "?";
}

std::string TraceLine(const SettingsNotice& n) {
    std::string line;
    switch (n.kind) {
        case SettingsNotice::Kind::kKeptUnreadable:
            line = "unreadable " + n.file.string() + " (" +
                   (n.empty ? "empty" : ReadStatusName(n.readStatus)) + ") kept as " +
                   n.copy.string();
            break;
        case SettingsNotice::Kind::kLeftUnreadable:
            line = "unreadable " + n.file.string() + " (" +
                   (n.empty ? "empty" : ReadStatusName(n.readStatus)) + ") left as it is";
            break;
        case SettingsNotice::Kind::kSaveFailed:
            line = "save " + n.file.string() + " failed";
            break;
    }
    if (!n.detail.empty())
        line += ": " + n.detail;
    return line;
}

}  // namespace

void SetSettingsNoticeSink(SettingsNoticeSink sink) {
    std::lock_guard lock(g_mutex);
    g_sink = sink ? std::make_shared<const SettingsNoticeSink>(std::move(sink)) : nullptr;
}

void ReportSettingsNotice(const SettingsNotice& notice) {
    platform::Trace::Write("settings", TraceLine(notice));
    std::shared_ptr<const SettingsNoticeSink> sink;
    {
        std::lock_guard lock(g_mutex);
        if (!g_sink)
            return;
        int group = notice.kind == SettingsNotice::Kind::kSaveFailed ? 1 : 0;
        if (!g_told.emplace(group, notice.file.lexically_normal().string()).second)
            return;
        sink = g_sink;
    }
    // Outside the lock: the sink may report again or take its time.
    (*sink)(notice);
}

void ForgetSettingsNotices() {
    std::lock_guard lock(g_mutex);
    g_told.clear();
}

}  // namespace keylume
