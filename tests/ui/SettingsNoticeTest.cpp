// The words the user reads about a settings file, and how they reach the screen.

#include <QCoreApplication>
#include <QRegularExpression>
#include <vector>

#include "UiTestSupport.h"
#include "app/SettingsNoticeBoxes.h"
#include "ui/MessageBox.h"

namespace keylume {
namespace {

using platform::ReadStatus;
using platform::WriteProblem;
using Kind = SettingsNotice::Kind;

// One notice of every kind with every reason it can carry.
std::vector<SettingsNotice> EveryNotice() {
    std::vector<SettingsNotice> all;
    const ReadStatus reads[] = {ReadStatus::kRead,         ReadStatus::kTooLarge,
                                ReadStatus::kFolder,       ReadStatus::kNotAFile,
                                ReadStatus::kDanglingLink, ReadStatus::kNoAccess,
                                ReadStatus::kFailed};
    const WriteProblem writes[] = {WriteProblem::kFolderNotWritable,
                                   WriteProblem::kFolderMissing,
                                   WriteProblem::kReadOnlyDisk,
                                   WriteProblem::kDiskFull,
                                   WriteProblem::kFolderInPlace,
                                   WriteProblem::kReadOnlyFile,
                                   WriteProblem::kForeignLink,
                                   WriteProblem::kLinkTargetMissing,
                                   WriteProblem::kIsLink,
                                   WriteProblem::kOther};
    SettingsNotice n;
    n.file = "/d/macro.xml";
    n.copy = "/d/macro.xml.unreadable-1";
    for (ReadStatus read : reads) {
        n.readStatus = read;
        for (bool empty : {false, true}) {
            n.empty = empty;
            n.kind = Kind::kKeptUnreadable;
            all.push_back(n);
            n.kind = Kind::kLeftUnreadable;
            n.onlyRead = true;
            all.push_back(n);
            n.onlyRead = false;
            all.push_back(n);
            for (WriteProblem write : writes) {
                n.writeProblem = write;
                all.push_back(n);
            }
            n.writeProblem = WriteProblem::kNone;
        }
    }
    n.kind = Kind::kSaveFailed;
    for (WriteProblem write : writes) {
        n.writeProblem = write;
        all.push_back(n);
    }
    return all;
}

class SettingsNoticeTest : public test::UiTest {};

// Every sentence and every reason has its Chinese translation: with the file names taken out, no
// Latin letter is left.
TEST_F(SettingsNoticeTest, EveryTextIsTranslated) {
    ASSERT_TRUE(app_->LoadLanguage("lang_cn"));
    for (const SettingsNotice& n : EveryNotice()) {
        QString text = SettingsNoticeText(n);
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(text.contains("/d/macro.xml"));
        if (n.kind == Kind::kKeptUnreadable) {
            EXPECT_TRUE(text.contains("macro.xml.unreadable-1"));
        }
        text.remove("macro.xml.unreadable-1").remove("/d/macro.xml");
        EXPECT_FALSE(text.contains(QRegularExpression("[A-Za-z]")));
    }
}

TEST_F(SettingsNoticeTest, TheEnglishTextNamesTheFileTheCopyAndTheReason) {
    ASSERT_TRUE(app_->LoadLanguage("lang_en"));
    SettingsNotice kept;
    kept.kind = Kind::kKeptUnreadable;
    kept.file = "/d/macro.xml";
    kept.copy = "/d/macro.xml.unreadable-20261211-153012";
    kept.empty = true;
    EXPECT_EQ(SettingsNoticeText(kept),
              "The settings file /d/macro.xml could not be read: it is empty. It was kept as "
              "macro.xml.unreadable-20261211-153012 in the same folder, and the program goes on "
              "with default settings for it.");
    SettingsNotice full;
    full.kind = Kind::kSaveFailed;
    full.file = "/d/ledeffect.xml";
    full.writeProblem = WriteProblem::kOther;
    full.detail = "rename: Input/output error";
    EXPECT_EQ(SettingsNoticeText(full),
              "Your changes could not be saved to /d/ledeffect.xml: the system reported an error "
              "(rename: Input/output error). They stay in effect until the program ends, and the "
              "next change tries again.");
}

// Notices become boxes from the event loop, one per file however many saves fail.
TEST_F(SettingsNoticeTest, BoxesComeFromTheLoopOncePerFile) {
    std::vector<QString> shown;
    ui::SetMessageBoxAnswerHook([&](const QString& caption, const QString& text, unsigned) {
        EXPECT_EQ(caption, "Warning");
        shown.push_back(text);
        return std::optional<int>(ui::kIdOk);
    });
    ForgetSettingsNotices();
    {
        SettingsNoticeBoxes boxes;
        SettingsNotice n;
        n.kind = Kind::kSaveFailed;
        n.writeProblem = WriteProblem::kDiskFull;
        for (const char* file : {"/d/a.xml", "/d/a.xml", "/d/b.xml", "/d/a.xml"}) {
            n.file = file;
            ReportSettingsNotice(n);
        }
        EXPECT_TRUE(shown.empty()) << "not from inside the failing save";
        QCoreApplication::processEvents();
    }
    ui::SetMessageBoxAnswerHook(nullptr);
    ForgetSettingsNotices();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[0].contains("/d/a.xml") && shown[0].contains("the disk is full"));
    EXPECT_TRUE(shown[1].contains("/d/b.xml"));
}

}  // namespace
}  // namespace keylume
