#include "UiTestSupport.h"

#include <QDir>
#include <QFile>

namespace keylume::test {

namespace {
[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);
}

std::shared_ptr<ui::SResProviderFiles> UiTest::TempPackage(
    const std::vector<std::tuple<QString, QString, QByteArray>>& resources) {
    QString folder = temp_.path() + "/pkg";
    QDir().mkpath(folder);
    QByteArray index = "<resources>";
    int n = 0;
    for (const auto& [type, name, bytes] : resources) {
        QString file = QString("r%1.dat").arg(n++);
        QFile f(folder + "/" + file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        index +=
            QString("<file type=\"%1\" name=\"%2\" path=\"%3\"/>").arg(type, name, file).toUtf8();
    }
    index += "</resources>";
    QFile idx(folder + "/uires.idx");
    EXPECT_TRUE(idx.open(QIODevice::WriteOnly));
    idx.write(index);
    idx.close();
    auto provider = std::make_shared<ui::SResProviderFiles>();
    EXPECT_TRUE(provider->Init(folder));
    return provider;
}

}  // namespace keylume::test
