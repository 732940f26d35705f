// The layout loader on arbitrary bytes: controls are built, re-translated, searched and freed.
#include <QApplication>
#include <QMenu>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "ui/ControlRegistry.h"
#include "ui/Menu.h"
#include "ui/SApplication.h"
#include "ui/SWindow.h"

namespace {
QApplication* g_qt = nullptr;
keylume::ui::SApplication* g_app = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_qt = new QApplication(*argc, *argv);
    g_app = new keylume::ui::SApplication;
    g_app->InitNamedIds(keylume::ui::KeylumeNamedIds());
    keylume::ui::RegisterExtensionControls(g_app->Registry());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    auto doc = keylume::ui::ParseXml(bytes);
    if (!doc)
        return 0;
    {
        keylume::ui::SWindow root;
        root.resize(640, 480);
        root.InitFromXml(*doc);
        root.Retranslate();
        root.FindChildByName("title");
        root.FindChildByID(65537);
        root.resize(320, 200);
    }
    if (doc->tag.startsWith("menu", Qt::CaseInsensitive)) {
        std::unique_ptr<QMenu> menu(keylume::ui::BuildMenu(*doc, nullptr, nullptr));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
