#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/threads/ThreadInterfaces.h"
#include "platform/Event.h"

namespace keylume {

// Where a synchronous post receives its result. Shared by the poster and every copy of the
// runnable, so a result that comes after the poster stopped waiting lands here harmlessly.
struct SyncCompletion {
    platform::Event done{platform::Event::Reset::Manual};
    std::atomic<std::int32_t> result{0};
};

// A unit of work for a RunableThread: released after its interval, `repeat` times, and run on the
// executor thread. Copies (Clone) are what the executor runs; the original stays queued until its
// last release.
class BaseRunable {
  public:
    virtual ~BaseRunable() = default;

    virtual bool IsValid() const = 0;
    virtual std::unique_ptr<BaseRunable> Clone() const = 0;
    virtual std::int32_t Run(std::int32_t arg1, std::int32_t arg2, std::uint8_t* data,
                             std::int32_t length) = 0;

    // Copies `bytes` into the runnable's own buffer.
    void SetData(const std::uint8_t* bytes, std::int32_t length);
    std::uint8_t* Data() { return data_.empty() ? nullptr : data_.data(); }
    std::int32_t Length() const { return static_cast<std::int32_t>(data_.size()); }

    std::int32_t arg1 = 0;
    std::int32_t arg2 = 0;
    std::uint32_t interval = 0;  // ms from the start of the interval to the release
    std::int32_t repeat = 1;     // N > 0: N releases; 0: once; -1: without end
    std::int32_t barrier = 0;    // non-zero: runnables behind this one wait while it is pending
    std::uint32_t intervalStart = 0;  // tick count at which the interval began; 0 = not started
    std::uint32_t waitTime = 0;       // non-zero: Post waits this long for the result
    std::shared_ptr<SyncCompletion> completion;  // the done event and result slot of a sync post

  protected:
    BaseRunable() = default;
    BaseRunable(const BaseRunable&) = default;  // the buffer is copied: each copy owns its bytes
    BaseRunable& operator=(const BaseRunable&) = default;

  private:
    std::vector<std::uint8_t> data_;
};

// Binds a member function of any target class as a runnable.
template <class Target>
class ThreadRunable final : public BaseRunable {
  public:
    using Member = std::int32_t (Target::*)(std::int32_t, std::int32_t, std::uint8_t*,
                                            std::int32_t);

    ThreadRunable() = default;
    ThreadRunable(Target* target, Member member) : target_(target), member_(member) {}

    bool IsValid() const override { return target_ != nullptr && member_ != nullptr; }

    // Every field but the target thread is copied.
    std::unique_ptr<BaseRunable> Clone() const override {
        auto copy = std::make_unique<ThreadRunable>(*this);
        copy->targetThread = nullptr;
        return copy;
    }

    std::int32_t Run(std::int32_t a1, std::int32_t a2, std::uint8_t* data,
                     std::int32_t length) override {
        if (!IsValid())
            return 0;
        return (target_->*member_)(a1, a2, data, length);
    }

    // Posts a copy to the target thread; returns what Post returns (0 when no thread is set).
    std::int32_t PostCopy() const {
        return targetThread == nullptr ? 0 : targetThread->Post(Clone(), false);
    }

    IRunableThread* targetThread = nullptr;

  private:
    Target* target_ = nullptr;
    Member member_ = nullptr;
};

}  // namespace keylume
