// The link to the document database program: three footer buttons steer
// that program to the record of the document on display.

#include <QAction>

#include "platform/prompts.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/widgets/toolbar_pictures.h"

namespace viewer {
namespace {

constexpr int kLinkButtonOffsets[3] = {200, 500, 900};
constexpr int kLinkButtonTwips = 300;
constexpr const char* kLinkCommands[3] = {"pgup ", "pgdn ", "goto "};

}  // namespace

void frmView::BuildLinkButtons() {
    const Picture pictures[3] = {Picture::DatabasePrevious, Picture::DatabaseNext,
                                 Picture::DatabaseShow};
    const char* tips[3] = {"Go To Previous Document in Database",
                           " Go To Next Document in Database",
                           "Display Current Document in Database "};
    for (int i = 0; i < 3; ++i) {
        auto* b = new PictureButton(i, ui.picFooter);
        b->setIcon(ToolbarPicture(pictures[i]));
        b->setToolTip(QString::fromLatin1(tips[i]));
        b->hide();
        connect(b, &PictureButton::Click, this, [this](int index) { Img_ConDB_Click(index); });
        ui.Img_ConDB[static_cast<size_t>(i)] = b;
    }
    connect(ui.mnuLink, &QAction::triggered, this, [this] {
        ui.mnuLink->setChecked(!ui.mnuLink->isChecked());
        mnuLink_Click();
    });
}

void frmView::PlaceLinkButtons() {
    for (int i = 0; i < 3; ++i) {
        PictureButton* b = ui.Img_ConDB[static_cast<size_t>(i)];
        b->setGeometry(PixelsX(link.Conc_Ctrls_Start + kLinkButtonOffsets[i]), PixelsY(30),
                       PixelsX(kLinkButtonTwips), PixelsY(kLinkButtonTwips));
        b->setVisible(link.g_bBackLink);
    }
}

void frmView::mnuLink_Click() {
    link.g_bBackLink = !link.g_bBackLink;
    ui.mnuLink->setChecked(link.g_bBackLink);
    PlaceLinkButtons();
}

void frmView::Img_ConDB_Click(int Index) {
    if (Index < 0 || Index > 2) return;
    if (page.szCurrentKey.empty()) return;
    const std::string key = docPosition.g_szDocBkey;
    if (link.DDE_LINK.empty()) {
        platform::Beep();
        ui.ddectl.Close();
        return;
    }
    platform::DdeResult linked = ui.ddectl.Link("DocDB|*");
    if (!linked.ok) linked = ui.ddectl.Link("DocDB Reviewer|*");
    if (!linked.ok) {
        platform::MsgBox("Please Activate Database Link - Error = " + linked.description,
                         platform::vbInformation);
        return;
    }
    std::string command = kLinkCommands[Index] + link.DDE_LINK + " = " + key;
    command.push_back('\0');
    if (!ui.ddectl.Execute(command).ok) {
        platform::MsgBox("Could not find key in Database: " + key, platform::vbInformation);
    } else {
        ui.ddectl.Execute("repaint");
    }
    ui.ddectl.Close();
}

}  // namespace viewer
