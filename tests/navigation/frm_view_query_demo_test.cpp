// The search menu of the main window against a demo system over TCP: the
// OCR search opens its hits and marks the word on the page shown.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include <algorithm>
#include <cctype>

#include "demo/demo_database.h"
#include "demo/demo_system.h"
#include "engine/system_db.h"
#include "foundation/mod_registry.h"
#include "foundation/widgets/generic_dialogs.h"
#include "navigation/widgets/search_dialogs.h"
#include "platform/draw_surface.h"
#include "platform/scripted_prompts.h"
#include "render/image_view_transform.h"
#include "server/widgets/frm_login.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"
#include "support/server_process.h"
#include "viewer/widgets/frm_view.h"

namespace {

constexpr std::int32_t kRed = 0x0000FF;

TEST(QueryDemo, OcrSearchFromTheMenuShowsItsHitsAndMarksTheWord) {
    testsupport::ScopedTempDir dir;
    testsupport::ScopedUserStores stores;
    const std::string sys = dir.Path() + "/demo";
    docserver::demo::DemoOptions options;
    options.seed = 7;
    options.pages = 60;
    const docserver::demo::DemoSystem demo = docserver::demo::GenerateDemoSystem(sys, options);
    docserver::demo::WriteDemoSystem(sys, demo);
    {
        std::string error;
        docserver::SystemDb db;
        ASSERT_TRUE(db.Open(sys + "/system.db", false, error)) << error;
        ASSERT_TRUE(db.Exec("UPDATE projects SET full_text = 13 WHERE name = 'ACME';", error));
    }
    // A word of a plain page, long enough to be rare.
    std::string word, key;
    int wx = 0, wy = 0, ww = 0, wh = 0;
    for (const docserver::demo::DemoPage& page : demo.projects.front().pages) {
        if (page.restricted || page.placeholder || !page.content) continue;
        for (const auto& box : page.content->words)
            if (box.word.size() >= 8 && std::all_of(box.word.begin(), box.word.end(), [](char c) {
                    return std::isalpha(static_cast<unsigned char>(c));
                })) {
                word = box.word;
                wx = box.x;
                wy = box.y;
                ww = box.width;
                wh = box.height;
                break;
            }
        if (!word.empty()) {
            key = page.key;
            break;
        }
    }
    ASSERT_FALSE(word.empty());

    testsupport::ServerProcess server(sys);
    ASSERT_GT(server.Port(), 0) << server.Output();
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped(prompts);
    platform::SetScreenTwipsPerPixelForTest({15.0, 15.0});
    auto window = std::make_unique<viewer::frmView>();
    window->Form_Load();
    window->resize(900, 700);
    window->show();
    QApplication::processEvents();
    window->login.szDomain = "DEMO";
    window->login.szIPAddress = "127.0.0.1";
    window->login.szPort = std::to_string(server.Port());
    {
        talq::DialogFactory<frmLogin>::Scoped login(
            testsupport::ScriptedMaker<frmLogin>([](frmLogin& dlg) {
                dlg.Combo1->setCurrentIndex(0);
                dlg.txtUserID->setText("admin");
                dlg.txtPassword->setText("admin");
                dlg.cmdOK_Click();
            }));
        talq::DialogFactory<frmListBox>::Scoped pick(
            testsupport::ScriptedMaker<frmListBox>([](frmListBox& d) {
                const auto found = d.List1->findItems("ACME", Qt::MatchExactly);
                ASSERT_EQ(found.size(), 1);
                d.List1->setCurrentItem(found.front());
                d.cmdOK_Click();
            }));
        window->mnuLogin_Click();
    }
    ASSERT_TRUE(window->TalqAPi->IsProjectValid());

    talq::DialogFactory<SelBox>::Scoped chooser(testsupport::ScriptedMaker<SelBox>([](SelBox& box) {
        box.Option1_Click(2);  // file, notes, OCR, date
        box.cmd_ok_Click();
    }));
    talq::DialogFactory<navigation::frmTxtSrch>::Scoped text(
        testsupport::ScriptedMaker<navigation::frmTxtSrch>([&](navigation::frmTxtSrch& d) {
            d.Text1->setText(QString::fromStdString(word));
            d.cmdOK_Click();
        }));
    window->Tbar_Click(4);
    ASSERT_EQ(window->query.Query_Active, 2) << word;
    EXPECT_EQ(window->query.QuerySrchStr, word);
    const auto rows =
        window->ui.QueryList->findItems(QString::fromStdString(key), Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1);
    window->ui.QueryList->setCurrentItem(rows.front());
    ASSERT_EQ(window->page.szCurrentKey, key);

    // Red appears inside the word's box, and nowhere once the words are gone.
    auto redInBox = [&] {
        mGdi32::ImageViewTransform t =
            mGdi32::TransformFor(window->MainPageDrawInfo(), window->page.g_ViewScaleFactor);
        int red = 0;
        for (int y = wy; y < wy + wh; y += 2)
            for (int x = wx; x < wx + ww; x += 2) {
                std::int32_t sx = x, sy = y;
                mGdi32::ImageToScreen(sx, sy, t);
                if (window->ui.picImage2.Point(sx, sy) == kRed) ++red;
            }
        return red;
    };
    window->RedisplayImage();
    EXPECT_GT(redInBox(), 0);
    window->query.QuerySrchStr.clear();
    window->RedisplayImage();
    EXPECT_EQ(redInBox(), 0);

    window.reset();
    platform::SetScreenTwipsPerPixelForTest({0.0, 0.0});
}

}  // namespace
