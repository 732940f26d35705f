#include "core/drivers/FilterChannel.h"

#include <array>
#include <chrono>
#include <system_error>

#include "core/settings/KeyTable.h"
#include "platform/HidBus.h"

namespace keylume {

namespace {

constexpr const char* kControlDevicePath = "\\\\.\\vhidflt";
constexpr auto kIdlePause = std::chrono::milliseconds(10);

}  // namespace

FilterChannel::FilterChannel(platform::FilterDevice& device, RecordStore& records)
    : device_(device), records_(records) {}

FilterChannel::~FilterChannel() {
    StopListening();
    ClearKeyTable();
    {
        // The owner is being destroyed and releases every key itself; its listeners are not
        // called from here any more.
        std::lock_guard lock(listenerMutex_);
        listeners_.clear();
        listenerCount_.store(0);
        reportedPressed_.clear();
    }
    Close();
    if (reader_.joinable())
        reader_.join();
}

void FilterChannel::Open() {
    Close();
    devicePath_ = kControlDevicePath;
    auto readHandle = device_.Open(devicePath_, platform::kAccessRead);
    auto writeHandle = device_.Open(devicePath_, desiredAccess_ & platform::kAccessWrite);
    auto requestHandle = device_.Open(
        devicePath_, desiredAccess_ & (platform::kAccessRead | platform::kAccessWrite));
    {
        std::lock_guard lock(handleMutex_);
        read_.handle = std::move(readHandle);
        write_.handle = std::move(writeHandle);
        request_.handle = std::move(requestHandle);
    }
    // The filter forgets capture with its last handle: a re-open (a device arrival while the
    // editor records) must not leave the unbound keys unreported.
    std::lock_guard capture(captureMutex_);
    RestoreCaptureLocked();
}

void FilterChannel::Close() {
    CloseHandles();
    ReleaseReportedKeys();
}

void FilterChannel::CloseHandles() {
    for (HandleSlot* slot : {&read_, &write_, &request_}) {
        std::unique_lock lock(handleMutex_);
        if (!slot->handle)
            continue;
        // Taken out under the lock, so no new request can start on it.
        std::unique_ptr<platform::FilterHandle> handle = std::move(slot->handle);
        slot->abort.Set();
        handle->CancelIo();
        // A request that was about to go pending when the abort came still has to be ended.
        while (!handleIdle_.wait_for(lock, std::chrono::milliseconds(5),
                                     [slot] { return slot->users == 0; })) {
            slot->abort.Set();
            handle->CancelIo();
        }
        handle.reset();
    }
}

bool FilterChannel::IsOpen() const {
    std::lock_guard lock(handleMutex_);
    return request_.handle != nullptr;
}

int FilterChannel::Control(std::uint32_t code, std::span<const std::uint8_t> input,
                           std::span<std::uint8_t> output) {
    platform::FilterHandle* handle = nullptr;
    {
        std::lock_guard lock(handleMutex_);
        if (!request_.handle)
            return 0;
        handle = request_.handle.get();
        ++request_.users;
        // Reset while the handle is held under the lock: an abort from Close or StopListening
        // comes after this and is not lost.
        request_.abort.ResetEvent();
    }
    const auto outcome = handle->Control(code, input, output, request_.abort);
    {
        std::lock_guard lock(handleMutex_);
        --request_.users;
    }
    handleIdle_.notify_all();
    // A request that completed without going pending counts as not done.
    return outcome == platform::ControlOutcome::Completed ? 1 : 0;
}

bool FilterChannel::StartListening() {
    if (OnReaderThread())
        return false;
    StopListening();
    {
        // The start requests end the filter's capture; a reason that remains asks again.
        std::lock_guard capture(captureMutex_);
        Control(kFilterStartFirst);
        Control(kFilterStartSecond);
        RestoreCaptureLocked();
    }
    std::lock_guard lifecycle(lifecycleMutex_);
    std::lock_guard start(startMutex_);
    if (reader_.joinable())
        reader_.join();  // a reader that was told to stop from its own thread
    readerThread_.store(std::thread::id{});
    try {
        reader_ = std::thread(&FilterChannel::ReaderMain, this);
    } catch (const std::system_error&) {
        return false;
    }
    readerThread_.store(reader_.get_id());
    readerId_.store(reader_.get_id());
    return true;
}

void FilterChannel::StopListening() {
    if (OnReaderThread()) {
        // A listener stopping its own reader: the reader ends after this dispatch; the next start
        // or the destruction collects the thread.
        readerId_.store(std::thread::id{});
        return;
    }
    std::lock_guard lifecycle(lifecycleMutex_);
    if (!reader_.joinable())
        return;
    {
        std::lock_guard lock(handleMutex_);
        readerId_.store(std::thread::id{});
        for (HandleSlot* slot : {&read_, &write_, &request_}) {
            if (!slot->handle)
                continue;
            slot->abort.Set();
            slot->handle->CancelIo();
        }
    }
    wake_.Set();
    reader_.join();
    readerThread_.store(std::thread::id{});
    wake_.ResetEvent();
}

bool FilterChannel::OnReaderThread() const {
    return readerThread_.load() == std::this_thread::get_id();
}

bool FilterChannel::IsListening() const {
    return readerId_.load() != std::thread::id{};
}

void FilterChannel::ReaderMain() {
    { std::lock_guard start(startMutex_); }
    const std::thread::id me = std::this_thread::get_id();
    while (readerId_.load() == me) {
        bool dispatched = false;
        if (listenerCount_.load() > 0) {
            platform::FilterHandle* handle = nullptr;
            {
                std::lock_guard lock(handleMutex_);
                if (readerId_.load() != me)
                    break;
                if (request_.handle) {
                    handle = request_.handle.get();
                    ++request_.users;
                    request_.abort.ResetEvent();
                }
            }
            if (handle != nullptr) {
                std::array<std::uint8_t, 4> record{};
                // An aborted request is cancelled by the handle already.
                const auto outcome =
                    handle->Control(kFilterRequestNextEvent, {}, record, request_.abort);
                {
                    std::lock_guard lock(handleMutex_);
                    --request_.users;
                }
                handleIdle_.notify_all();
                if (outcome == platform::ControlOutcome::Completed) {
                    Dispatch(record[2], static_cast<std::uint16_t>(record[0] | record[1] << 8),
                             (record[3] & 1) != 0);
                    dispatched = true;
                }
            }
        }
        if (!dispatched)
            wake_.Wait(kIdlePause);
    }
}

void FilterChannel::Dispatch(std::uint16_t usagePage, std::uint16_t usageId, bool pressed) {
    std::lock_guard lock(listenerMutex_);
    const std::uint32_t code = static_cast<std::uint32_t>(usagePage) << 16 | usageId;
    if (pressed) {
        reportedPressed_.insert(code);
    } else {
        reportedPressed_.erase(code);
    }
    for (const auto& listener : listeners_) {
        if (listener->OnFilterKey(usagePage, usageId, pressed) != 0)
            break;
    }
}

void FilterChannel::ReleaseReportedKeys() {
    std::lock_guard lock(listenerMutex_);
    const std::set<std::uint32_t> held = std::move(reportedPressed_);
    reportedPressed_.clear();
    for (const std::uint32_t code : held) {
        for (const auto& listener : listeners_) {
            if (listener->OnFilterKey(static_cast<std::uint16_t>(code >> 16),
                                      static_cast<std::uint16_t>(code & 0xFFFF), false) != 0)
                break;
        }
    }
}

void FilterChannel::UploadKeyTable() {
    const auto records = records_.Snapshot();
    const KeyTable table = records ? MakeKeyTable(*records) : KeyTable{};
    Control(kFilterRequestKeyTable, table);
}

void FilterChannel::ClearKeyTable() {
    const std::array<std::uint8_t, 256> zeros{};
    Control(kFilterRequestKeyTable, zeros);
}

void FilterChannel::SendCaptureRequest() {
    const std::array<std::uint8_t, 4> zero{};
    Control(kFilterRequestCapture, zero);
}

void FilterChannel::BeginCapture(CaptureReason reason) {
    std::lock_guard lock(captureMutex_);
    int& count = captureCounts_[static_cast<std::size_t>(reason)];
    if (reason == CaptureReason::Editor && count > 0)
        return;
    ++count;
    if (CaptureTotalLocked() == 1)
        SendCaptureRequest();
}

void FilterChannel::EndCapture(CaptureReason reason) {
    std::lock_guard lock(captureMutex_);
    int& count = captureCounts_[static_cast<std::size_t>(reason)];
    if (count == 0)
        return;
    --count;
    if (CaptureTotalLocked() == 0)
        Control(kFilterStartFirst);
}

void FilterChannel::ForgetCapture(CaptureReason reason) {
    std::lock_guard lock(captureMutex_);
    int& count = captureCounts_[static_cast<std::size_t>(reason)];
    if (count > 0)
        --count;
}

int FilterChannel::CaptureCount(CaptureReason reason) const {
    std::lock_guard lock(captureMutex_);
    return captureCounts_[static_cast<std::size_t>(reason)];
}

void FilterChannel::RestoreCaptureLocked() {
    if (CaptureTotalLocked() > 0)
        SendCaptureRequest();
}

}  // namespace keylume
