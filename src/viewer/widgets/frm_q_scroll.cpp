#include "viewer/widgets/frm_q_scroll.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "foundation/text_match.h"
#include "platform/prompts.h"
#include "viewer/quick_scroll.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {

frmQScroll::frmQScroll(frmView* mainView) : QWidget(mainView, Qt::Dialog), MainView(mainView) {
    setWindowTitle(QStringLiteral("QuickScroll"));
    Label1 = new QLabel(QStringLiteral("Interval (Milliseconds):"), this);
    Label1->setGeometry(10, 10, 150, 22);
    Label2 = new QLabel(QStringLiteral("1000"), this);
    Label2->setGeometry(165, 10, 60, 22);
    cmdInterval[0] = new QPushButton(QStringLiteral("Faster"), this);
    cmdInterval[1] = new QPushButton(QStringLiteral("Slower"), this);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdInterval[0]->setGeometry(10, 40, 70, 26);
    cmdInterval[1]->setGeometry(85, 40, 70, 26);
    cmdCancel->setGeometry(160, 40, 70, 26);
    for (int i = 0; i < 2; ++i) {
        connect(cmdInterval[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdInterval_Click(i); });
    }
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    Timer1 = new QTimer(this);
    Timer1->setInterval(quickscroll::kDefaultInterval);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    setFixedSize(240, 76);
}

frmQScroll::~frmQScroll() = default;

void frmQScroll::Form_Load() {
    QuickScroll& state = MainView->quickScroll;
    state.QuickScroll_Active = 1;
    state.QuickScrollInterval = quickscroll::OpeningInterval(state.QuickScrollInterval);
    Label2->setText(QString::number(state.QuickScrollInterval));
    Timer1->setInterval(state.QuickScrollInterval);
    Timer1->start();
    setWindowTitle(state.QuickScrollMode == 1 ? QStringLiteral("QuickScroll Query List")
                                              : QStringLiteral("QuickScroll Entire Project"));
    // The main window waits while the pages pass, as under a modal window,
    // but command messages still reach it and close this one.
    MainView->BlockInput();
    inputBlocked_ = true;
    if (MainView->panes.PrjView_Active != 0 && MainView->panes.dlgPrjVw != nullptr) {
        MainView->CloseProjectTree();
        MainView->Form_Resize();
    }
}

void frmQScroll::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    Timer1->stop();
    QuickScroll& state = MainView->quickScroll;
    state.QuickScroll_Active = 0;
    state.QuickScrollMode = 0;
    if (state.form == this) state.form = nullptr;
    if (inputBlocked_) MainView->UnblockInput();
    inputBlocked_ = false;
}

void frmQScroll::Unload() {
    Form_Unload();
    hide();
    deleteLater();
}

void frmQScroll::closeEvent(QCloseEvent* event) {
    event->accept();
    Unload();
}

void frmQScroll::cmdInterval_Click(int Index) {
    std::int32_t& interval = MainView->quickScroll.QuickScrollInterval;
    interval = quickscroll::StepInterval(interval, Index == 1);
    Timer1->setInterval(interval);
    Label2->setText(QString::number(interval));
}

void frmQScroll::cmdCancel_Click() {
    Unload();
}

void frmQScroll::Timer1_Timer() {
    // A tick inside the step before it (its page is still coming) waits for
    // the next one, as does a tick while a request runs.
    if (unloaded_ || stepping_) return;
    if (MainView->TalqAPi == nullptr || MainView->TalqAPi->IsRequestInProcess()) return;
    if (!MainView->TalqAPi->IsProjectValid()) {
        Unload();
        return;
    }
    stepping_ = true;
    if (MainView->quickScroll.QuickScrollMode == 1) {
        StepList();
    } else {
        StepProject();
    }
    stepping_ = false;
}

void frmQScroll::StepList() {
    QListWidget* list = MainView->ui.QueryList;
    if (list->currentRow() >= list->count() - 1) {
        platform::Beep();
        Unload();
        return;
    }
    // The list's own handler shows the row's page.
    list->setCurrentRow(list->currentRow() + 1);
}

void frmQScroll::StepProject() {
    frmView& view = *MainView;
    const std::string current = view.page.szCurrentKey;
    if (view.project.g_LimitNav != 0 &&
        mVBUtil::CompareTextNoCase(current, view.docPosition.g_szDocEkey) >= 0) {
        platform::Beep();
        Unload();
        return;
    }
    view.docPosition.StepPage(true);
    int level = 0;
    std::string next;
    if (!view.TalqAPi->NextKey(current, level, next) || next.empty()) {
        platform::Beep();
        Unload();
        return;
    }
    if (!view.DisplayImage(next)) Unload();
}

}  // namespace viewer
