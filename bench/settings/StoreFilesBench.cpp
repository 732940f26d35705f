// Save (atomic, synced, renamed) and load of the two largest settings files: a macro library of
// 100 groups of 100 events and 256 key records of 50 events each.

#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "core/settings/MacroStore.h"
#include "core/settings/RecordStore.h"
#include "support/Portable.h"

namespace keylume {
namespace {

class Folder {
  public:
    Folder() : path_(test::MakeTempFolder("keylume-bench")) {}
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::filesystem::path File(const char* name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

std::vector<MacroItem> Events(std::size_t count) {
    std::vector<MacroItem> items;
    for (std::size_t i = 0; i < count; ++i) {
        items.push_back({0x70004u + static_cast<std::uint32_t>(i % 26),
                         static_cast<std::uint32_t>(i % 2), static_cast<std::uint32_t>(15 + i % 90),
                         L"Left Ctrl"});
    }
    return items;
}

void FillLibrary(MacroStore& store) {
    for (int g = 0; g < 100; ++g)
        store.groups.push_back({L"Group " + std::to_wstring(g), Events(100)});
}

void FillRecords(RecordStore& store) {
    for (std::uint32_t i = 0; i < 256; ++i) {
        store.AddOrReplace({0x70000u | i, 0, 2, 3, L"Key", L"Group 1", Events(50)});
    }
}

void BM_SaveMacroLibrary(benchmark::State& state) {
    Folder folder;
    MacroStore store;
    store.Load(folder.File("macro.xml"));
    FillLibrary(store);
    for (auto _ : state) {
        if (!store.Save())
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveMacroLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadMacroLibrary(benchmark::State& state) {
    Folder folder;
    MacroStore store;
    store.Load(folder.File("macro.xml"));
    FillLibrary(store);
    store.Save();
    MacroStore reader;
    for (auto _ : state) {
        if (!reader.Load(folder.File("macro.xml")))
            state.SkipWithError("load failed");
    }
    if (reader.groups.size() != 100)
        state.SkipWithError("wrong library");
}
BENCHMARK(BM_LoadMacroLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveRecords(benchmark::State& state) {
    Folder folder;
    RecordStore store;
    store.Load(folder.File("record.xml"));
    FillRecords(store);
    for (auto _ : state) {
        if (!store.Save())
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadRecords(benchmark::State& state) {
    Folder folder;
    RecordStore store;
    store.Load(folder.File("record.xml"));
    FillRecords(store);
    store.Save();
    RecordStore reader;
    for (auto _ : state) {
        if (!reader.Load(folder.File("record.xml")))
            state.SkipWithError("load failed");
    }
    if (reader.Snapshot()->size() != 256)
        state.SkipWithError("wrong list");
}
BENCHMARK(BM_LoadRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace keylume

BENCHMARK_MAIN();
