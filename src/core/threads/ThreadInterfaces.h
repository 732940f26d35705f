#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace keylume {

class BaseRunable;

// The pair a thread's clients hang on it once, to find shared state again from a callback.
struct ThreadUserData {
    void* pointer = nullptr;
    std::int32_t value = 0;
};

// What WaitStop tells apart.
enum class WaitStopResult {
    StopRequested,  // the stop event is set
    Elapsed,        // the time ran out first
};

// Shared by the two thread classes: the user data pair and its one-time setter.
class UserDataHolder {
  public:
    // Stores {pointer, value} when no pair is stored yet and `pointer` is not null. Later calls
    // change nothing, so a pair handed out once stays valid for the object's life. Returns 0.
    int SetUserData(void* pointer, std::int32_t value);
    const ThreadUserData* UserData() const { return userData_.load(std::memory_order_acquire); }

  protected:
    UserDataHolder() = default;
    ~UserDataHolder();

  private:
    std::atomic<ThreadUserData*> userData_{nullptr};
};

// A looping worker seen from the code that runs on it (and from its clients).
class IEasyThread : public UserDataHolder {
  public:
    virtual ~IEasyThread() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    virtual WaitStopResult WaitStop(std::uint32_t milliseconds) = 0;
    virtual bool IsCancelled() const = 0;
};

// A timer queue seen from its clients and from the runnables it runs.
class IRunableThread : public UserDataHolder {
  public:
    virtual ~IRunableThread() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // Takes ownership of `runnable`. Returns the run's result for a synchronous post, else 0.
    virtual std::int32_t Post(std::unique_ptr<BaseRunable> runnable, bool atFront) = 0;
    virtual WaitStopResult WaitStop(std::uint32_t milliseconds) = 0;
    virtual bool IsCancelled() const = 0;
};

// A thread callback: called with the thread object that runs it and the thread's parameter.
template <class ThreadInterface>
class ThreadCallback {
  public:
    virtual ~ThreadCallback() = default;
    virtual std::int32_t Invoke(ThreadInterface* thread, void* parameter) = 0;
};

// Binds a member function of any target class as a thread callback.
template <class ThreadInterface, class Target>
class MemberThreadCallback final : public ThreadCallback<ThreadInterface> {
  public:
    using Member = std::int32_t (Target::*)(ThreadInterface*, void*);
    MemberThreadCallback(Target* target, Member member) : target_(target), member_(member) {}
    std::int32_t Invoke(ThreadInterface* thread, void* parameter) override {
        return (target_->*member_)(thread, parameter);
    }

  private:
    Target* target_;
    Member member_;
};

}  // namespace keylume
