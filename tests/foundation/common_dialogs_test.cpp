#include "foundation/widgets/common_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QKeyEvent>
#include <QTimer>

#include "foundation/binary_files.h"
#include "platform/scripted_prompts.h"
#include "support/fake_dialog_runner.h"
#include "support/modal_answerer.h"
#include "support/scoped_env.h"

using namespace mComDlg;

namespace {

class CommonDialogs : public ::testing::Test {
  protected:
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scopedPrompts{prompts};
    testsupport::FakeDialogRunner runner;
    ScopedDialogRunner scopedRunner{runner};
    testsupport::ScopedTempDir dir;
};

TEST_F(CommonDialogs, ColorIsReturnedOnlyWhenConfirmed) {
    std::uint32_t color = RgbColor(10, 20, 30);
    EXPECT_FALSE(ShowColorDialog(nullptr, color));
    EXPECT_EQ(color, RgbColor(10, 20, 30));
    runner.colors.push_back(RgbColor(255, 0, 0));
    EXPECT_TRUE(ShowColorDialog(nullptr, color));
    EXPECT_EQ(color, 0x0000FFu);
    EXPECT_EQ(runner.colorStarts.back(), RgbColor(10, 20, 30));
}

TEST_F(CommonDialogs, FontDefaultsStayWithTheCallerEvenAfterCancel) {
    std::string face;
    int size = 0, style = 0;
    std::uint32_t color = 5;
    EXPECT_FALSE(ShowFontDialog(nullptr, face, size, style, color));
    EXPECT_EQ(face, "Arial");
    EXPECT_EQ(size, 14);
    EXPECT_EQ(style, 0);
    EXPECT_EQ(color, 5u);
    EXPECT_EQ(runner.fontStarts.back().pointTenths, 140);
}

TEST_F(CommonDialogs, FontDialogIsOfferedTheCallersFont) {
    std::string face(40, 'F');
    int size = 12, style = kFontBold | kFontItalic;
    std::uint32_t color = RgbColor(0, 128, 0);
    ShowFontDialog(nullptr, face, size, style, color);
    const FontChoice& start = runner.fontStarts.back();
    EXPECT_EQ(start.face, std::string(31, 'F'));
    EXPECT_EQ(start.weight, 700);
    EXPECT_TRUE(start.italic);
    EXPECT_FALSE(start.underline);
    EXPECT_EQ(start.color, color);
    EXPECT_EQ(face, std::string(40, 'F'));
}

TEST_F(CommonDialogs, FontChoiceComesBackAsFaceSizeStyleAndColor) {
    FontChoice chosen;
    chosen.face = "Liberation Serif";
    chosen.pointTenths = 105;
    chosen.weight = 600;
    chosen.italic = false;
    chosen.underline = true;
    chosen.color = RgbColor(0, 0, 255);
    runner.fonts.push_back(chosen);
    std::string face = "Arial";
    int size = 9, style = kFontBold;
    std::uint32_t color = 0;
    ASSERT_TRUE(ShowFontDialog(nullptr, face, size, style, color));
    EXPECT_EQ(face, "Liberation Serif");
    EXPECT_EQ(size, 10);
    EXPECT_EQ(style, kFontUnderline);  // semibold is not bold
    EXPECT_EQ(color, 0xFF0000u);
}

TEST_F(CommonDialogs, FontColorDialogKeepsStyleSizeAndColor) {
    FontColorDialog dialog;
    FontChoice start;
    start.face = "Liberation Sans";
    start.pointTenths = 180;
    start.weight = 700;
    start.italic = true;
    start.underline = true;
    start.color = RgbColor(1, 2, 3);
    dialog.SetChoice(start);
    FontChoice back = dialog.Choice();
    EXPECT_EQ(back.pointTenths, 180);
    EXPECT_EQ(FontStyleBits(back.weight, back.italic, back.underline), 28);
    EXPECT_EQ(back.color, start.color);
}

TEST_F(CommonDialogs, FontDialogEnterAndEscapeCloseTheWholeDialogAndKeepTheFace) {
    struct Case {
        Qt::Key key;
        int result;
    };
    for (const Case c :
         {Case{Qt::Key_Return, QDialog::Accepted}, Case{Qt::Key_Enter, QDialog::Accepted},
          Case{Qt::Key_Escape, QDialog::Rejected}}) {
        FontColorDialog dialog;
        FontChoice start;
        start.face = "Arial";  // a face this machine may well lack
        start.pointTenths = 120;
        dialog.SetChoice(start);
        bool stillOpen = true;
        QTimer::singleShot(0, &dialog, [&] {
            QWidget* target = QApplication::focusWidget();
            if (target == nullptr || !dialog.fontPicker->isAncestorOf(target))
                target = dialog.fontPicker;
            QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
            QApplication::sendEvent(target, &press);
            stillOpen = dialog.isVisible();
            if (stillOpen) dialog.done(-1);
        });
        EXPECT_EQ(dialog.exec(), c.result) << c.key;
        EXPECT_FALSE(stillOpen) << c.key;
        EXPECT_EQ(dialog.Choice().face, "Arial") << c.key;
        EXPECT_EQ(dialog.Choice().pointTenths, 120) << c.key;
    }
}

TEST_F(CommonDialogs, OpenStartsInTheFolderOfThePath) {
    std::string path = "D:\\lists\\keys.txt";
    EXPECT_FALSE(ShowFileDialog(nullptr, path, "Text Files|*.txt|All Files|*.*", 2, 0));
    EXPECT_EQ(path, "D:\\lists\\keys.txt");
    const FileRequest& r = runner.fileRequests.back();
    EXPECT_EQ(r.title, "Open File");
    EXPECT_EQ(r.folder, "D:\\lists");
    EXPECT_EQ(r.fileName, "keys.txt");
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_FALSE(r.save);
    ASSERT_EQ(r.filters.size(), 2u);

    std::string unused;
    ShowFileDialog(nullptr, unused, "", 3, 0);
    EXPECT_EQ(runner.fileRequests.back().filterIndex, 0);
    EXPECT_EQ(runner.fileRequests.back().folder, "");
}

TEST_F(CommonDialogs, SaveTakesTheDefaultExtensionFromTheChosenFilter) {
    std::string path;
    runner.files.push_back(FileAnswer{dir.Path() + "/keys", 1});
    ASSERT_TRUE(ShowFileDialog(nullptr, path, "Text Files|*.txt|All Files|*.*", 1, 1));
    EXPECT_EQ(path, dir.Path() + "/keys.txt");
    EXPECT_EQ(runner.fileRequests.back().title, "Save File");

    runner.files.push_back(FileAnswer{dir.Path() + "/keys", 2});
    ASSERT_TRUE(ShowFileDialog(nullptr, path, "Text Files|*.txt|All Files|*.*", 1, 1));
    EXPECT_EQ(path, dir.Path() + "/keys");
}

TEST_F(CommonDialogs, SaveOverExistingFileAsksAndNoReopensTheDialog) {
    std::string existing = dir.Path() + "/keys.txt";
    testsupport::WriteFile(existing, "old");
    runner.files.push_back(FileAnswer{existing, 1});
    prompts.QueueAnswer(platform::vbNo);
    std::string path = dir.Path() + "/start.txt";
    EXPECT_FALSE(ShowFileDialog(nullptr, path, "Text Files|*.txt", 1, 1));
    ASSERT_EQ(runner.fileRequests.size(), 2u);
    EXPECT_EQ(runner.fileRequests[1].fileName, "keys.txt");
    // The declined name stays with the caller when the reopened dialog is cancelled.
    EXPECT_EQ(path, existing);
    EXPECT_TRUE(mVBUtil::FileExists(existing));
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0], "File already exists.  Overwrite file?\n\n" + existing);
    EXPECT_EQ(prompts.Records().back().title, "Warning");
    EXPECT_EQ(prompts.Records().back().style, platform::vbYesNo | platform::vbDefaultButton2);
    EXPECT_EQ(prompts.Beeps(), 1);
}

