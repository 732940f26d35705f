#include "platform/FilterEngine.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>

#include "platform/HidBus.h"
#include "platform/Trace.h"

namespace keylume::platform {

namespace {

using Record = std::array<std::uint8_t, 4>;

// Presses beyond this many waiting records reach the system instead: a program that stopped
// reading must not swallow the keyboard. Releases are always queued (their presses were).
constexpr std::size_t kMaxQueuedPresses = 1024;

std::uint32_t KeyCode(std::uint16_t page, std::uint16_t usage) {
    return static_cast<std::uint32_t>(page) << 16 | usage;
}

// The access a request asks of its handle, from bits 14-15 of the code: 1 read, 2 write.
bool HandleMayIssue(std::uint32_t code, std::uint32_t access) {
    const std::uint32_t required = (code >> 14) & 3u;
    if ((required & 1u) != 0 && (access & kAccessRead) == 0)
        return false;
    if ((required & 2u) != 0 && (access & kAccessWrite) == 0)
        return false;
    return true;
}

bool SamePathIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

void TraceIoctl(std::uint32_t code, std::span<const std::uint8_t> input) {
    if (!Trace::Enabled())
        return;
    char head[32];
    std::snprintf(head, sizeof head, "ioctl %x len=%zu", code, input.size());
    std::string text(head);
    std::size_t used = input.size();
    while (used > 0 && input[used - 1] == 0)
        --used;
    if (used > 0) {
        text.push_back(' ');
        text += HexBytes(input.first(used));
    }
    Trace::Write("filter", text);
}

}  // namespace

struct FilterEngine::State {
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::array<std::uint8_t, kFilterKeyTableSize> table{};
    bool capture = false;
    std::size_t openHandles = 0;
    std::size_t pending = 0;
    std::deque<Record> queue;
    std::map<std::uint32_t, FilterEngine::Route> held;  // where each held key's press went

    bool InTable(std::uint16_t page, std::uint16_t usage) const {
        for (std::size_t i = 0; i < kFilterKeyTableSize; i += 4) {
            if ((table[i + 3] & 0x02) == 0 || table[i + 2] != (page & 0xFF))
                continue;
            // The program sends only the low 8 bits of the usage id.
            const std::uint16_t entry = static_cast<std::uint16_t>(table[i] | table[i + 1] << 8);
            if (entry == usage || entry == (usage & 0xFF))
                return true;
        }
        return false;
    }

    std::size_t QueuedPresses() const {
        return static_cast<std::size_t>(
            std::count_if(queue.begin(), queue.end(), [](const Record& r) { return r[3] & 1; }));
    }
};

namespace {

class EngineHandle final : public FilterHandle {
  public:
    EngineHandle(std::shared_ptr<FilterEngine::State> state, std::uint32_t access)
        : state_(std::move(state)), access_(access) {
        std::lock_guard lock(state_->mutex);
        ++state_->openHandles;
    }

    ~EngineHandle() override {
        if (Trace::Enabled())
            Trace::Write("filter", "close");
        std::lock_guard lock(state_->mutex);
        closed_ = true;
        if (--state_->openHandles == 0) {
            // Nobody reads any more: a withheld key's release goes wherever the rules say then.
            state_->queue.clear();
            state_->capture = false;
            std::erase_if(state_->held, [](const auto& entry) { return entry.second.withheld; });
            for (auto& entry : state_->held)
                entry.second.reported = false;
        }
        state_->changed.notify_all();
    }

    ControlOutcome Control(std::uint32_t code, std::span<const std::uint8_t> input,
                           std::span<std::uint8_t> output, Event& abort) override {
        TraceIoctl(code, input);
        if (!HandleMayIssue(code, access_))
            return ControlOutcome::Failed;
        auto& s = *state_;
        switch (code) {
            case kFilterSetKeyTable: {
                if (input.size() > kFilterKeyTableSize)
                    return ControlOutcome::Failed;
                std::lock_guard lock(s.mutex);
                s.table.fill(0);
                std::copy_n(input.begin(), input.size() / 4 * 4, s.table.begin());
                return ControlOutcome::CompletedAtOnce;
            }
            case kFilterEndCapture: {
                std::lock_guard lock(s.mutex);
                s.capture = false;
                return ControlOutcome::CompletedAtOnce;
            }
            case kFilterDropPresses: {
                std::lock_guard lock(s.mutex);
                std::erase_if(s.queue, [](const Record& r) { return (r[3] & 1) != 0; });
                return ControlOutcome::CompletedAtOnce;
            }
            case kFilterCaptureAll: {
                if (input.size() < 4 || input[0] != 0 || input[1] != 0 || input[2] != 0 ||
                    input[3] != 0)
                    return ControlOutcome::Failed;
                std::lock_guard lock(s.mutex);
                s.capture = true;
                return ControlOutcome::CompletedAtOnce;
            }
            case kFilterNextEvent:
                if (output.size() < 4)
                    return ControlOutcome::Failed;
                return WaitForEvent(output, abort);
            default:
                return ControlOutcome::Failed;
        }
    }

