#pragma once

namespace keylume::platform {

// A descriptor that an event loop can watch: readable from Signal until Drain.
// On Windows there is no such descriptor (Fd() is -1; window messages take its place) and the
// calls do nothing.
// Threads: Signal from any thread, Drain from the watching thread.
class WakeFd {
  public:
    WakeFd();
    ~WakeFd();
    WakeFd(const WakeFd&) = delete;
    WakeFd& operator=(const WakeFd&) = delete;

    int Fd() const { return fd_; }
    void Signal();
    void Drain();

  private:
    int fd_ = -1;
};

}  // namespace keylume::platform
