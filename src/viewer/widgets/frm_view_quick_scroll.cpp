// Opening and closing the quick-scroll window.

#include "viewer/widgets/frm_q_scroll.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {

void frmView::OpenQuickScroll(std::int16_t listMode) {
    if (quickScroll.form) return;
    quickScroll.QuickScrollMode = listMode;
    auto* form = new frmQScroll(this);
    quickScroll.form = form;
    form->Form_Load();
    form->show();
}

void frmView::CloseQuickScroll() {
    if (quickScroll.form) quickScroll.form->Unload();
    quickScroll.form = nullptr;
}

}  // namespace viewer
