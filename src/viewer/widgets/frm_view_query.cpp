// The query pane: one set of the open query list, its level, its rows and
// the buttons that page through it and act on it.

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QToolButton>

#include <optional>

#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "foundation/widgets/dialog_factory.h"
#include "foundation/widgets/generic_dialogs.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {

using TalqClientAPI_Header::kMoreBefore;
using TalqClientAPI_Header::kMoreFollows;

void frmView::ClearServerQuery() {
    TalqClientAPI_Header::ClearServerQuery(Session(), query.CurrentQuery);
}

void frmView::CloseQueryPane() {
    query.QuerySrchStr.clear();
    query.Query_Active = 0;
    query.bQuesterActive = false;
    ClearServerQuery();
    Form_Resize();
}

void frmView::LoadQueryList() {
    query.QueryListLoading = 1;
    {
        const QSignalBlocker quiet(ui.QueryCombo);
        ui.QueryCombo->clear();
        const std::string descs = Session().BndryDescs();
        for (int i = 1, count = Session().BndryNbr(); i <= count; ++i)
            ui.QueryCombo->addItem(platform::ToQString(mVBUtil::GetField("|", descs, i)));
        ui.QueryCombo->addItem(QStringLiteral("Page"));
        ui.QueryCombo->setCurrentIndex(QueryLevelIndex(query.CurrentQuery.Level));
    }

    if (query.CurrentQuery.Kind == 1) {
        ui.QueryLabel->setText(platform::ToQString(query.CurrentQuery.ServerFile));
        ui.QueryLabel->setVisible(true);
        ui.TBQuery[8]->setVisible(false);
    } else {
        ui.TBQuery[8]->setVisible(project.g_RestrictTags < 1);
        ui.QueryLabel->setVisible(false);
    }
    ui.TBQuery[9]->setVisible((Session().FullText() & 8) != 0);
    ui.TBQuery[0]->setEnabled(query.CurrentQuery.RowCount != 0);
    ui.TBQuery[1]->setEnabled(query.CurrentQuery.RowCount != 0);
    ui.TBQuery[3]->setVisible((query.CurrentQuery.MoreFlags & kMoreFollows) != 0);
    ui.TBQuery[2]->setVisible((query.CurrentQuery.MoreFlags & kMoreBefore) != 0);

    {
        const QSignalBlocker quiet(ui.QueryList);
        ui.QueryList->clear();
        int position = 1;
        for (std::int32_t i = 0; i < query.CurrentQuery.RowCount && position != -1; ++i)
            ui.QueryList->addItem(
                platform::ToQString(mVBUtil::NextToken(",", query.CurrentQuery.KeyList, position)));
    }
    // The keys live in the list box from here on.
    query.CurrentQuery.KeyList.clear();
    query.QueryListLoading = 0;
    if (query.CurrentQuery.RowCount < 1) {
        ui.QueryList->setEnabled(false);
    } else {
        ui.QueryList->setEnabled(true);
        if (query.CurrentQuery.CurrentRow > 0)
            ui.QueryList->setCurrentRow(query.CurrentQuery.CurrentRow - 1);
    }

    if (!query.CurrentQuery.InvalidKeyList.empty()) {
        platform::Beep();
        std::unique_ptr<frmListBox> list = talq::DialogFactory<frmListBox>::Create(this);
        list->TitleText = "** Invalid Image Keys Found in Query **";
        std::string items = query.CurrentQuery.InvalidKeyList;
        for (char& c : items)
            if (c == ',') c = kListSep;
        list->ItemList = items;
        list->exec();
    }
}

void frmView::QueryCombo_Click() {
    if (query.QueryListLoading != 0) return;
    if (!Session().IsProjectValid() || query.CurrentQuery.Kind == 0) return;
    const int index = ui.QueryCombo->currentIndex();
    if (index < 0) return;
    std::int16_t level = 0;
    if (index < Session().BndryNbr())
        level = static_cast<std::int16_t>(
            mVBUtil::Val(mVBUtil::GetField("|", Session().BndryLvls(), index + 1)));
    if (level == query.CurrentQuery.Level) return;
    const std::int16_t shown = query.CurrentQuery.Level;
    query.CurrentQuery.Level = level;
    if (ScrollQuery(0, "Unable to Obtain Query List")) return;
    query.CurrentQuery.Level = shown;
    const QSignalBlocker quiet(ui.QueryCombo);
    ui.QueryCombo->setCurrentIndex(QueryLevelIndex(shown));
}

int frmView::QueryLevelIndex(std::int16_t level) {
    const std::string levels = Session().BndryLvls();
    for (int i = 1, count = Session().BndryNbr(); i <= count; ++i)
        if (BoundaryLevelAt(levels, i) == level) return i - 1;
    return ui.QueryCombo->count() - 1;
}

bool frmView::ScrollQuery(std::int16_t direction, const char* failure) {
    ViewerSession::Action action(Session());
    Session().TakeUntoldTransportError();
    // A failed read leaves the set on screen as it was: an empty list would
    // read as a query without pages.
    const TalqClientAPI_Header::QueryRecord shown = query.CurrentQuery;
    if (TalqClientAPI_Header::QueryScroll(Session(), query.CurrentQuery, direction)) {
        LoadQueryList();
        return true;
    }
    query.CurrentQuery = shown;
    if (query.CurrentQuery.Kind != 0) TellFailedRequest(failure);
    return false;
}

void frmView::QueryList_Click() {
    if (query.QueryListLoading != 0) return;
    if (RequestInProcess() || !Session().IsProjectValid()) return;
    QListWidgetItem* item = ui.QueryList->currentItem();
    if (item == nullptr || !item->isSelected()) return;
    docPosition.g_iDocPsn = 0;
    DisplayImage(platform::FromQString(item->text()));
    if (query.bQuesterActive && page.szCurrentKey != conceptHits.g_QuesterLastKey) {
        CreateQuesterHilites(
            mVBUtil::GetField("|", query.CurrentQuery.RowTextList, ui.QueryList->row(item) + 1));
        RedisplayImage();
    }
}

void frmView::TBQuery_Click(int Index) {
    if (RefuseWhileBusy()) return;
    if (!Session().IsProjectValid()) return;
    const int row = ui.QueryList->currentRow();
    const int count = ui.QueryList->count();
    // A query kept on the server gives up within one time-out in all; the
    // print and quick scroll windows run actions of their own.
    std::optional<ViewerSession::Action> action;
    if (Index == 8 || Index == 9) action.emplace(Session());
    switch (Index) {
        case 0:
            if (row <= 0) {
                platform::Beep();
            } else {
                ui.QueryList->setCurrentRow(row - 1);
            }
            break;
        case 1:
            if (row + 1 >= count) {
                platform::Beep();
            } else {
                ui.QueryList->setCurrentRow(row + 1);
            }
            break;
        case 2:
        case 3:
            ScrollQuery(Index == 3 ? 1 : 2, Index == 3 ? "Unable to Obtain Next Query Set"
                                                       : "Unable to Obtain Previous Query Set");
            break;
        case 4:
            OpenPrintDialog(1);
            break;
        case 5:
            OpenQuickScroll(1);
            break;
        case 6:
            SaveQueryListToFile();
            break;
        case 7:
            CloseQueryPane();
            break;
        case 8:
            SaveQueryToIssue();
            break;
        case 9:
            SortQueryByDate();
            break;
        default:
            break;
    }
}

}  // namespace viewer
