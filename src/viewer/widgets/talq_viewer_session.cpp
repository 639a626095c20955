#include "viewer/widgets/talq_viewer_session.h"

#include "server/widgets/login_procedure.h"

namespace viewer {

TalqViewerSession::TalqViewerSession(QWidget* dialogParent)
    : api_(std::make_unique<TalqClientAPI>()), dialogParent_(dialogParent) {}

TalqViewerSession::~TalqViewerSession() = default;

void TalqViewerSession::SetDisplayErrorMsgs(bool on) {
    api_->DisplayErrorMsgs(on);
}
bool TalqViewerSession::IsRequestInProcess() {
    return api_->IsRequestInProcess();
}
bool TalqViewerSession::IsUserValid() {
    return api_->IsUserValid();
}
bool TalqViewerSession::IsProjectValid() {
    return api_->IsProjectValid();
}
std::string TalqViewerSession::ProjectName() {
    return api_->ProjectName();
}
std::string TalqViewerSession::UserName() {
    return api_->UserName();
}
std::string TalqViewerSession::UserPswrd() {
    return api_->UserPswrd();
}
std::int32_t TalqViewerSession::SystemFlags() {
    return api_->SystemFlags();
}
std::int32_t TalqViewerSession::ExtSystemFlags() {
    return api_->ExtSystemFlags();
}
std::string TalqViewerSession::GetTalqProjectList(int clientCode) {
    return api_->GetTalqProjectList(static_cast<std::int16_t>(clientCode));
}
bool TalqViewerSession::SelectProject(const std::string& projectName) {
    return api_->SelectProject(projectName);
}
bool TalqViewerSession::NextKey(const std::string& key, int& level, std::string& nextKey) {
    auto narrow = static_cast<std::int16_t>(level);
    const bool ok = api_->NextKey(key, narrow, nextKey);
    level = narrow;
    return ok;
}
bool TalqViewerSession::PrevKey(const std::string& key, int& level, std::string& prevKey) {
    auto narrow = static_cast<std::int16_t>(level);
    const bool ok = api_->PrevKey(key, narrow, prevKey);
    level = narrow;
    return ok;
}
std::int16_t TalqViewerSession::FindKey(const std::string& key, std::string& foundKey) {
    return api_->FindKey(key, foundKey);
}
std::string TalqViewerSession::BndryIcons() {
    return api_->BndryIcons();
}
std::string TalqViewerSession::BackWardLink() {
    return api_->BackWardLink();
}
int TalqViewerSession::BndryNbr() {
    return api_->BndryNbr();
}
std::string TalqViewerSession::BndryLvls() {
    return api_->BndryLvls();
}
std::int32_t TalqViewerSession::Bndry3rdParty() {
    return api_->Bndry3rdParty();
}
std::string TalqViewerSession::BndryDescs() {
    return api_->BndryDescs();
}
std::int32_t TalqViewerSession::UserProjectSecurity() {
    return api_->UserProjectSecurity();
}
bool TalqViewerSession::AreAnnotationsRestricted() {
    return api_->AreAnnotationsRestricted();
}
bool TalqViewerSession::AreAnnotationsOkToModify() {
    return api_->AreAnnotationsOkToModify();
}
bool TalqViewerSession::AreTagsRestricted() {
    return api_->AreTagsRestricted();
}
bool TalqViewerSession::AreTagsOkToModify() {
    return api_->AreTagsOkToModify();
}
bool TalqViewerSession::AreRedactionsOkToModify() {
    return api_->AreRedactionsOkToModify();
}
std::int32_t TalqViewerSession::FullText() {
    return api_->FullText();
}
std::string TalqViewerSession::InfoDescs() {
    return api_->InfoDescs();
}
bool TalqViewerSession::DisplayErrorMsgs() {
    return api_->DisplayErrorMsgs();
}
bool TalqViewerSession::AreRedactionsOkToView() {
    return api_->AreRedactionsOkToView();
}
bool TalqViewerSession::GetImagePageInfo(const std::string& key, std::int32_t& bndryLevel,
                                         std::int32_t& rotation, std::int32_t& restricted,
                                         std::string& infoValues, std::string& nativeFile) {
    return api_->GetImagePageInfo(key, bndryLevel, rotation, restricted, infoValues, nativeFile);
}
bool TalqViewerSession::IsPlaceHolderImage() {
    return api_->IsPlaceHolderImage();
}
bool TalqViewerSession::GetPageOCR(const std::string& key, std::string& text) {
    return api_->GetPageOCR(key, text);
}
std::string TalqViewerSession::GetTextImage(const std::string& text) {
    return api_->GetTextImage(text);
}
PageImage TalqViewerSession::GetImage(const std::string& key, int quality) {
    return api_->GetPageImage(key, static_cast<std::int16_t>(quality));
}
float TalqViewerSession::ScaleFactor() {
    return api_->ScaleFactor();
}
bool TalqViewerSession::GetWordList(const std::string& key, std::string& words,
                                    std::array<std::int32_t, 4>& numbers) {
    return api_->GetWordList(key, numbers[0], numbers[1], numbers[2], numbers[3], words);
}
bool TalqViewerSession::GetAllAnnotations(const std::string& key, std::string (&lists)[6]) {
    return api_->GetAllAnnotations(key, lists[0], lists[1], lists[2], lists[3], lists[4], lists[5]);
}
bool TalqViewerSession::GetBndryBegEndKey(const std::string& key, std::int32_t level,
                                          std::string& begKey, std::string& endKey) {
    return api_->GetBndryBegEndKey(key, level, begKey, endKey);
}
bool TalqViewerSession::GetBndryScrollList(const std::string& key, std::int32_t level,
                                           std::string& list, std::int16_t& marker,
                                           std::int32_t& count, std::int32_t& index) {
    return api_->GetBndryScrollList(key, level, list, marker, count, index);
}
std::string TalqViewerSession::GetFolderDescription(const std::string& key, std::int32_t level) {
    return api_->GetFolderDescription(key, level);
}
std::string TalqViewerSession::GetPageDate(const std::string& key) {
    return api_->GetPageDate(key);
}
std::int32_t TalqViewerSession::GetImageTags(const std::string& key, std::string& list) {
    return api_->GetImageTags(key, list);
}
std::string TalqViewerSession::CreateLocalTempFile(std::int32_t kind) {
    return api_->CreateLocalTempFile(kind);
}
bool TalqViewerSession::SetPageLock(const std::string& key) {
    return api_->SetPageLock(key);
}
bool TalqViewerSession::RemovePageLock(const std::string& key) {
    api_->RemovePageLock(key);
    return true;
}
bool TalqViewerSession::LoginToServer(std::string& domain, std::string& ipAddress,
                                      std::string& port, std::string& localPort,
                                      std::string& networkCard) {
    return mLogin::LoginToServer(*api_, domain, ipAddress, port, localPort, networkCard,
                                 dialogParent_);
}

void TalqViewerSession::QuesterClearSearch() {
    api_->QuesterClearSearch();
}
void TalqViewerSession::CleanUpTempFileList() {
    api_->CleanUpTempFileList();
}

bool TalqViewerSession::RemotePassThrough(const std::string& command, std::string& reply,
                                          bool skipSessionCheck) {
    return api_->RemotePassThrough(command, reply, skipSessionCheck ? 1 : 0);
}
std::int32_t TalqViewerSession::GetTagList(std::string& list) {
    return api_->GetTagList(list);
}
bool TalqViewerSession::OpenTalqConnection(std::int16_t accessMode, const std::string& domain,
                                           const std::string& ipAddress, std::int32_t ipPort,
                                           std::int32_t localPortBase, std::int32_t networkCard,
                                           std::int32_t timeout) {
    return api_->OpenTalqConnection(accessMode, domain, ipAddress, ipPort, localPortBase,
                                    networkCard, timeout);
}
void TalqViewerSession::SetTimeout(std::int32_t seconds) {
    api_->timeout(seconds);
}
bool TalqViewerSession::TalqLogin(const std::string& userId, const std::string& password,
                                  std::int16_t clientCode) {
    return api_->TalqLogin(userId, password, clientCode);
}
void TalqViewerSession::CloseTalqConnection() {
    api_->CloseTalqConnection();
}
std::string TalqViewerSession::PrintMessage() {
    return api_->PrintMessage();
}

}  // namespace viewer
