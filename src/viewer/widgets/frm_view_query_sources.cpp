// Where the query pane's lists come from (tags, key-list files, searches)
// and where they go (a text file, an issue collection, a sorted list).

#include <QApplication>
#include <QCursor>
#include <QLabel>

#include <fstream>
#include <optional>

#include <unistd.h>

#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "foundation/wait.h"
#include "foundation/widgets/common_dialogs.h"
#include "foundation/widgets/dialog_factory.h"
#include "foundation/widgets/generic_dialogs.h"
#include "navigation/query_sources.h"
#include "navigation/widgets/search_dialogs.h"
#include "platform/event_pump.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "platform/user_dirs.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

const char* const kTextFilter = "Text Files|*.txt|All Files|*.*";
const char* const kTagQueryFailed = "Unable to Open Tag/Issue Query";
const char* const kPoolUnread = "Unable to Obtain Issue Tags";

// The hourglass for the life of the object.
class BusyPointer {
  public:
    BusyPointer() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyPointer() { Restore(); }
    void Restore() {
        if (active_) QApplication::restoreOverrideCursor();
        active_ = false;
    }

  private:
    bool active_ = true;
};

// Runs a SelBox; the 1-based option chosen, 0 after Cancel.
int ChooseOption(QWidget* owner, const std::string& title,
                 const std::vector<std::string>& options) {
    std::unique_ptr<SelBox> box = talq::DialogFactory<SelBox>::Create(owner);
    box->TitleText = title;
    for (const std::string& option : options) {
        if (!box->OptionList.empty()) box->OptionList.push_back(kListSep);
        box->OptionList += option;
    }
    box->Selection = 1;
    box->exec();
    return box->Selection;
}

}  // namespace

void frmView::MergeKeyLists(clsBigString& listA, clsBigString& listB, clsBigString& result,
                            std::int16_t logic) {
    try {
        navigation::MergeKeyLists(listA, listB, result, logic);
    } catch (const std::bad_alloc&) {
        // The combination is given up; the lists merged so far stay in result.
        platform::MsgBox("Out of Memeory", platform::vbCritical, "Critical Error");
    }
}

void frmView::HideClosedQuery() {
    // The search closed the old query: a pane still showing it would be stale.
    if (query.Query_Active == 0 || query.CurrentQuery.Kind != 0) return;
    query.Query_Active = 0;
    Form_Resize();
}

void frmView::OpenQueryFile(const std::string& file, bool& ok) {
    const std::int16_t level = static_cast<std::int16_t>(Session().Bndry3rdParty());
    query.bQuesterActive = false;
    if (query.Query_Active > 0) {
        query.Query_Active = 0;
        ClearServerQuery();
        Form_Resize();
    }
    Session().TakeUntoldTransportError();
    ok = TalqClientAPI_Header::UploadKeyListFile(Session(), query.CurrentQuery, file, level);
    if (!ok) {
        if (query.CurrentQuery.Kind != 0) CloseUnreadQuery();
        return;
    }
    query.Query_Active = 2;
    Form_Resize();
    LoadQueryList();
}

void frmView::CloseUnreadQuery() {
    // Its first set could not be read: no empty list passes for its rows.
    TellFailedRequest("Unable to Obtain Query List");
    ClearServerQuery();
    HideClosedQuery();
}

void frmView::TellPoolUnread() {
    // A refusal of the session's own too ("Tags Are Restricted").
    const std::string reason = Session().TakeFailureOrRefusal();
    platform::BeepWarning(reason.empty() ? std::string(kPoolUnread)
                                         : std::string(kPoolUnread) + "\n" + reason);
}

void frmView::OpenTagQuery() {
    if (RequestInProcess() || !Session().IsProjectValid()) return;
    std::unique_ptr<navigation::frmSelTag> picker =
        talq::DialogFactory<navigation::frmSelTag>::Create(this);
    picker->ClientAPI = &Session();
    Session().TakeUntoldTransportError();
    picker->Load();
    if (picker->PoolUnread) {
        picker.reset();
        TellPoolUnread();
        return;
    }
    picker->exec();
    const std::int32_t count = picker->SelectedCount;
    const std::string tags = picker->SelectedTags;
    const std::int16_t logic = picker->TagLogic;
    picker.reset();
    if (count < 1) return;
    query.bQuesterActive = false;
    // Only this query's own failures are told.
    Session().TakeUntoldTransportError();
    if (count == 1) {
        if (TalqClientAPI_Header::OpenServerQuery(Session(), query.CurrentQuery, 1, tags, 0,
                                                  2000)) {
            query.Query_Active = 1;
            Form_Resize();
            LoadQueryList();
            return;
        }
        // The old query is closed: a pane still showing it would be stale.
        ClearServerQuery();
        HideClosedQuery();
        TellFailedRequest(kTagQueryFailed);
        return;
    }
    OpenMultiTagQuery(tags, count, logic);
}

