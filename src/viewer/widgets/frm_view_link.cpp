// The link to the document database program: three footer buttons steer
// that program to the record of the document on display.

#include <QAction>
#include <QToolButton>

#include "platform/prompts.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

constexpr int kLinkButtonOffsets[3] = {200, 500, 900};
constexpr int kLinkButtonTwips = 300;
constexpr const char* kLinkCommands[3] = {"pgup ", "pgdn ", "goto "};

}  // namespace

void frmView::BuildLinkButtons() {
    const char* captions[3] = {"<", ">", "="};
    const char* tips[3] = {"Database: Previous Record", "Database: Next Record",
                           "Database: Go To Document"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QToolButton(picFooter);
        b->setText(QString::fromLatin1(captions[i]));
        b->setToolTip(QString::fromLatin1(tips[i]));
        b->setAutoRaise(true);
        b->hide();
        connect(b, &QToolButton::clicked, this, [this, i] { Img_ConDB_Click(i); });
        Img_ConDB[static_cast<size_t>(i)] = b;
    }
    connect(mnuLink, &QAction::triggered, this, [this] {
        mnuLink->setChecked(!mnuLink->isChecked());
        mnuLink_Click();
    });
}

void frmView::PlaceLinkButtons() {
    for (int i = 0; i < 3; ++i) {
        QToolButton* b = Img_ConDB[static_cast<size_t>(i)];
        b->setGeometry(PixelsX(link.Conc_Ctrls_Start + kLinkButtonOffsets[i]), 0,
                       PixelsX(kLinkButtonTwips), PixelsY(kLinkButtonTwips));
        b->setVisible(link.g_bBackLink);
    }
}

void frmView::mnuLink_Click() {
    link.g_bBackLink = !link.g_bBackLink;
    mnuLink->setChecked(link.g_bBackLink);
    PlaceLinkButtons();
}

void frmView::Img_ConDB_Click(int Index) {
    if (Index < 0 || Index > 2) return;
    if (page.szCurrentKey.empty()) return;
    const std::string key = docPosition.g_szDocBkey;
    if (link.DDE_LINK.empty()) {
        platform::Beep();
        ddectl.Close();
        return;
    }
    platform::DdeResult linked = ddectl.Link("DocDB|*");
    if (!linked.ok) linked = ddectl.Link("DocDB Reviewer|*");
    if (!linked.ok) {
        platform::MsgBox("Please Activate Database Link - Error = " + linked.description,
                         platform::vbInformation);
        return;
    }
    std::string command = kLinkCommands[Index] + link.DDE_LINK + " = " + key;
    command.push_back('\0');
    if (!ddectl.Execute(command).ok) {
        platform::MsgBox("Could not find key in Database: " + key, platform::vbInformation);
    } else {
        ddectl.Execute("repaint");
    }
    ddectl.Close();
}

}  // namespace viewer
