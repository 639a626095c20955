#pragma once
// A loaded main window on the offscreen screen at 15 twips a pixel, with a
// fake session and scripted prompts.

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

#include "platform/draw_surface.h"
#include "platform/rounding.h"
#include "platform/scripted_prompts.h"
#include "support/scoped_env.h"
#include "viewer/fake_viewer_session.h"
#include "viewer/widgets/frm_view.h"

namespace testsupport {

class FrmViewTest : public ::testing::Test {
  protected:
    FrmViewTest() : scoped_(prompts) {
        platform::SetScreenTwipsPerPixelForTest({15.0, 15.0});
        window = std::make_unique<viewer::frmView>([this] {
            auto s = std::make_unique<FakeViewerSession>();
            session = s.get();
            return s;
        });
        window->Form_Load();
        window->show();
        Resize(900, 700);
    }
    ~FrmViewTest() override {
        window.reset();
        platform::SetScreenTwipsPerPixelForTest({0.0, 0.0});
    }

    void Resize(int w, int h) {
        window->resize(w, h);
        QApplication::processEvents();
        window->Form_Resize();
    }
    // The client area in twips.
    int InnerW() const { return window->ui.client->width() * 15; }
    int InnerH() const { return window->ui.client->height() * 15; }

    // Every window saves its settings when it goes; each test starts afresh.
    ScopedUserStores stores_;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    FakeViewerSession* session = nullptr;
    std::unique_ptr<viewer::frmView> window;
};

}  // namespace testsupport