void frmView::OpenMultiTagQuery(const std::string& tags, std::int32_t count, std::int16_t logic) {
    BusyPointer pointer;
    std::string folder =
        query.MultiTagFolder.empty() ? platform::RuntimeDir() : query.MultiTagFolder;
    platform::MakeDirs(folder, 0700);
    const std::string path = navigation::CreateMultiTagFile(folder);
    if (path.empty()) {
        pointer.Restore();
        platform::Beep();
        platform::MsgBox(folder, platform::vbCritical, "Unable to create Temporary File");
        return;
    }
    std::optional<std::string> combined =
        navigation::CombineTags(Session(), tags, count, logic,
                                [this](clsBigString& a, clsBigString& b, clsBigString& result,
                                       std::int16_t how) { MergeKeyLists(a, b, result, how); });
    if (!combined) {
        // The query shown, if any, stays: nothing was sent to close it.
        ::unlink(path.c_str());
        pointer.Restore();
        TellFailedRequest(kTagQueryFailed);
        return;
    }
    std::string keys = std::move(*combined);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    int position = 1;
    while (position != -1 && !keys.empty())
        out << mVBUtil::NextToken(",", keys, position) << "\r\n";
    out.close();
    if (!out) {
        ::unlink(path.c_str());
        pointer.Restore();
        platform::Beep();
        platform::MsgBox(path, platform::vbCritical, "Unable to create Temporary File");
        return;
    }
    bool ok = false;
    OpenQueryFile(path, ok);
    ::unlink(path.c_str());
}

void frmView::RunSearch() {
    if (RequestInProcess() || !Session().IsProjectValid()) return;
    enum Choice { kFile, kNotes, kOcr, kDate };
    std::vector<std::string> options{"Open ASCII File"};
    std::vector<Choice> meaning{kFile};
    const std::int32_t fullText = Session().FullText();
    if ((fullText & 1) != 0) {
        options.push_back("Search Annotations,Notes, and Folders");
        meaning.push_back(kNotes);
    }
    if ((fullText & 4) != 0) {
        options.push_back("Search OCR Text");
        meaning.push_back(kOcr);
    }
    if ((fullText & 8) != 0) {
        options.push_back("Search by Document Date");
        meaning.push_back(kDate);
    }
    const int chosen = ChooseOption(this, "", options);
    if (chosen < 1 || chosen > static_cast<int>(meaning.size())) return;
    query.bQuesterActive = false;
    Session().TakeUntoldTransportError();
    const Choice choice = meaning[static_cast<size_t>(chosen - 1)];

    bool found = false;
    if (choice == kFile) {
        std::string file;
        if (!mComDlg::ShowFileDialog(this, file, kTextFilter, 1, 0)) return;
        if (!TalqClientAPI_Header::UploadKeyListFile(Session(), query.CurrentQuery, file, 0)) {
            if (query.CurrentQuery.Kind != 0) CloseUnreadQuery();
            HideClosedQuery();
            return;
        }
        found = true;
    } else if (choice == kNotes || choice == kOcr) {
        std::unique_ptr<navigation::frmTxtSrch> dialog =
            talq::DialogFactory<navigation::frmTxtSrch>::Create(this);
        dialog->DialogCaption = choice == kOcr ? "Search OCR Text" : "Search Notes and Annotations";
        dialog->Operator = 0;
        dialog->SearchText.clear();
        dialog->exec();
        query.QuerySrchStr = dialog->SearchText;
        const std::int16_t op = dialog->Operator;
        dialog.reset();
        if (query.QuerySrchStr.empty()) return;
        found = TalqClientAPI_Header::SearchImageText(
            Session(), query.CurrentQuery, choice == kOcr ? 1 : 0, query.QuerySrchStr, op);
        if (choice == kNotes) query.QuerySrchStr.clear();
    } else {
        std::unique_ptr<navigation::frmDtSrch> dialog =
            talq::DialogFactory<navigation::frmDtSrch>::Create(this);
        dialog->Criterion = query.DateSearchCriterion;
        dialog->StartDate = query.DateSearchStart;
        dialog->EndDate = query.DateSearchEnd;
        dialog->exec();
        if (dialog->Criterion == 0) return;
        query.DateSearchCriterion = dialog->Criterion;
        query.DateSearchStart = dialog->StartDate;
        query.DateSearchEnd = dialog->EndDate;
        dialog.reset();
        found = TalqClientAPI_Header::SearchDocDate(Session(), query.CurrentQuery,
                                                    query.DateSearchCriterion,
                                                    query.DateSearchStart, query.DateSearchEnd);
    }
    if (!found) {
        // A search whose request failed is no search without hits.
        const std::string why = TakeFailureReason();
        platform::MsgBox(why.empty() ? "No Items Found" : "No Items Found\n" + why,
                         platform::vbCritical, " ");
        query.QuerySrchStr.clear();
        // Hits whose first set could not be read: the result is closed too.
        if (query.CurrentQuery.Kind != 0) ClearServerQuery();
        HideClosedQuery();
        return;
    }
    query.Query_Active = 2;
    Form_Resize();
    LoadQueryList();
}

