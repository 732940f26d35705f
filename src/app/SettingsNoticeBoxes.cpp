#include "app/SettingsNoticeBoxes.h"

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>

#include "ui/MessageBox.h"
#include "ui/SWindow.h"

namespace keylume {

namespace {

using platform::ReadStatus;
using platform::WriteProblem;

QString Native(const std::filesystem::path& path) {
    return QDir::toNativeSeparators(QString::fromStdString(path.string()));
}

QString ReadReason(const SettingsNotice& n) {
    if (n.empty)
        return ui::TrText("it is empty");
    switch (n.readStatus) {
        case ReadStatus::kRead:
            return ui::TrText("it is damaged");
        case ReadStatus::kTooLarge:
            return ui::TrText("it is too large to be a settings file");
        case ReadStatus::kFolder:
            return ui::TrText("a folder has its name");
        case ReadStatus::kNotAFile:
            return ui::TrText("it is not a regular file");
        case ReadStatus::kDanglingLink:
            return ui::TrText("it is a link to a file that does not exist");
        case ReadStatus::kNoAccess:
            return ui::TrText("the program is not allowed to read it");
        case ReadStatus::kMissing:
        case ReadStatus::kFailed:
            break;
    }
    return ui::TrText("the system could not read it") + " (" + QString::fromStdString(n.detail) +
           ")";
}

QString WriteReason(WriteProblem problem, const std::string& detail) {
    switch (problem) {
        case WriteProblem::kFolderNotWritable:
            return ui::TrText("the folder cannot be written to");
        case WriteProblem::kFolderMissing:
            return ui::TrText("the folder does not exist");
        case WriteProblem::kReadOnlyDisk:
            return ui::TrText("the disk is read-only");
        case WriteProblem::kDiskFull:
            return ui::TrText("the disk is full");
        case WriteProblem::kFolderInPlace:
            return ui::TrText("a folder has its name");
        case WriteProblem::kReadOnlyFile:
            return ui::TrText("the file is read-only");
        case WriteProblem::kForeignLink:
            return ui::TrText(
                "it is a link, and the link or the file it leads to belongs to "
                "another user");
        case WriteProblem::kLinkTargetMissing:
            return ui::TrText("it is a link to a file that does not exist");
        case WriteProblem::kIsLink:
            return ui::TrText("it is a link to another file");
        case WriteProblem::kNone:
        case WriteProblem::kOther:
            break;
    }
    return ui::TrText("the system reported an error") + " (" + QString::fromStdString(detail) + ")";
}

void Show(const QString& text) {
    ui::SMessageBox(nullptr, text, "Warning", ui::kMbOk | ui::kMbIconWarning);
}

}  // namespace

QString SettingsNoticeText(const SettingsNotice& n) {
    const QString file = Native(n.file);
    switch (n.kind) {
        case SettingsNotice::Kind::kKeptUnreadable:
            return ui::TrText(
                       "The settings file %1 could not be read: %2. It was kept as %3 in "
                       "the same folder, and the program goes on with default settings "
                       "for it.")
                .arg(file, ReadReason(n), QString::fromStdString(n.copy.filename().string()));
        case SettingsNotice::Kind::kLeftUnreadable: {
            QString reason = ReadReason(n);
            if (n.writeProblem != WriteProblem::kNone)
                reason = ui::TrText("%1, and no copy of it could be kept: %2")
                             .arg(reason, WriteReason(n.writeProblem, n.detail));
            if (n.onlyRead)
                return ui::TrText(
                           "The settings file %1 could not be read: %2. The program uses "
                           "its built-in settings, and the file is left as it is.")
                    .arg(file, reason);
            return ui::TrText(
                       "The settings file %1 could not be read: %2. It is left as it is, "
                       "and changes to these settings last only until the program ends.")
                .arg(file, reason);
        }
        case SettingsNotice::Kind::kSaveFailed:
            return ui::TrText(
                       "Your changes could not be saved to %1: %2. They stay in effect "
                       "until the program ends, and the next change tries again.")
                .arg(file, WriteReason(n.writeProblem, n.detail));
    }
    return file;
}

SettingsNoticeBoxes::SettingsNoticeBoxes() {
    SetSettingsNoticeSink([](const SettingsNotice& notice) {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr)
            return;
        // The text is made when the box is shown, so that it is in the language of that moment.
        QMetaObject::invokeMethod(
            app, [notice] { Show(SettingsNoticeText(notice)); }, Qt::QueuedConnection);
    });
}

SettingsNoticeBoxes::~SettingsNoticeBoxes() {
    SetSettingsNoticeSink(nullptr);
}

}  // namespace keylume
