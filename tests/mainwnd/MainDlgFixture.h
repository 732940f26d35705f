#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <array>
#include <atomic>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "app/SimulatedPlatform.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/MacroStore.h"
#include "core/settings/RecordStore.h"
#include "core/settings/SideLightStore.h"
#include "mainwnd/CMainDlg.h"
#include "platform/Trace.h"
#include "support/QtEnvironment.h"
#include "ui/Buttons.h"
#include "ui/InputControls.h"
#include "ui/MessageBox.h"
#include "ui/SApplication.h"
#include "ui/TabCtrl.h"

namespace fs = std::filesystem;

namespace keylume::test {

using QtEnvironment = keylume::testing::QtEnvironment;

inline std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string LedEffects(int sel, int special, const std::string& item) {
    std::string xml = "<?xml version=\"1.0\"?>\n<effect sel=\"" + std::to_string(sel) + "\">\n";
    for (int i = 0; i < 21; ++i) {
        xml += i == special
                   ? item
                   : "<item speed=\"0\" brightness=\"13\" deriction=\"0\" selection=\"0\"/>";
        xml += "\n";
    }
    return xml + "</effect>\n";
}

inline std::string SideLights(int sel) {
    std::string xml = "<?xml version=\"1.0\"?>\n<effect sel=\"" + std::to_string(sel) + "\">\n";
    for (int i = 0; i < 12; ++i)
        xml += "<item brightness=\"4\"/>\n";
    return xml + "</effect>\n";
}

// Counts the opens of the filter's control device, so a re-open of the channel shows.
class CountingFilter final : public platform::FilterDevice {
  public:
    explicit CountingFilter(platform::FilterDevice& inner) : inner_(inner) {}
    std::unique_ptr<platform::FilterHandle> Open(std::string_view path,
                                                 std::uint32_t access) override {
        ++opens;
        return inner_.Open(path, access);
    }
    std::atomic<int> opens{0};

  private:
    platform::FilterDevice& inner_;
};

class TestPlatform final : public platform::Platform {
  public:
    explicit TestPlatform(SimulatedPlatform::Options options)
        : sim(options), filter(sim.Filter()) {}
    platform::NamedLocks& Locks() override { return sim.Locks(); }
    platform::HidBus& Hid() override { return sim.Hid(); }
    platform::DeviceBroadcasts& Broadcasts() override { return sim.Broadcasts(); }
    platform::FilterDevice& Filter() override { return filter; }
    platform::ProcessRunner& Processes() override { return sim.Processes(); }
    platform::ProgramFolder& Folder() override { return sim.Folder(); }
    platform::Clock& Time() override { return sim.Time(); }

    SimulatedPlatform sim;
    CountingFilter filter;
};

// The main window on the built-in keyboard over the package beside the program, with the stores
// read from a folder of the test's own. Message boxes are answered from `answers` (OK when empty)
// and recorded; every "hid" trace line is recorded too.
class MainDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        data_ = temp_.path().toStdString();
        app_ = std::make_unique<ui::SApplication>();
        app_->SetProgramFolder(KEYLUME_PROGRAM_DIR);
        app_->InitNamedIds(ui::KeylumeNamedIds());
        auto files = std::make_shared<ui::SResProviderFiles>();
        ASSERT_TRUE(files->Init(KEYLUME_PROGRAM_DIR "/uires"));
        app_->AddResProvider(files);
        auto sys = std::make_shared<ui::SResProviderFiles>();
        sys->Init(ui::SApplication::SystemResourceFolder());
        app_->LoadSystemResources(sys);
        app_->LoadLanguage("lang_en");
        ui::RegisterExtensionControls(app_->Registry());
        RegisterCoordButtonImage(app_->Registry());
        ui::SetMessageBoxAnswerHook([this](const QString& caption, const QString& text, unsigned) {
            boxes_.push_back(caption + ": " + text);
            int answer = ui::kIdOk;
            if (!answers_.empty()) {
                answer = answers_.front();
                answers_.pop_front();
            }
            return std::optional<int>(answer);
        });
        platform::Trace::SetSink([this](std::string_view line) {
            const auto space = line.find(' ');
            std::string text(space == std::string_view::npos ? line : line.substr(space + 1));
            if (text.rfind("hid ", 0) != 0)
                return;
            std::lock_guard lock(traceMutex_);
            hid_.push_back(text);
            if (onHid_)
                onHid_(text);
        });
        Write("ledeffect.xml", LedEffects(20, -1, ""));
        Write("sidemodel.xml", SideLights(0));
        Write("record.xml", "<?xml version=\"1.0\"?>\n");
    }

    void TearDown() override {
        main_.reset();
        VHidev::Instance().Close();
        platform_.reset();
        platform::Trace::SetSink(nullptr);
        ui::SetMessageBoxAnswerHook(nullptr);
        app_.reset();
    }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(data_ / name, std::ios::binary) << text;
    }

    void Start(SimulatedPlatform::Options options = {}) {
        GetMacroStore().Load(data_ / "macro.xml");
        GetRecordStore().Load(data_ / "record.xml");
        GetSideLightStore().Load(data_ / "sidemodel.xml");
        GetLedEffectStore().Load(data_ / "ledeffect.xml");
        platform_ = std::make_unique<TestPlatform>(options);
        VHidev::Instance().FindDevice(platform_->Hid());
        if (beforeStart_)
            beforeStart_(platform_->sim);
        main_ = std::make_unique<CMainDlg>(*platform_, VHidev::Instance());
        main_->Create();
        app_->SetMainWindow(main_.get());
        main_->SendMessage(ui::msg::kInitDialog);
        ClearHid();
    }

    std::vector<std::string> Hid() {
        std::lock_guard lock(traceMutex_);
        return hid_;
    }
    void ClearHid() {
        std::lock_guard lock(traceMutex_);
        hid_.clear();
    }

    template <class T>
    T* Find(const char* name) {
        return main_->FindChildByName2<T>(name);
    }
    QString VersionText() { return main_->FindChildByName("version")->GetWindowText(); }

    QTemporaryDir temp_;
    fs::path data_;
    std::unique_ptr<ui::SApplication> app_;
    std::unique_ptr<TestPlatform> platform_;
    std::unique_ptr<CMainDlg> main_;
    std::deque<int> answers_;
    std::vector<QString> boxes_;
    std::function<void(SimulatedPlatform&)> beforeStart_;
    std::mutex traceMutex_;
    std::vector<std::string> hid_;
    std::function<void(const std::string&)> onHid_;
};

}  // namespace keylume::test