void frmView::SaveQueryListToFile() {
    std::string file;
    if (!mComDlg::ShowFileDialog(this, file, kTextFilter, 1, 1)) return;
    BusyPointer pointer;
    Session().TakeUntoldTransportError();
    std::int32_t count = 0;
    std::string reason;
    const navigation::SaveKeysResult result =
        navigation::SaveQueryKeys(Session(), query.CurrentQuery, file, count, reason);
    pointer.Restore();
    switch (result) {
        case navigation::SaveKeysResult::kOk:
            platform::MsgBox(std::to_string(count) + " items written to file.", platform::vbOKOnly,
                             "Process Complete");
            break;
        case navigation::SaveKeysResult::kCannotPosition: {
            // The file is left as it was; the reason is the request's.
            const std::string why = query.CurrentQuery.Kind != 0 ? TakeFailureReason() : "";
            platform::Beep();
            platform::MsgBox(
                why.empty() ? "Error Positioning Query" : "Error Positioning Query\n" + why,
                platform::vbCritical, "Warning");
            break;
        }
        case navigation::SaveKeysResult::kCannotCreate:
            platform::Beep();
            platform::MsgBox(file, platform::vbCritical, "Cannot Create File");
            break;
        case navigation::SaveKeysResult::kWriteFailed:
            // The old file is still there; say why the new one is not.
            platform::Beep();
            platform::MsgBox(file + "\n\n" + reason, platform::vbCritical, "Cannot Create File");
            break;
    }
}

void frmView::SaveQueryToIssue() {
    if (query.Query_Active == 0 || query.CurrentQuery.Kind != 2) return;
    int choice = 1;
    if (Session().UserProjectSecurity() != 0) {
        choice = ChooseOption(this, "Save Query to Issue Collection",
                              {"Select Existing Issue Collection", "Create New Issue Collection"});
        if (choice < 1) return;
    }
    std::string name;
    if (choice == 1) {
        std::string list;
        // A failed read is no empty pool: it says why.
        Session().TakeUntoldTransportError();
        if (!Session().ReadTagPool(list)) {
            TellPoolUnread();
            return;
        }
        if (list.empty()) {
            platform::Beep();
            platform::MsgBox("No Issue Tags as Defined");
            return;
        }
        std::unique_ptr<frmListBox> picker = talq::DialogFactory<frmListBox>::Create(this);
        picker->TitleText = "Select Issue/Tag Collection";
        for (char& c : list)
            if (c == ',') c = kListSep;
        picker->ItemList = list;
        picker->exec();
        if (picker->Cancelled == 1) return;
        name = picker->SelectedItem;
    } else {
        name = platform::InputBox("Enter Issue/Tag Collection Name", "Create New Issue Collection");
        std::string reason;
        if (!navigation::CheckCollectionName(name, reason)) {
            if (!reason.empty()) {
                platform::Beep();
                platform::MsgBox(reason, platform::vbCritical, "Create New Issue Collection");
            }
            return;
        }
        if (name.size() > 40) {
            platform::Beep();
            name = mVBUtil::TrimSpaces(name.substr(0, 40));
            const int answer = platform::MsgBox(
                "Issue Collection Name truncated to:\n" + name + "\nOK to use truncated name?",
                platform::vbQuestion | platform::vbYesNo, "Warning... Name Exceeded 40 Characters");
            if (answer != platform::vbYes) return;
        }
    }
    if (name.empty()) return;
    BusyPointer pointer;
    Session().TakeUntoldTransportError();
    std::string reply;
    const bool ok = Session().RemotePassThrough("TALQConvertQueryToIssue," +
                                                    navigation::RequestPrefix(Session()) + "," +
                                                    query.CurrentQuery.ServerFile + "," + name +
                                                    "," + std::to_string(query.CurrentQuery.Level),
                                                reply, false);
    if (ok) return;
    // Taken before a read-back asks anything more; the server's refusal is
    // in the reply and the last error alike.
    const bool lost = reply.empty() && Session().ReplyLost();
    const std::string why = Session().TakeFailureOrRefusal();
    const std::string told = lost ? ReadBackLostCollection(name, why) : why;
    if (lost && told.empty()) return;
    pointer.Restore();
    platform::Beep();
    platform::MsgBox(told.empty() ? "Error Saving Query to Issue" : told, platform::vbCritical,
                     "Error Saving Query to Issue");
}

