#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/drivers/HidUsbFilter.h"
#include "core/settings/RecordStore.h"
#include "platform/Event.h"
#include "platform/FilterDevice.h"

namespace keylume {

// Request codes of the keyboard filter's control device. Every reader start sends the first two;
// the first also ends capture.
inline constexpr std::uint32_t kFilterStartFirst = 0x226008;
inline constexpr std::uint32_t kFilterStartSecond = 0x22600C;
inline constexpr std::uint32_t kFilterRequestCapture = 0x226010;
inline constexpr std::uint32_t kFilterRequestNextEvent = 0x226044;
inline constexpr std::uint32_t kFilterRequestKeyTable = 0x22A000;

// The program's connection to the keyboard filter: three handles on its control device, the key
// table upload, the control requests, and a reader thread that fetches one key event at a time and
// hands it to the listeners in registration order.
//
// Threads: everything but the listeners runs on the UI thread (the owner); the listeners run on the
// reader thread under the listener mutex. Open and Close may run while the reader waits on the
// request handle: the abort event wakes it, and no handle is destroyed while a request on it runs.
// Listeners must not call StopListening or destroy the channel.
class FilterChannel {
  public:
    explicit FilterChannel(platform::FilterDevice& device, RecordStore& records = GetRecordStore());
    ~FilterChannel();
    FilterChannel(const FilterChannel&) = delete;
    FilterChannel& operator=(const FilterChannel&) = delete;

    // Closes, then opens the control device three times (read, write, request handle). A handle
    // that cannot be opened stays closed; nothing is reported.
    void Open();
    // Aborts and closes each open handle. Keys the listeners were told are pressed are then
    // reported released, so that nothing they pressed in answer stays held.
    void Close();

    // Issues one request on the request handle and waits until it completes or is aborted.
    // 1 when it went pending and completed, else 0.
    int Control(std::uint32_t code, std::span<const std::uint8_t> input = {},
                std::span<std::uint8_t> output = {});

    // Stops the reader, sends the two start requests and starts a new reader. True when the
    // thread was created.
    bool StartListening();
    // Tells the reader to stop, wakes it and waits until it has ended.
    void StopListening();
    bool IsListening() const;

    template <class Target>
    void AddListener(Target* target, typename HidUsbFilter::MonitorProxy<Target>::Member member) {
        {
            std::lock_guard lock(listenerMutex_);
            if (FindListener(target, member) != listeners_.end())
                return;
            listeners_.push_back(
                std::make_unique<HidUsbFilter::MonitorProxy<Target>>(target, member));
            listenerCount_.store(listeners_.size());
        }
        wake_.Set();  // an idle reader starts asking at once
    }

    template <class Target>
    void RemoveListener(Target* target,
                        typename HidUsbFilter::MonitorProxy<Target>::Member member) {
        std::lock_guard lock(listenerMutex_);
        const auto it = FindListener(target, member);
        if (it != listeners_.end())
            listeners_.erase(it);
        listenerCount_.store(listeners_.size());
    }

    std::size_t ListenerCount() const { return listenerCount_.load(); }

    // Sends the key table built from the record list's current snapshot (1024 bytes).
    void UploadKeyTable();
    // Sends 256 zero bytes.
    void ClearKeyTable();
    // Asks the filter to report every key (4-byte input 0), once, without a reason the channel
    // keeps: the next reader start ends it.
    void SendCaptureRequest();

    // Why the program wants every key reported, not only the key table's: the macro editor
    // records or captures a key, or a macro that stops on another key plays.
    enum class CaptureReason { Editor, Playback };
    // Capture is counted per reason (the editor, having one window, holds at most one; each
    // playing macro holds one until it ends): the filter is asked to report every key when the
    // first reason begins, and is told to stop (0x226008) when the last one ends. While any reason
    // remains, every reader start and every re-open asks for capture again, since both end it in
    // the filter. Any thread; the requests of one change leave in order.
    void BeginCapture(CaptureReason reason);
    void EndCapture(CaptureReason reason);
    // Ends a reason without a request, for a caller that restarts the reader right after (which
    // ends the filter's capture unless another reason remains).
    void ForgetCapture(CaptureReason reason);
    int CaptureCount(CaptureReason reason) const;

    bool IsOpen() const;

  private:
    using Listeners = std::vector<std::unique_ptr<HidUsbFilter::IMonitorProxy>>;

    struct HandleSlot {
        std::unique_ptr<platform::FilterHandle> handle;
        platform::Event abort{platform::Event::Reset::Auto};
        int users = 0;  // requests running on the handle right now
    };

    template <class Target>
    Listeners::iterator FindListener(Target* target,
                                     typename HidUsbFilter::MonitorProxy<Target>::Member member) {
        for (auto it = listeners_.begin(); it != listeners_.end(); ++it) {
            auto* proxy = dynamic_cast<HidUsbFilter::MonitorProxy<Target>*>(it->get());
            if (proxy != nullptr && proxy->Binds(target, member))
                return it;
        }
        return listeners_.end();
    }

    bool OnReaderThread() const;
    void ReaderMain();
    void Dispatch(std::uint16_t usagePage, std::uint16_t usageId, bool pressed);
    void CloseHandles();
    void ReleaseReportedKeys();
    // Asks for capture again when a reason remains; with captureMutex_ held.
    void RestoreCaptureLocked();
    int CaptureTotalLocked() const { return captureCounts_[0] + captureCounts_[1]; }

    platform::FilterDevice& device_;
    RecordStore& records_;

    std::thread reader_;
    std::mutex listenerMutex_;
    std::atomic<std::thread::id> readerId_{};      // 0 tells the reader to stop
    std::atomic<std::thread::id> readerThread_{};  // the reader's id until it is joined
    std::mutex lifecycleMutex_;                    // serialises StartListening and StopListening
    std::mutex startMutex_;                        // held until the new reader's id is stored

    mutable std::mutex handleMutex_;  // guards the three slots
    std::condition_variable handleIdle_;
    HandleSlot read_;
    HandleSlot write_;
    HandleSlot request_;
    std::uint32_t desiredAccess_ = 0xC0000000u;
    std::string devicePath_;

    Listeners listeners_;
    std::atomic<std::size_t> listenerCount_{0};
    std::set<std::uint32_t> reportedPressed_;  // guarded by the listener mutex
    // Held while the capture counts change and their requests are sent, never while waiting for
    // a thread: a listener may begin or end capture on the reader thread.
    mutable std::mutex captureMutex_;
    std::array<int, 2> captureCounts_{};
    platform::Event wake_{platform::Event::Reset::Auto};  // ends the reader's idle pause
};

}  // namespace keylume