TEST_F(CommonDialogs, SaveOverExistingFileWithYesKeepsItForTheWriterToReplace) {
    std::string existing = dir.Path() + "/keys.txt";
    testsupport::WriteFile(existing, "old");
    runner.files.push_back(FileAnswer{existing, 1});
    prompts.QueueAnswer(platform::vbYes);
    std::string path;
    bool replace = false;
    ASSERT_TRUE(ShowFileDialog(nullptr, path, "Text Files|*.txt", 1, 1, &replace));
    EXPECT_EQ(path, existing);
    EXPECT_TRUE(replace);
    EXPECT_EQ(testsupport::ReadFile(existing), "old");
}

TEST_F(CommonDialogs, OpeningAnExistingFileAsksNothing) {
    std::string existing = dir.Path() + "/keys.txt";
    testsupport::WriteFile(existing, "old");
    runner.files.push_back(FileAnswer{existing, 1});
    std::string path;
    ASSERT_TRUE(ShowFileDialog(nullptr, path, "Text Files|*.txt", 1, 0));
    EXPECT_TRUE(prompts.Records().empty());
    EXPECT_TRUE(mVBUtil::FileExists(existing));
}

}  // namespace

namespace {

TEST(QtCommonDialogs, FileDialogHandsBackTheChosenFileAndFilter) {
    testsupport::ScopedTempDir dir;
    std::string file = dir.Path() + "/TALQAUTH.SYS";
    testsupport::WriteFile(file, "x");
    mComDlg::QtCommonDialogRunner runner;
    mComDlg::FileRequest request;
    request.title = "Open File";
    request.folder = dir.Path();
    request.fileName = "TALQAUTH.SYS";
    request.filters = {{"Text Files", "*.txt"}, {"AuthFile", "*.sys"}};
    request.filterIndex = 2;
    QStringList offered;
    testsupport::ModalAnswerer answerer([&offered](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) return;
        offered = dialog->nameFilters();
        QMetaObject::invokeMethod(dialog, "accept");
    });
    std::optional<FileAnswer> answer = runner.RunFile(nullptr, request);
    EXPECT_FALSE(answerer.TimedOut());
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->path, file);
    EXPECT_EQ(answer->filterIndex, 2);
    ASSERT_EQ(offered.size(), 2);
    EXPECT_EQ(offered[1], "AuthFile (*.[sS][yY][sS])");
}

}  // namespace