std::string frmView::ReadBackLostCollection(const std::string& name, const std::string& why) {
    const std::string then = why.empty() ? "" : "\n" + why;
    std::string pool;
    std::optional<bool> held;
    if (Session().ReadTagPool(pool)) {
        // The server takes a name differing only in case for the tag it
        // already has, and saves the query to that one.
        std::string listed;
        for (std::int32_t i = 1, n = mVBUtil::CountFields(",", pool); i <= n; ++i) {
            const std::string tag = mVBUtil::GetField(",", pool, i);
            if (tag == name) {
                listed = tag;
                break;
            }
            if (listed.empty() && mVBUtil::CompareTextNoCase(tag, name) == 0) listed = tag;
        }
        held = !listed.empty()
                   ? navigation::CollectionHoldsQuery(Session(), query.CurrentQuery, listed)
                   : std::optional<bool>(false);
    }
    if (!held)
        return "The connection was lost before the server answered, and whether the server "
               "saved the query to the collection could not be read back. Saving again never "
               "stores it twice." +
               then;
    if (*held) return "";
    return "The connection was lost before the server answered; the server did not save the "
           "query to the collection." +
           then;
}

void frmView::SortQueryByDate() {
    const int order =
        ChooseOption(this, "Sort Query by Date", {"Ascending Order", "Descending Order"});
    if (order < 1 || query.CurrentQuery.Kind == 0) return;
    Session().TakeUntoldTransportError();
    if (!TalqClientAPI_Header::StartQuerySort(Session(), query.CurrentQuery,
                                              static_cast<std::int16_t>(order - 1))) {
        // A reply other than "OK" came from no failed request: nothing to say.
        TellFailedRequest("Unable to Start Query Sort");
        return;
    }
    EnableViews(false);
    std::unique_ptr<frmProcess> progress = talq::DialogFactory<frmProcess>::Create(this);
    progress->CaptionText = "Sorting Query";
    progress->Load();
    progress->show();
    navigation::SortLoopHooks hooks;
    hooks.pump = [] { platform::DoEvents(); };
    frmProcess* window = progress.get();
    hooks.cancelled = [window] { return window->Cancel == 1; };
    hooks.progress = [window](const std::string& text) {
        window->lblMsg->setText(platform::ToQString(text));
    };
    hooks.wait = [] { mVBUtil::WaitSeconds(1); };
    const bool sorted = navigation::PollQuerySort(Session(), query.CurrentQuery, hooks);
    progress->Unload();
    progress.reset();
    if (!sorted) {
        // A poll that failed says why; a job the server ended has no reason here.
        const std::string why = TakeFailureReason();
        platform::Beep();
        platform::MsgBox(why.empty() ? "Query Sort Aborted" : "Query Sort Aborted\n" + why,
                         platform::vbCritical, " ");
    } else {
        LoadQueryList();
        query.Query_Active = 2;
    }
    EnableViews(true);
    raise();
    activateWindow();
}

}  // namespace viewer
