// Messages posted to a host from another thread (the filter reader posts recorded keys).
#include <gtest/gtest.h>

#include <QApplication>
#include <atomic>
#include <thread>
#include <vector>

#include "ui/HostWnd.h"

namespace keylume::test {
namespace {

class Receiver : public ui::SHostWnd {
  public:
    Receiver() : ui::SHostWnd("LAYOUT:none") {}
    std::vector<std::pair<std::uintptr_t, std::intptr_t>> got;
    std::atomic<bool> offThread{false};
    std::thread::id ui = std::this_thread::get_id();

  protected:
    bool HandleMessage(unsigned m, std::uintptr_t w, std::intptr_t l, std::intptr_t&) override {
        if (m != ui::msg::kUser + 1)
            return false;
        if (std::this_thread::get_id() != ui)
            offThread = true;
        got.emplace_back(w, l);
        return true;
    }
};

TEST(PostMessage, FromOtherThreadsArrivesOnTheUiThreadInOrder) {
    int argc = 1;
    char name[] = "ui_thread_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    Receiver host;
    host.Create();
    std::vector<std::thread> readers;
    for (int t = 0; t < 2; ++t) {
        readers.emplace_back([&host, t] {
            for (int i = 0; i < 200; ++i) {
                host.PostMessage(ui::msg::kUser + 1, static_cast<std::uintptr_t>(t), i);
            }
        });
    }
    for (auto& r : readers)
        r.join();
    QCoreApplication::processEvents();
    ASSERT_EQ(host.got.size(), 400u);
    EXPECT_FALSE(host.offThread);
    std::intptr_t next[2] = {0, 0};
    for (const auto& [thread, index] : host.got) {
        EXPECT_EQ(index, next[thread]++) << "one thread's messages keep their order";
    }
}

}  // namespace
}  // namespace keylume::test
