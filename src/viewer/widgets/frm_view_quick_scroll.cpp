// Opening and closing the quick-scroll window.

#include <QScreen>

#include <algorithm>

#include "viewer/widgets/frm_q_scroll.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {

void frmView::OpenQuickScroll(std::int16_t listMode) {
    if (quickScroll.form) return;
    quickScroll.QuickScrollMode = listMode;
    auto* form = new frmQScroll(this);
    quickScroll.form = form;
    form->Form_Load();
    // A plain window gets no placement from Qt; it opens over this one, as a
    // dialog would.
    QRect placed(QPoint(), form->size());
    placed.moveCenter(frameGeometry().center());
    if (const QScreen* shown = screen()) {
        const QRect area = shown->availableGeometry();
        placed.moveLeft(
            std::max(area.left(), std::min(placed.left(), area.right() - placed.width())));
        placed.moveTop(
            std::max(area.top(), std::min(placed.top(), area.bottom() - placed.height())));
    }
    form->move(placed.topLeft());
    form->show();
}

void frmView::CloseQuickScroll() {
    if (quickScroll.form) quickScroll.form->Unload();
    quickScroll.form = nullptr;
}

}  // namespace viewer
