// The concept search: the phrase, the server's search polled under its
// progress window, the spelling and concept offers that search again, the
// hit list opened as the query, and the hit rectangles of a page chosen
// from it.

#include <QApplication>
#include <QCursor>

#include "foundation/fields.h"
#include "foundation/widgets/dialog_factory.h"
#include "navigation/concept_hits.h"
#include "navigation/widgets/quester_dialogs.h"
#include "platform/prompts.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

const char* const kFailedTitle = "Quester Search Failed";

void ShowFailure(const std::string& error, const char* fallback) {
    platform::Beep();
    platform::MsgBox(error.empty() ? fallback : error, platform::vbInformation, kFailedTitle);
}

// Rows of a spell or term file in a new dialog of the kind; null when the
// file has no name or cannot be read.
template <class Dialog>
std::unique_ptr<Dialog> FilledDialog(QWidget* owner, const std::string& file, bool termFile) {
    std::vector<navigation::QuesterRow> rows;
    if (file.empty() || !navigation::ReadQuesterRows(file, termFile, rows)) return nullptr;
    std::unique_ptr<Dialog> dialog = talq::DialogFactory<Dialog>::Create(owner);
    dialog->Load();
    for (const navigation::QuesterRow& row : rows) dialog->AddRow(row);
    return dialog;
}

}  // namespace

void frmView::RunQuesterSearch(int mode) {
    if (mode == 3) {
        const std::string answer =
            platform::InputBox("Enter Maximum Items to Return", "Quester Search Results",
                               std::to_string(settings.QuesterMaxItems));
        settings.QuesterMaxItems = navigation::MaxItemsFromAnswer(answer, settings.QuesterMaxItems);
        return;
    }
    if (mode != 1 && mode != 2) return;

    std::string phrase;
    bool offerSpelling = false;
    if (mode == 1) {
        std::unique_ptr<navigation::frmQuesterSearch> dialog =
            talq::DialogFactory<navigation::frmQuesterSearch>::Create(this);
        dialog->SpellCheck = settings.SpellCheck;
        dialog->exec();
        if (dialog->Cancelled > 0) return;
        settings.SpellCheck = dialog->SpellCheck;
        phrase = dialog->Phrase;
        offerSpelling = dialog->SpellCheck;
    } else {
        bool chosen = false;
        ShowQuesterConcepts(phrase, chosen);
        if (!chosen) return;
    }

    ViewerSession& session = Session();
    while (true) {
        query.QuerySrchStr.clear();
        conceptHits.g_QuesterLastKey.clear();
        if (!session.QuesterStartSearch(phrase, settings.QuesterMaxItems, 0)) {
            // A start the window's close cut short is no failure to tell.
            if (session.CloseAsked()) return;
            ShowFailure(session.TakeFailureOrRefusal(), "Unable to Initiate Search");
            return;
        }
        std::unique_ptr<navigation::frmQuesterCancel> progress =
            talq::DialogFactory<navigation::frmQuesterCancel>::Create(this);
        progress->ViewForm = &session;
        progress->exec();
        const std::int32_t status = progress->Status;
        progress.reset();
        if (status == 1) return;
        if (status == 2) {
            ShowFailure(session.TakeFailureOrRefusal(), "Search Failed");
            return;
        }
        if (!offerSpelling || session.QuesterSpellFile().empty()) break;
        offerSpelling = false;  // once per search
        bool chosen = false;
        ShowQuesterSpelling(phrase, chosen);
        if (!chosen) break;
    }

    const std::string file = session.QuesterQueryFile();
    if (file.empty()) {
        platform::Beep();
        platform::MsgBox("No Search Results Found", platform::vbInformation, " ");
        return;
    }
    if (query.Query_Active > 0) {
        query.QuerySrchStr.clear();
        query.Query_Active = 0;
        ClearServerQuery();
        Form_Resize();
    }
    query.bQuesterActive = false;
    if (!TalqClientAPI_Header::OpenServerQuery(session, query.CurrentQuery, 2, file, 0, 2000))
        return;
    query.bQuesterActive = true;
    query.Query_Active = 2;
    Form_Resize();
    LoadQueryList();
}

void frmView::CreateQuesterHilites(const std::string& rowText) {
    if (page.g_szWordList.empty()) return;
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    const std::string key = page.szCurrentKey;
    conceptHits.g_QuesterLastKey = key;
    conceptHits.g_QuesterLastCoords.clear();
    conceptHits.g_QuesterLastWordCoords.clear();
    ViewerSession& session = Session();
    if (replies.PageOcrText.empty()) {
        // A blank marks a page without OCR text, so it is asked once.
        if (!session.GetPageOCR(key, replies.PageOcrText) || replies.PageOcrText.empty())
            replies.PageOcrText.assign(1, ' ');
    }
    const navigation::ConceptHits hits = navigation::BuildConceptHits(
        rowText, page.g_szWordList, replies.PageOcrText,
        [&](const std::string& start, const std::string& end, std::string& words) {
            return session.GetWordBuf(key, start, end, words);
        });
    conceptHits.g_QuesterLastCoords = hits.hitRects;
    conceptHits.g_QuesterLastWordCoords = hits.wordRects;
    QApplication::restoreOverrideCursor();
}

void frmView::ShowQuesterSpelling(std::string& phrase, bool& chosen) {
    chosen = false;
    std::unique_ptr<navigation::frmIDexSpell> dialog =
        FilledDialog<navigation::frmIDexSpell>(this, Session().QuesterSpellFile(), false);
    if (!dialog) return;
    dialog->Phrase = phrase;
    dialog->ShowPhrase();
    dialog->exec();
    if (dialog->Cancelled != 0) return;
    phrase = dialog->Phrase;
    chosen = true;
}

void frmView::ShowQuesterConcepts(std::string& phrase, bool& chosen) {
    chosen = false;
    phrase.clear();
    std::unique_ptr<navigation::frmMMSearchConcepts> dialog =
        FilledDialog<navigation::frmMMSearchConcepts>(this, Session().QuesterTermFile(), true);
    if (!dialog) return;
    dialog->LoadArray();
    dialog->exec();
    if (dialog->Cancelled != 0) return;
    phrase = dialog->Selection;
    chosen = !phrase.empty();
}

}  // namespace viewer
