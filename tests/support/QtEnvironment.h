#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace keylume::testing {

// One QApplication for a whole test program, made before the first test and dropped after the
// last: windows need it, and Qt allows only one.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "keylume_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr)
            app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};

}  // namespace keylume::testing
