#include "viewer/widgets/talq_viewer_session.h"

#include "printing/batch_print_header.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "server/widgets/login_procedure.h"

namespace viewer {

ViewerSession::ViewerSession() : dialogParent_(nullptr) {}

ViewerSession::ViewerSession(std::unique_ptr<TalqClientAPI> api, QWidget* dialogParent)
    : api_(std::move(api)), dialogParent_(dialogParent) {}

ViewerSession::~ViewerSession() = default;

TalqViewerSession::TalqViewerSession(QWidget* dialogParent)
    : ViewerSession(std::make_unique<TalqClientAPI>(), dialogParent) {}

// Each need below answers as a session that never logged in when there is no
// session object: nothing valid, every right withheld, every request failed.

void ViewerSession::BeginAction(bool change) {
    if (api_) api_->BeginAction(change);
}
void ViewerSession::EndAction() {
    if (api_) api_->EndAction();
}
void ViewerSession::AskToClose() {
    if (api_) api_->AskToClose();
}
bool ViewerSession::ChangeSinceCloseAsked() {
    return api_ && api_->ChangeSinceCloseAsked();
}
bool ViewerSession::CloseCutsShort() {
    return api_ && api_->CloseCutsShort();
}
void ViewerSession::LetCloseWait() {
    if (api_) api_->LetCloseWait();
}
void ViewerSession::ForgoTidying() {
    if (api_) api_->ForgoTidying();
}
bool ViewerSession::CloseAsked() {
    return api_ && api_->CloseAsked();
}
void ViewerSession::SetDisplayErrorMsgs(bool on) {
    if (!api_) return;
    api_->DisplayErrorMsgs(on);
}
bool ViewerSession::IsRequestInProcess() {
    if (!api_) return false;
    return api_->IsRequestInProcess();
}
bool ViewerSession::IsUserValid() {
    if (!api_) return false;
    return api_->IsUserValid();
}
bool ViewerSession::LoginRefused() {
    if (!api_) return false;
    return api_->LoginRefused();
}
bool ViewerSession::LogInAgain(const std::string& password) {
    if (!api_) return false;
    return api_->LogInAgain(password);
}
bool ViewerSession::IsProjectValid() {
    if (!api_) return false;
    return api_->IsProjectValid();
}
std::string ViewerSession::ProjectName() {
    if (!api_) return {};
    return api_->ProjectName();
}
std::string ViewerSession::UserName() {
    if (!api_) return {};
    return api_->UserName();
}
std::string ViewerSession::UserPswrd() {
    if (!api_) return {};
    return api_->UserPswrd();
}
std::int32_t ViewerSession::SystemFlags() {
    if (!api_) return 0;
    return api_->SystemFlags();
}
std::int32_t ViewerSession::ExtSystemFlags() {
    if (!api_) return 0;
    return api_->ExtSystemFlags();
}
std::string ViewerSession::GetTalqProjectList(int clientCode) {
    if (!api_) return {};
    return api_->GetTalqProjectList(static_cast<std::int16_t>(clientCode));
}
bool ViewerSession::SelectProject(const std::string& projectName) {
    if (!api_) return false;
    return api_->SelectProject(projectName);
}
bool ViewerSession::NextKey(const std::string& key, int& level, std::string& nextKey) {
    if (!api_) return false;
    auto narrow = static_cast<std::int16_t>(level);
    const bool ok = api_->NextKey(key, narrow, nextKey);
    level = narrow;
    return ok;
}
bool ViewerSession::PrevKey(const std::string& key, int& level, std::string& prevKey) {
    if (!api_) return false;
    auto narrow = static_cast<std::int16_t>(level);
    const bool ok = api_->PrevKey(key, narrow, prevKey);
    level = narrow;
    return ok;
}
std::int16_t ViewerSession::FindKey(const std::string& key, std::string& foundKey) {
    if (!api_) {
        foundKey.clear();
        return 0;
    }
    return api_->FindKey(key, foundKey);
}
bool ViewerSession::KeyLookupFailed() {
    return api_ && api_->KeyLookupFailed();
}
std::string ViewerSession::BndryIcons() {
    if (!api_) return {};
    return api_->BndryIcons();
}
std::string ViewerSession::BackWardLink() {
    if (!api_) return {};
    return api_->BackWardLink();
}
int ViewerSession::BndryNbr() {
    if (!api_) return 0;
    return api_->BndryNbr();
}
std::string ViewerSession::BndryLvls() {
    if (!api_) return {};
    return api_->BndryLvls();
}
std::int32_t ViewerSession::Bndry3rdParty() {
    if (!api_) return 0;
    return api_->Bndry3rdParty();
}
std::string ViewerSession::BndryDescs() {
    if (!api_) return {};
    return api_->BndryDescs();
}
std::int32_t ViewerSession::UserProjectSecurity() {
    if (!api_) return 0;
    return api_->UserProjectSecurity();
}
bool ViewerSession::AreAnnotationsRestricted() {
    if (!api_) return true;
    return api_->AreAnnotationsRestricted();
}
bool ViewerSession::AreAnnotationsOkToModify() {
    if (!api_) return false;
    return api_->AreAnnotationsOkToModify();
}
bool ViewerSession::AreTagsRestricted() {
    if (!api_) return true;
    return api_->AreTagsRestricted();
}
bool ViewerSession::AreTagsOkToModify() {
    if (!api_) return false;
    return api_->AreTagsOkToModify();
}
bool ViewerSession::AreRedactionsOkToModify() {
    if (!api_) return false;
    return api_->AreRedactionsOkToModify();
}
std::int32_t ViewerSession::FullText() {
    if (!api_) return 0;
    return api_->FullText();
}
std::string ViewerSession::InfoDescs() {
    if (!api_) return {};
    return api_->InfoDescs();
}
bool ViewerSession::DisplayErrorMsgs() {
    if (!api_) return false;
    return api_->DisplayErrorMsgs();
}
std::string ViewerSession::TakeUntoldDatabaseError() {
    if (!api_) return {};
    return api_->TakeUntoldDatabaseError();
}
std::string ViewerSession::TakeUntoldTransportError() {
    if (!api_) return {};
    return api_->TakeUntoldTransportError();
}
std::string ViewerSession::TakeUntoldSessionEnd() {
    if (!api_) return {};
    return api_->TakeUntoldSessionEnd();
}
std::string ViewerSession::TakeUntoldFailure() {
    // All are taken: what one failure caused is told with it or not at all.
    const std::string ended = TakeUntoldSessionEnd();
    const std::string transport = TakeUntoldTransportError();
    const std::string database = TakeUntoldDatabaseError();
    if (!ended.empty()) return ended;
    return transport.empty() ? database : transport;
}
std::string ViewerSession::TakeFailureReason() {
    const std::string untold = TakeUntoldFailure();
    return untold.empty() ? ServerWords(LastError()) : untold;
}
std::string ViewerSession::TakeFailureOrRefusal() {
    const std::string reason = TakeFailureReason();
    if (!reason.empty()) return reason;
    const std::string error = LastError();
    if (error.rfind("ERROR", 0) == 0 || error.find('\n') != std::string::npos) return "";
    return error;
}
std::string ViewerSession::TakeFailureMessage(const std::string& what) {
    const std::string reason = TakeFailureReason();
    return reason.empty() || reason == what ? what : what + "\n" + reason;
}
std::string ViewerSession::ServerWords(const std::string& error) {
    std::string words;
    if (error.rfind("ERROR", 0) == 0) {
        words = TalqClientAPI::ServerReason(error);
    } else if (const std::size_t line = error.find('\n'); line != std::string::npos) {
        words = error.substr(line + 1);
    }
    // An end of the session is told once, by the first failure it caused.
    if (!words.empty() && RequestFrame::EndsSession("ERROR: " + words)) return "";
    return words;
}
bool ViewerSession::ReconnectIfClosed() {
    return !api_ || api_->ReconnectIfClosed();
}
bool ViewerSession::AreRedactionsOkToView() {
    if (!api_) return false;
    return api_->AreRedactionsOkToView();
}
bool ViewerSession::GetImagePageInfo(const std::string& key, std::int32_t& bndryLevel,
                                     std::int32_t& rotation, std::int32_t& restricted,
                                     std::string& infoValues, std::string& nativeFile) {
    if (!api_) return false;
    return api_->GetImagePageInfo(key, bndryLevel, rotation, restricted, infoValues, nativeFile);
}
bool ViewerSession::PutAnnotationList(const std::string& key, std::int16_t kind,
                                      const std::string& list,
                                      std::optional<std::uint64_t> lockEpoch) {
    if (!api_) return false;
    return api_->PutAnnotationList(key, kind, list, lockEpoch);
}
std::uint64_t ViewerSession::LockEpoch() {
    if (!api_) return 0;
    return api_->LockEpoch();
}
void ViewerSession::OnNewConnection(std::function<void()> listener) {
    if (api_) api_->OnNewConnection(std::move(listener));
}
bool ViewerSession::HoldsPageLock(const std::string& key) {
    if (!api_) return false;
    return api_->HoldsPageLock(key);
}

std::int32_t ViewerSession::EarlierConnectionFreesIn(const std::string& key) {
    if (!api_) return 0;
    return api_->EarlierConnectionFreesIn(key);
}

bool ViewerSession::IsRemoteAccess() {
    if (!api_) return false;
    return api_->IsRemoteAccess();
}

void ViewerSession::ExecuteClipCommand(std::int32_t mode, const std::string& clipText) {
    if (!api_) return;
    api_->ExecuteClipCommand(mode, clipText);
}

bool ViewerSession::IsPlaceHolderImage() {
    if (!api_) return false;
    return api_->IsPlaceHolderImage();
}
bool ViewerSession::GetPageOCR(const std::string& key, std::string& text) {
    if (!api_) return false;
    return api_->GetPageOCR(key, text);
}
std::string ViewerSession::GetTextImage(const std::string& text) {
    if (!api_) return {};
    return api_->GetTextImage(text);
}
PageImage ViewerSession::GetImage(const std::string& key, int quality) {
    if (!api_) return {};
    return api_->GetPageImage(key, static_cast<std::int16_t>(quality));
}
float ViewerSession::ScaleFactor() {
    if (!api_) return 1.0f;
    return api_->ScaleFactor();
}
bool ViewerSession::GetWordList(const std::string& key, std::string& words,
                                std::array<std::int32_t, 4>& numbers) {
    if (!api_) return false;
    return api_->GetWordList(key, numbers[0], numbers[1], numbers[2], numbers[3], words);
}
bool ViewerSession::GetAllAnnotations(const std::string& key, AnnotationTexts& lists) {
    if (!api_) return false;
    return api_->GetAllAnnotations(key, lists);
}
bool ViewerSession::GetBndryBegEndKey(const std::string& key, std::int32_t level,
                                      std::string& begKey, std::string& endKey) {
    if (!api_) return false;
    return api_->GetBndryBegEndKey(key, level, begKey, endKey);
}
bool ViewerSession::GetBndryScrollList(const std::string& key, std::int32_t level,
                                       std::string& list, std::int16_t& marker, std::int32_t& count,
                                       std::int32_t& index) {
    if (!api_) return false;
    return api_->GetBndryScrollList(key, level, list, marker, count, index);
}
std::string ViewerSession::GetFolderDescription(const std::string& key, std::int32_t level) {
    if (!api_) return {};
    return api_->GetFolderDescription(key, level);
}
bool ViewerSession::ReadPageDate(const std::string& key, std::string& date) {
    date.clear();
    return api_ && api_->ReadPageDate(key, date);
}
bool ViewerSession::SetImageBndryLevel(const std::string& key, std::int32_t level) {
    return api_ && api_->SetImageBndryLevel(key, level);
}
bool ViewerSession::PutPageDate(const std::string& key, const std::string& date) {
    return api_ && api_->PutPageDate(key, date);
}
bool ViewerSession::PutFolderDescription(const std::string& key, std::int32_t level,
                                         const std::string& description) {
    return api_ && api_->PutFolderDescription(key, level, description);
}
std::int32_t ViewerSession::GetImageTags(const std::string& key, std::string& list) {
    if (!api_) return 0;
    return api_->GetImageTags(key, list);
}
bool ViewerSession::ReadImageTags(const std::string& key, std::string& list) {
    list.clear();
    return api_ && api_->ReadImageTags(key, list);
}
std::string ViewerSession::GetStellantImage(const std::string& file, std::int32_t page,
                                            const std::string& mode) {
    if (!api_) return {};
    return api_->GetStellantImage(file, page, mode);
}
void ViewerSession::ExecuteOriginalFile(const std::string& key, const std::string& fileInfo) {
    if (!api_) return;
    api_->ExecuteOriginalFile(key, fileInfo);
}
std::string ViewerSession::CreateLocalTempFile(std::int32_t kind) {
    if (!api_) return {};
    return api_->CreateLocalTempFile(kind);
}
bool ViewerSession::SetPageLock(const std::string& key) {
    if (!api_) return false;
    return api_->SetPageLock(key);
}
bool ViewerSession::RemovePageLock(const std::string& key) {
    if (!api_) return false;
    api_->RemovePageLock(key);
    return true;
}
bool ViewerSession::LoginToServer(std::string& domain, std::string& ipAddress, std::string& port,
                                  std::string& localPort, std::string& networkCard) {
    if (!api_) return false;
    return mLogin::LoginToServer(*api_, domain, ipAddress, port, localPort, networkCard,
                                 dialogParent_);
}

bool ViewerSession::SetImageRotation(const std::string& key, std::int32_t rotation) {
    if (!api_) return false;
    return api_->SetImageRotation(key, rotation);
}
bool ViewerSession::QuesterIsSupported() {
    if (!api_) return false;
    return api_->QuesterIsSupported();
}
std::string ViewerSession::QuesterTermFile() {
    if (!api_) return {};
    return api_->QuesterTermFile();
}
bool ViewerSession::QuesterStartSearch(const std::string& phrase, std::int32_t maxItems,
                                       std::int32_t third) {
    if (!api_) return false;
    return api_->QuesterStartSearch(phrase, maxItems, third);
}
bool ViewerSession::QuesterCheckSearch() {
    if (!api_) return false;
    return api_->QuesterCheckSearch();
}
bool ViewerSession::IsQuesterActive() {
    if (!api_) return false;
    return api_->IsQuesterActive();
}
std::string ViewerSession::QuesterQueryFile() {
    if (!api_) return {};
    return api_->QuesterQueryFile();
}
std::string ViewerSession::QuesterSpellFile() {
    if (!api_) return {};
    return api_->QuesterSpellFile();
}
std::string ViewerSession::LastError() {
    if (!api_) return {};
    return api_->LastError();
}
bool ViewerSession::ReplyLost() {
    return api_ && api_->ReplyLost();
}
bool ViewerSession::GetWordBuf(const std::string& key, const std::string& start,
                               const std::string& end, std::string& words) {
    words.clear();
    if (!api_) return false;
    return api_->GetWordBuf(key, start, end, words);
}
void ViewerSession::QuesterClearSearch() {
    if (!api_) return;
    api_->QuesterClearSearch();
}
void ViewerSession::CleanUpTempFileList() {
    if (!api_) return;
    api_->CleanUpTempFileList();
}

bool ViewerSession::RemotePassThrough(const std::string& command, std::string& reply,
                                      bool skipSessionCheck) {
    if (!api_) {
        reply.clear();
        return false;
    }
    return api_->RemotePassThrough(command, reply, skipSessionCheck ? 1 : 0);
}
std::int32_t ViewerSession::GetTagList(std::string& list) {
    if (!api_) {
        list.clear();
        return 0;
    }
    return api_->GetTagList(list);
}
std::int32_t ViewerSession::GetTagPalette(std::string& list) {
    if (!api_) {
        list.clear();
        return 0;
    }
    return api_->GetTagPalette(list);
}
bool ViewerSession::ReadTagPalette(std::string& list) {
    list.clear();
    return api_ && api_->ReadTagPalette(list);
}
bool ViewerSession::ReadTagPool(std::string& list) {
    list.clear();
    return api_ && api_->ReadTagPool(list);
}
bool ViewerSession::TurnTagOn(const std::string& key, const std::string& tag) {
    if (!api_) return false;
    return api_->TurnTagOn(key, tag);
}
bool ViewerSession::TurnTagOff(const std::string& key, const std::string& tag) {
    if (!api_) return false;
    return api_->TurnTagOff(key, tag);
}
bool ViewerSession::NewTagDesc(const std::string& name) {
    if (!api_) return false;
    return api_->NewTagDesc(name);
}
bool ViewerSession::ModifyTagDesc(const std::string& oldName, const std::string& newName) {
    if (!api_) return false;
    return api_->ModifyTagDesc(oldName, newName);
}
bool ViewerSession::DeleteTagDesc(const std::string& name) {
    if (!api_) return false;
    return api_->DeleteTagDesc(name);
}
bool ViewerSession::PutTagPalette(const std::string& list) {
    if (!api_) return false;
    return api_->PutTagPalette(list);
}
bool ViewerSession::OpenTalqConnection(std::int16_t accessMode, const std::string& domain,
                                       const std::string& ipAddress, std::int32_t ipPort,
                                       std::int32_t localPortBase, std::int32_t networkCard,
                                       std::int32_t timeout) {
    if (!api_) return false;
    return api_->OpenTalqConnection(accessMode, domain, ipAddress, ipPort, localPortBase,
                                    networkCard, timeout);
}
void ViewerSession::SetTimeout(std::int32_t seconds) {
    if (!api_) return;
    api_->timeout(seconds);
}
bool ViewerSession::TalqLogin(const std::string& userId, const std::string& password,
                              std::int16_t clientCode) {
    if (!api_) return false;
    return api_->TalqLogin(userId, password, clientCode);
}
void ViewerSession::CloseTalqConnection() {
    if (!api_) return;
    api_->CloseTalqConnection();
}
std::string ViewerSession::PrintMessage() {
    if (!api_) return {};
    return api_->PrintMessage();
}

std::string ViewerSession::ResolveLevel2Bndry(std::int32_t level) {
    if (!api_) return {};
    return api_->ResolveLevel2Bndry(level);
}
std::int16_t ViewerSession::GetBatchPrinters(std::string& list) {
    list.clear();
    if (!api_) return 0;
    return api_->GetBatchPrinters(list);
}
bool ViewerSession::ValidateBatchPrinter(const std::string& printer) {
    if (!api_) return false;
    return api_->ValidateBatchPrinter(printer);
}
bool ViewerSession::OpenBatchPrintFile(const std::string& printer, const std::string& watermark,
                                       std::int32_t flags, const std::string& description,
                                       cGdiPrn& engine) {
    if (!api_) return false;
    return api_->OpenBatchPrintFile(printer, watermark,
                                    batchprint::SessionHeader(*api_, flags, description, engine));
}
bool ViewerSession::WriteBatchPrintFilePage(const std::string& line) {
    if (!api_) return false;
    return api_->WriteBatchPrintFilePage(line);
}
void ViewerSession::CloseBatchPrintFile() {
    if (!api_) return;
    api_->CloseBatchPrintFile();
}

}  // namespace viewer
