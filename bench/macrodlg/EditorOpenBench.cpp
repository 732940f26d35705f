// The macro editor on one group of 1k, 10k and 50k events, offscreen: opening it (built,
// initialised, shown and laid out) and scrolling its key list a wheel step at a time.

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <map>
#include <memory>

#include <benchmark/benchmark.h>

#include "app/SimulatedPlatform.h"
#include "core/drivers/FilterChannel.h"
#include "macrodlg/MacroRecordDlg.h"
#include "ui/ControlRegistry.h"
#include "ui/ListView.h"
#include "ui/NamedIds.h"
#include "ui/ResProvider.h"
#include "ui/SApplication.h"

namespace keylume {
namespace {

// The toolkit over the package beside the program, a built-in filter and a library of one group.
class Editor {
  public:
    explicit Editor(std::size_t events) {
        app_.SetProgramFolder(KEYLUME_PROGRAM_DIR);
        app_.InitNamedIds(ui::KeylumeNamedIds());
        auto files = std::make_shared<ui::SResProviderFiles>();
        files->Init(KEYLUME_PROGRAM_DIR "/uires");
        app_.AddResProvider(files);
        app_.LoadLanguage("lang_en");
        ui::RegisterExtensionControls(app_.Registry());
        store_.Load(std::filesystem::path(folder_.path().toStdString()) / "macro.xml");
        MacroGroup group{L"Long", {}};
        for (std::size_t i = 0; i < events; ++i)
            group.items.push_back({0x70004u + static_cast<std::uint32_t>(i / 2 % 26),
                                   static_cast<std::uint32_t>(1 - i % 2),
                                   static_cast<std::uint32_t>(15 + i % 90), L"A"});
        store_.groups.push_back(std::move(group));
        store_.group = 0;
        channel_.Open();
    }

    std::unique_ptr<MacroRecordDlg> Open() {
        auto dialog = std::make_unique<MacroRecordDlg>(store_, channel_, &keys_);
        dialog->SendMessage(ui::msg::kInitDialog);
        dialog->show();
        QCoreApplication::processEvents();
        return dialog;
    }

  private:
    QTemporaryDir folder_;
    ui::SApplication app_;
    SimulatedPlatform sim_{SimulatedPlatform::Options{}};
    RecordStore records_;
    FilterChannel channel_{sim_.Filter(), records_};
    MacroStore store_;
    std::map<std::int32_t, QString> keys_{{4, "A"}};
};

void BM_OpenEditor(benchmark::State& state) {
    Editor editor(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        auto dialog = editor.Open();
        benchmark::DoNotOptimize(dialog.get());
        state.PauseTiming();
        dialog.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.SetLabel("events per group");
}
BENCHMARK(BM_OpenEditor)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

// One wheel step (three rows) down the key list, repainted; back to the top at the end.
void BM_ScrollKeyList(benchmark::State& state) {
    Editor editor(static_cast<std::size_t>(state.range(0)));
    auto dialog = editor.Open();
    auto* list = dialog->FindChildByName2<ui::SMcListView>("key_info");
    if (list == nullptr) {
        state.SkipWithError("no key list");
        return;
    }
    for (auto _ : state) {
        const int before = list->ScrollPos();
        list->SetScrollPos(before + 96);
        if (list->ScrollPos() == before)
            list->SetScrollPos(0);
        list->repaint();
    }
}
BENCHMARK(BM_ScrollKeyList)->Arg(1000)->Arg(50000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace keylume

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qt(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
