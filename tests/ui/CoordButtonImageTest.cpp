// The keyboard picture: reading the coordinates file, hit tests, presses, selection, hover.
#include <QFile>
#include <set>

#include "UiTestSupport.h"
#include "mainwnd/CoordButtonImage.h"

namespace keylume::test {
namespace {

struct Click {
    std::int32_t id;
    QString name;
    std::int32_t state;
    std::int32_t x, y;
};

class Listener : public ICoordButtonClickListener {
  public:
    bool OnCoordButtonClick(std::int32_t id, QString name, std::int32_t state, unsigned,
                            std::int32_t x, std::int32_t y) override {
        clicks.push_back({id, name, state, x, y});
        return handles;
    }
    std::vector<Click> clicks;
    bool handles = false;
};

// Keys: A (4) at 0..10, B (5) overlapping A at 5..15, a second "4" at 40..50, C (6) far right.
const char kFixture[] = R"(<?xml version="1.0"?>
<positions>
  <key id="4" va="7" name="A" rect="0,0,10,10" color="#FF0000"/>
  <k id="5" va="7" name="B" rect=" 5 , 0 , 10 , 10 " color="# 00ff00"/>
  <key id="4" va="7" name="A2" rect="40,0,10,10"/>
  <other id="6" name="C" rect="100,0,20,20"/>
</positions>)";

class CoordImage : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        app_->SetProgramFolder(temp_.path());
        Write("kb.xml", kFixture);
    }
    void Write(const QString& name, const QByteArray& bytes) {
        QFile f(temp_.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    std::unique_ptr<CoordButtonImage> Make(const QString& type, const QString& crdxml = "kb.xml") {
        auto kb = std::make_unique<CoordButtonImage>();
        kb->SetAttribute("crdxml", crdxml);
        if (!type.isEmpty()) {
            EXPECT_TRUE(kb->SetAttribute("TYPE", type));
        }
        kb->OnCreate();
        kb->SetClickListener(&listener_);
        return kb;
    }
    static std::vector<bool> Checked(const CoordButtonImage& kb) {
        std::vector<bool> out;
        for (const auto& k : kb.Keys())
            out.push_back(k.checked);
        return out;
    }
    Listener listener_;
};

TEST_F(CoordImage, ReadsKeysWithBlanksAndDefaults) {
    auto kb = Make("");
    ASSERT_EQ(kb->Keys().size(), 4u);
    const auto& b = kb->Keys()[1];
    EXPECT_EQ(b.name, "B");
    EXPECT_EQ(b.left, 5);
    EXPECT_EQ(b.right, 15);
    EXPECT_EQ(b.bottom, 10);
    EXPECT_EQ(b.color, 0x00FF00u);
    EXPECT_EQ(kb->Keys()[0].color, 0xFF0000u);
    EXPECT_EQ(kb->Keys()[2].color, 0xFFFFFFu) << "default colour";
    EXPECT_EQ(kb->Keys()[3].va, -1) << "missing va";
    EXPECT_EQ(kb->SelectionType(), 0);
}

TEST(CoordKeysReader, MalformedNumbersAreReadAsFarAsTheyFit) {
    struct Case {
        const char* attrs;
        std::int32_t id, left, top, right, bottom;
        std::uint32_t color;
    };
    const Case cases[] = {
        {R"(id="12ab" rect="1,2,3,4")", 12, 1, 2, 4, 6, 0xFFFFFF},
        {R"(id="x" rect="1,2")", 0, 1, 2, 1, 2, 0xFFFFFF},
        {R"(rect="1;2;3;4")", -1, 1, 0, 1, 0, 0xFFFFFF},
        {R"(rect="a,2,3,4")", -1, 0, 0, 0, 0, 0xFFFFFF},
        {R"(rect="-5,-5,10,10" color="#12zz")", -1, -5, -5, 5, 5, 0x12},
        {R"(color="zz" rect="2147483647,0,10,1")", -1, 2147483647, 0, 2147483647, 1, 0},
        {R"(id="99999999999" color="#123456789")", 2147483647, 0, 0, 0, 0, 0xFFFFFFFF},
        {R"(rect=" 1 , 2 , 3 , 4 " color=" # 0a 0b 0c")", -1, 1, 2, 4, 6, 0x0A0B0C},
    };
    for (const Case& c : cases) {
        auto keys = ReadCoordKeys(QByteArray("<positions><k ") + c.attrs + "/></positions>");
        ASSERT_EQ(keys.size(), 1u) << c.attrs;
        const CoordKey& k = keys[0];
        EXPECT_EQ(k.id, c.id) << c.attrs;
        EXPECT_EQ(std::vector<int>({k.left, k.top, k.right, k.bottom}),
                  std::vector<int>({c.left, c.top, c.right, c.bottom}))
            << c.attrs;
        EXPECT_EQ(k.color, c.color) << c.attrs;
    }
    EXPECT_TRUE(ReadCoordKeys("<keys><k id='1'/></keys>").empty());
    EXPECT_TRUE(ReadCoordKeys("<positions><k id='1'>").empty());
    EXPECT_TRUE(ReadCoordKeys("").empty());
    EXPECT_EQ(ReadCoordKeys("<positions><a/><b><c/></b></positions>").size(), 2u);
}

TEST_F(CoordImage, PathRuleAndMissingFiles) {
    EXPECT_EQ(CoordButtonImage::CoordPath("/opt/k", "uires/kb.xml"), "/opt/k/uires/kb.xml");
    EXPECT_EQ(CoordButtonImage::CoordPath("/opt/k", "/kb.xml"), "/opt/k/kb.xml");
    EXPECT_EQ(CoordButtonImage::CoordPath("/opt/k", "\\kb.xml"), "/opt/k/kb.xml");
    EXPECT_EQ(Make("", "/kb.xml")->Keys().size(), 4u);
    EXPECT_EQ(Make("", "\\kb.xml")->Keys().size(), 4u);
    Write("bad.xml", "<positions><key id='1'");
    for (const char* name : {"missing.xml", "bad.xml", ""}) {
        auto kb = Make("", name);
        EXPECT_TRUE(kb->Keys().empty()) << name;
        kb->PressAt(1, 1, 1);
        kb->ReleaseAt(1, 1, 0);
        kb->MoveTo(1, 1);
        EXPECT_TRUE(listener_.clicks.empty());
    }
    // Setting the file after creation changes nothing.
    auto kb = Make("");
    kb->SetAttribute("crdxml", "missing.xml");
    EXPECT_EQ(kb->Keys().size(), 4u);
}

TEST_F(CoordImage, DuplicateIdsAddressTheFirstKeyAndAllKeysValueAddressesEvery) {
    auto kb = Make("");
    kb->SetKeyChecked(4, true);
    EXPECT_EQ(Checked(*kb), (std::vector<bool>{true, false, false, false}));
    kb->SetKeyText(4, "macro");
    EXPECT_EQ(kb->Keys()[0].text, "macro");
    EXPECT_TRUE(kb->Keys()[2].text.isEmpty());
    CoordKey info;
    ASSERT_TRUE(kb->GetKeyInfo(4, &info));
    EXPECT_EQ(info.name, "A");
    EXPECT_TRUE(info.checked);
    EXPECT_TRUE(kb->GetKeyInfo(6, nullptr));
    EXPECT_FALSE(kb->GetKeyInfo(77, &info));
    kb->ToggleKey(4);
    EXPECT_EQ(Checked(*kb), (std::vector<bool>{false, false, false, false}));
    kb->ToggleKey(CoordButtonImage::kAllKeys);
    EXPECT_EQ(Checked(*kb), (std::vector<bool>{true, true, true, true}));
    kb->SetKeyChecked(CoordButtonImage::kAllKeys, false);
    kb->SetKeyText(CoordButtonImage::kAllKeys, "t");
    EXPECT_EQ(Checked(*kb), (std::vector<bool>{false, false, false, false}));
    for (const auto& k : kb->Keys())
        EXPECT_EQ(k.text, "t");
}

TEST_F(CoordImage, SelectionTypesOnPress) {
    struct Case {
        const char* type;
        std::vector<bool> afterAThenC, afterCAgain;
    };
    const Case cases[] = {
        {"1", {false, false, false, true}, {false, false, false, true}},
        {"2", {true, false, false, true}, {true, false, false, false}},
        {"0", {false, false, false, false}, {false, false, false, false}},
        {"0x1", {false, false, false, true}, {false, false, false, true}},
        {"7", {false, false, false, false}, {false, false, false, false}},
    };
    for (const Case& c : cases) {
        auto kb = Make(c.type);
        kb->PressAt(2, 2, 1);    // A
        kb->PressAt(110, 5, 1);  // C
        EXPECT_EQ(Checked(*kb), c.afterAThenC) << c.type;
        kb->PressAt(110, 5, 1);
        EXPECT_EQ(Checked(*kb), c.afterCAgain) << c.type;
    }
    // A listener that handles the press skips the selection step.
    listener_.handles = true;
    auto kb = Make("2");
    kb->PressAt(2, 2, 1);
    EXPECT_EQ(Checked(*kb), (std::vector<bool>{false, false, false, false}));
}

TEST_F(CoordImage, PressAndReleaseReporting) {
    auto kb = Make("");
    kb->PressAt(-1, 5, 1);   // outside every key
    kb->ReleaseAt(2, 2, 0);  // A was never pressed
    EXPECT_TRUE(listener_.clicks.empty());

    kb->PressAt(2, 3, 1);      // press on A ...
    kb->ReleaseAt(110, 5, 0);  // ... released over C: nothing, A stays pressed
    ASSERT_EQ(listener_.clicks.size(), 1u);
    EXPECT_EQ(listener_.clicks[0].state, 0);
    EXPECT_EQ(listener_.clicks[0].name, "A");
    EXPECT_EQ(listener_.clicks[0].x, 2);
    EXPECT_EQ(listener_.clicks[0].y, 3);
    EXPECT_TRUE(kb->Keys()[0].pressed);
    kb->ReleaseAt(1, 1, 0);  // later over A: the release is reported
    ASSERT_EQ(listener_.clicks.size(), 2u);
    EXPECT_EQ(listener_.clicks[1].state, 1);
    EXPECT_EQ(listener_.clicks[1].id, 4);
    EXPECT_FALSE(kb->Keys()[0].pressed);

    // Overlap: the first key in file order takes the click; edges: left/top in, right/bottom out.
    listener_.clicks.clear();
    kb->PressAt(7, 0, 1);
    kb->PressAt(10, 9, 1);
    kb->PressAt(15, 5, 1);
    kb->PressAt(7, 10, 1);
    ASSERT_EQ(listener_.clicks.size(), 2u);
    EXPECT_EQ(listener_.clicks[0].name, "A");
    EXPECT_EQ(listener_.clicks[1].name, "B");
}

TEST_F(CoordImage, HoverMarksEveryKeyUnderTheMouseAndTipShowsTheLast) {
    auto kb = Make("");
    kb->MoveTo(7, 5);  // over A and B
    EXPECT_TRUE(kb->Keys()[0].hover);
    EXPECT_TRUE(kb->Keys()[1].hover);
    EXPECT_EQ(kb->CurrentTip(), "B");
    kb->SetKeyText(5, "Copy : Macros");
    kb->MoveTo(8, 5);
    EXPECT_EQ(kb->CurrentTip(), "Copy : Macros");
    kb->MoveTo(2, 5);
    EXPECT_FALSE(kb->Keys()[1].hover);
    EXPECT_EQ(kb->CurrentTip(), "A");
    kb->MoveTo(30, 5);
    EXPECT_EQ(kb->CurrentTip(), "");
    kb->MoveTo(2, 5);
    kb->Leave();
    EXPECT_FALSE(kb->Keys()[0].hover);
    EXPECT_EQ(kb->CurrentTip(), "");
}

TEST_F(CoordImage, PackageKeyboardIsAFullSizeKeyboardThatFitsItsPictures) {
    QFile f(QString(KEYLUME_PROGRAM_DIR) + "/uires/kb/keyboard.xml");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    auto keys = ReadCoordKeys(f.readAll());
    ASSERT_EQ(keys.size(), 104u);
    QSize picture = ui::SApplication::Instance()
                        ->LoadImage("main:img_keboard_normal_png")
                        .deviceIndependentSize()
                        .toSize();
    std::set<int> ids;
    for (size_t i = 0; i < keys.size(); ++i) {
        const CoordKey& k = keys[i];
        EXPECT_TRUE(ids.insert(k.id).second) << "usage id twice: " << k.id;
        EXPECT_EQ(k.va, 7);
        EXPECT_FALSE(k.name.isEmpty());
        EXPECT_GT(k.right, k.left);
        EXPECT_GE(k.left, 0);
        EXPECT_LE(k.right, picture.width());
        EXPECT_LE(k.bottom, picture.height());
        for (size_t j = 0; j < i; ++j) {
            const CoordKey& o = keys[j];
            bool overlap =
                k.left < o.right && o.left < k.right && k.top < o.bottom && o.top < k.bottom;
            EXPECT_FALSE(overlap) << k.name.toStdString() << " overlaps " << o.name.toStdString();
        }
    }
    for (int id : {0x04, 0x29, 0x2C, 0x3A, 0x45, 0x46, 0x4F, 0x53, 0x58, 0x62, 0x63, 0xE0, 0xE7}) {
        EXPECT_TRUE(ids.count(id)) << id;
    }
}

TEST_F(CoordImage, PaintsTheCheckedRegionFromTheCheckedPicture) {
    app_->SetProgramFolder(KEYLUME_PROGRAM_DIR);
    auto kb = std::make_unique<CoordButtonImage>();
    for (auto [n, v] : {std::pair{"bg", "main:img_keboard_normal_png"},
                        std::pair{"chked", "main:img_keboard_checked_png"},
                        std::pair{"chking", "main:img_keboard_floating_png"},
                        std::pair{"crdxml", "@string/kb_coords"}}) {
        EXPECT_TRUE(kb->SetAttribute(n, v)) << n;
    }
    EXPECT_FALSE(kb->SetAttribute("bg", "main:missing_png")) << "the old picture stays";
    kb->OnCreate();
    kb->resize(932, 292);
    CoordKey a;
    ASSERT_TRUE(kb->GetKeyInfo(0x04, &a));
    QPoint centre((a.left + a.right) / 2, a.top + 4);
    QImage before = kb->grab().toImage();
    kb->SetKeyChecked(0x04, true);
    QImage checked = kb->grab().toImage();
    qreal dpr = checked.devicePixelRatio();
    QImage picture = app_->LoadImage("main:img_keboard_checked_png").toImage();
    QPoint px(static_cast<int>(centre.x() * dpr), static_cast<int>(centre.y() * dpr));
    EXPECT_NE(before.pixel(px), checked.pixel(px));
    EXPECT_EQ(checked.pixelColor(px).rgb(),
              picture.pixelColor(centre * picture.devicePixelRatio()).rgb());
}

}  // namespace
}  // namespace keylume::test
