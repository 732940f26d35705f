#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

#include "mainwnd/CoordButtonImage.h"
#include "ui/HostWnd.h"
#include "ui/SApplication.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace keylume::test {

// One QApplication for the whole test program (offscreen platform, set by the test runner).
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "ui_test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};

// The toolkit set up the way start-up does it, over the package the build placed beside the
// program, with the program's control tags registered.
class UiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app_ = std::make_unique<ui::SApplication>();
        app_->SetProgramFolder(KEYLUME_PROGRAM_DIR);
        app_->InitNamedIds(ui::KeylumeNamedIds());
        auto files = std::make_shared<ui::SResProviderFiles>();
        ASSERT_TRUE(files->Init(KEYLUME_PROGRAM_DIR "/uires"));
        ASSERT_TRUE(app_->AddResProvider(files));
        auto sys = std::make_shared<ui::SResProviderFiles>();
        ASSERT_TRUE(sys->Init(ui::SApplication::SystemResourceFolder()));
        ASSERT_TRUE(app_->LoadSystemResources(sys));
        ui::RegisterExtensionControls(app_->Registry());
        RegisterCoordButtonImage(app_->Registry());
    }
    void TearDown() override { app_.reset(); }

    // A package of our own in a temporary folder: `files` maps index paths to contents, and
    // every file becomes a resource "type:name" given as the map key "type:name=path".
    std::shared_ptr<ui::SResProviderFiles> TempPackage(
        const std::vector<std::tuple<QString, QString, QByteArray>>& resources);

    std::unique_ptr<ui::SApplication> app_;
    QTemporaryDir temp_;
};

}  // namespace keylume::test