    void CancelIo() override {
        std::lock_guard lock(state_->mutex);
        ++cancelGeneration_;
        state_->changed.notify_all();
    }

  private:
    ControlOutcome WaitForEvent(std::span<std::uint8_t> output, Event& abort) {
        auto state = state_;
        // The waker holds the state, not the handle, so a Set that runs late touches live memory.
        const auto waker = abort.Subscribe([state] {
            std::lock_guard lock(state->mutex);
            state->changed.notify_all();
        });
        ControlOutcome outcome = ControlOutcome::Aborted;
        {
            std::unique_lock lock(state->mutex);
            const std::uint64_t generation = cancelGeneration_;
            ++state->pending;
            for (;;) {
                if (!state->queue.empty()) {
                    const Record record = state->queue.front();
                    state->queue.pop_front();
                    std::copy(record.begin(), record.end(), output.begin());
                    if (Trace::Enabled())
                        Trace::Write("filter", "event " + HexBytes(record));
                    outcome = ControlOutcome::Completed;
                    break;
                }
                if (closed_ || cancelGeneration_ != generation || abort.TryConsume())
                    break;
                state->changed.wait(lock);
            }
            --state->pending;
        }
        abort.Unsubscribe(waker);
        return outcome;
    }

    std::shared_ptr<FilterEngine::State> state_;
    const std::uint32_t access_;
    bool closed_ = false;                 // guarded by the state's mutex
    std::uint64_t cancelGeneration_ = 0;  // likewise
};

}  // namespace

FilterEngine::FilterEngine(SystemSink toSystem)
    : state_(std::make_shared<State>()), toSystem_(std::move(toSystem)) {}

FilterEngine::~FilterEngine() = default;

std::unique_ptr<FilterHandle> FilterEngine::Open(std::string_view path, std::uint32_t access) {
    if (!SamePathIgnoringCase(path, kFilterControlPath))
        return nullptr;
    return std::make_unique<EngineHandle>(state_, access);
}

FilterEngine::Route FilterEngine::OnKey(const FilterKey& key) {
    const std::uint32_t code = KeyCode(key.page, key.usage);
    Route route;
    {
        auto& s = *state_;
        std::lock_guard lock(s.mutex);
        const auto it = s.held.find(code);
        if (it != s.held.end()) {
            route = it->second;
            if (!key.pressed)
                s.held.erase(it);
        } else {
            const bool connected = s.openHandles > 0;
            const bool bound = connected && s.InTable(key.page, key.usage);
            route.reported = bound || (connected && s.capture);
            route.withheld = bound;
            if (route.reported && key.pressed && s.QueuedPresses() >= kMaxQueuedPresses)
                route = Route{};
            if (key.pressed)
                s.held[code] = route;
        }
        if (route.reported) {
            s.queue.push_back(Record{static_cast<std::uint8_t>(key.usage & 0xFF),
                                     static_cast<std::uint8_t>(key.usage >> 8),
                                     static_cast<std::uint8_t>(key.page & 0xFF),
                                     static_cast<std::uint8_t>(key.pressed ? 1 : 0)});
            s.changed.notify_all();
        }
    }
    if (!route.withheld && toSystem_)
        toSystem_(key);
    return route;
}

bool FilterEngine::Withheld(std::uint16_t page, std::uint16_t usage) const {
    std::lock_guard lock(state_->mutex);
    const auto it = state_->held.find(KeyCode(page, usage));
    return it != state_->held.end() && it->second.withheld;
}

bool FilterEngine::Capturing() const {
    std::lock_guard lock(state_->mutex);
    return state_->capture;
}

std::array<std::uint8_t, kFilterKeyTableSize> FilterEngine::KeyTable() const {
    std::lock_guard lock(state_->mutex);
    return state_->table;
}

std::size_t FilterEngine::OpenHandles() const {
    std::lock_guard lock(state_->mutex);
    return state_->openHandles;
}

std::size_t FilterEngine::QueuedEvents() const {
    std::lock_guard lock(state_->mutex);
    return state_->queue.size();
}

std::size_t FilterEngine::PendingRequests() const {
    std::lock_guard lock(state_->mutex);
    return state_->pending;
}

}  // namespace keylume::platform
