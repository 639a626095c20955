#pragma once
// The main window's session over the real session object. The window asks
// through ViewerSession; other windows that need more of the session reach
// the object itself through Api().

#include <memory>

#include "server/talq_client_api.h"
#include "viewer/widgets/viewer_session.h"

class QWidget;

namespace viewer {

class TalqViewerSession : public ViewerSession {
  public:
    // The parent of the login dialogs.
    explicit TalqViewerSession(QWidget* dialogParent = nullptr);
    ~TalqViewerSession() override;

    TalqClientAPI& Api() { return *api_; }

    void SetDisplayErrorMsgs(bool on) override;
    bool IsRequestInProcess() override;
    bool IsUserValid() override;
    bool IsProjectValid() override;
    std::string ProjectName() override;
    std::string UserName() override;
    std::string UserPswrd() override;
    std::int32_t SystemFlags() override;
    std::int32_t ExtSystemFlags() override;
    std::string GetTalqProjectList(int clientCode) override;
    bool SelectProject(const std::string& projectName) override;
    bool NextKey(const std::string& key, int& level, std::string& nextKey) override;
    bool PrevKey(const std::string& key, int& level, std::string& prevKey) override;
    std::int16_t FindKey(const std::string& key, std::string& foundKey) override;
    std::string BndryIcons() override;
    std::string BackWardLink() override;
    int BndryNbr() override;
    std::string BndryLvls() override;
    std::int32_t Bndry3rdParty() override;
    std::string BndryDescs() override;
    std::int32_t UserProjectSecurity() override;
    bool AreAnnotationsRestricted() override;
    bool AreAnnotationsOkToModify() override;
    bool AreTagsRestricted() override;
    bool AreTagsOkToModify() override;
    bool AreRedactionsOkToModify() override;
    std::int32_t FullText() override;
    std::string InfoDescs() override;
    bool DisplayErrorMsgs() override;
    bool AreRedactionsOkToView() override;
    bool GetImagePageInfo(const std::string& key, std::int32_t& bndryLevel, std::int32_t& rotation,
                          std::int32_t& restricted, std::string& infoValues,
                          std::string& nativeFile) override;
    bool IsPlaceHolderImage() override;
    bool GetPageOCR(const std::string& key, std::string& text) override;
    std::string GetTextImage(const std::string& text) override;
    PageImage GetImage(const std::string& key, int quality) override;
    float ScaleFactor() override;
    bool GetWordList(const std::string& key, std::string& words,
                     std::array<std::int32_t, 4>& numbers) override;
    bool GetAllAnnotations(const std::string& key, std::string (&lists)[6]) override;
    bool GetBndryBegEndKey(const std::string& key, std::int32_t level, std::string& begKey,
                           std::string& endKey) override;
    bool GetBndryScrollList(const std::string& key, std::int32_t level, std::string& list,
                            std::int16_t& marker, std::int32_t& count,
                            std::int32_t& index) override;
    std::string GetFolderDescription(const std::string& key, std::int32_t level) override;
    std::string GetPageDate(const std::string& key) override;
    std::int32_t GetImageTags(const std::string& key, std::string& list) override;
    std::string CreateLocalTempFile(std::int32_t kind) override;
    bool SetPageLock(const std::string& key) override;
    bool RemovePageLock(const std::string& key) override;
    bool LoginToServer(std::string& domain, std::string& ipAddress, std::string& port,
                       std::string& localPort, std::string& networkCard) override;
    void QuesterClearSearch() override;
    void CleanUpTempFileList() override;
    bool RemotePassThrough(const std::string& command, std::string& reply,
                           bool skipSessionCheck) override;
    std::int32_t GetTagList(std::string& list) override;
    bool OpenTalqConnection(std::int16_t accessMode, const std::string& domain,
                            const std::string& ipAddress, std::int32_t ipPort,
                            std::int32_t localPortBase, std::int32_t networkCard,
                            std::int32_t timeout) override;
    void SetTimeout(std::int32_t seconds) override;
    bool TalqLogin(const std::string& userId, const std::string& password,
                   std::int16_t clientCode) override;
    void CloseTalqConnection() override;
    std::string PrintMessage() override;

  private:
    std::unique_ptr<TalqClientAPI> api_;
    QWidget* dialogParent_;
};

}  // namespace viewer
