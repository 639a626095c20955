#pragma once
// What the main window asks of its session, and nothing more. An adapter
// over TalqClientAPI implements it; tests play the server's replies with a
// fake. DisconnectedSession answers as a session that never logged in.

#include <array>
#include <cstdint>
#include <string>

#include "navigation/query_api.h"
#include "server/page_image.h"

namespace viewer {

class ViewerSession : public navigation::QueryApi {
  public:
    virtual void SetDisplayErrorMsgs(bool on) = 0;
    virtual bool IsRequestInProcess() = 0;
    virtual bool IsUserValid() = 0;
    virtual bool IsProjectValid() = 0;
    virtual std::string ProjectName() = 0;
    virtual std::string UserName() = 0;
    virtual std::string UserPswrd() = 0;
    virtual std::int32_t SystemFlags() = 0;
    virtual std::int32_t ExtSystemFlags() = 0;
    // Project names joined by character 30.
    virtual std::string GetTalqProjectList(int clientCode) = 0;
    virtual bool SelectProject(const std::string& projectName) = 0;
    virtual bool NextKey(const std::string& key, int& level, std::string& nextKey) = 0;
    virtual bool PrevKey(const std::string& key, int& level, std::string& prevKey) = 0;
    // 0 not found, 1 found, 2 a near key found (in foundKey).
    virtual std::int16_t FindKey(const std::string& key, std::string& foundKey) = 0;
    virtual std::string BndryIcons() = 0;  // "|"-separated, in level order
    virtual std::string BackWardLink() = 0;
    // "|"-separated boundary levels of the selected project and their count.
    virtual int BndryNbr() = 0;
    virtual std::string BndryLvls() = 0;
    virtual std::int32_t Bndry3rdParty() = 0;
    virtual std::string BndryDescs() = 0;  // "|"-separated, in level order
    // Rights of the user in the selected project.
    virtual std::int32_t UserProjectSecurity() = 0;
    virtual bool AreAnnotationsRestricted() = 0;
    virtual bool AreAnnotationsOkToModify() = 0;
    virtual bool AreTagsRestricted() = 0;
    virtual bool AreTagsOkToModify() = 0;
    virtual bool AreRedactionsOkToModify() = 0;
    virtual std::int32_t FullText() = 0;
    virtual std::string InfoDescs() = 0;  // "|"-separated
    virtual bool DisplayErrorMsgs() = 0;
    virtual bool AreRedactionsOkToView() = 0;
    // Page requests.
    virtual bool GetImagePageInfo(const std::string& key, std::int32_t& bndryLevel,
                                  std::int32_t& rotation, std::int32_t& restricted,
                                  std::string& infoValues, std::string& nativeFile) = 0;
    virtual bool IsPlaceHolderImage() = 0;
    virtual bool GetPageOCR(const std::string& key, std::string& text) = 0;
    virtual std::string GetTextImage(const std::string& text) = 0;
    virtual PageImage GetImage(const std::string& key, int quality) = 0;
    virtual float ScaleFactor() = 0;
    // The word list and the four numbers of its reply.
    virtual bool GetWordList(const std::string& key, std::string& words,
                             std::array<std::int32_t, 4>& numbers) = 0;
    // Redactions, highlights, sticky notes, text notes, clips, markups.
    virtual bool GetAllAnnotations(const std::string& key, std::string (&lists)[6]) = 0;
    virtual bool GetBndryBegEndKey(const std::string& key, std::int32_t level, std::string& begKey,
                                   std::string& endKey) = 0;
    virtual bool GetBndryScrollList(const std::string& key, std::int32_t level, std::string& list,
                                    std::int16_t& marker, std::int32_t& count,
                                    std::int32_t& index) = 0;
    virtual std::string GetFolderDescription(const std::string& key, std::int32_t level) = 0;
    virtual std::string GetPageDate(const std::string& key) = 0;
    virtual std::int32_t GetImageTags(const std::string& key, std::string& list) = 0;
    // A free local file name; the file is not created.
    virtual std::string CreateLocalTempFile(std::int32_t kind) = 0;
    virtual bool SetPageLock(const std::string& key) = 0;
    virtual bool RemovePageLock(const std::string& key) = 0;
    // The interactive login with the connection fields, which it may change.
    virtual bool LoginToServer(std::string& domain, std::string& ipAddress, std::string& port,
                               std::string& localPort, std::string& networkCard) = 0;

    // ---- Leaving a project: the concept search and the local temporary files ----
    virtual void QuesterClearSearch() = 0;
    virtual void CleanUpTempFileList() = 0;

    // ---- The login a command line asks for, without dialogs ----
    virtual bool OpenTalqConnection(std::int16_t accessMode, const std::string& domain,
                                    const std::string& ipAddress, std::int32_t ipPort,
                                    std::int32_t localPortBase, std::int32_t networkCard,
                                    std::int32_t timeout) = 0;
    virtual void SetTimeout(std::int32_t seconds) = 0;
    virtual bool TalqLogin(const std::string& userId, const std::string& password,
                           std::int16_t clientCode) = 0;
    virtual void CloseTalqConnection() = 0;
    virtual std::string PrintMessage() = 0;
};

class DisconnectedSession : public ViewerSession {
  public:
    void SetDisplayErrorMsgs(bool) override {}
    bool IsRequestInProcess() override { return false; }
    bool IsUserValid() override { return false; }
    bool IsProjectValid() override { return false; }
    std::string ProjectName() override { return {}; }
    std::string UserName() override { return {}; }
    std::string UserPswrd() override { return {}; }
    std::int32_t SystemFlags() override { return 0; }
    std::int32_t ExtSystemFlags() override { return 0; }
    std::string GetTalqProjectList(int) override { return {}; }
    bool SelectProject(const std::string&) override { return false; }
    bool NextKey(const std::string&, int&, std::string&) override { return false; }
    bool PrevKey(const std::string&, int&, std::string&) override { return false; }
    std::int16_t FindKey(const std::string&, std::string& foundKey) override {
        foundKey.clear();
        return 0;
    }
    std::string BndryIcons() override { return {}; }
    std::string BackWardLink() override { return {}; }
    int BndryNbr() override { return 0; }
    std::string BndryLvls() override { return {}; }
    std::int32_t Bndry3rdParty() override { return 0; }
    std::string BndryDescs() override { return {}; }
    std::int32_t UserProjectSecurity() override { return 0; }
    bool AreAnnotationsRestricted() override { return true; }
    bool AreAnnotationsOkToModify() override { return false; }
    bool AreTagsRestricted() override { return true; }
    bool AreTagsOkToModify() override { return false; }
    bool AreRedactionsOkToModify() override { return false; }
    std::int32_t FullText() override { return 0; }
    std::string InfoDescs() override { return {}; }
    bool DisplayErrorMsgs() override { return false; }
    bool AreRedactionsOkToView() override { return false; }
    bool GetImagePageInfo(const std::string&, std::int32_t&, std::int32_t&, std::int32_t&,
                          std::string&, std::string&) override {
        return false;
    }
    bool IsPlaceHolderImage() override { return false; }
    bool GetPageOCR(const std::string&, std::string&) override { return false; }
    std::string GetTextImage(const std::string&) override { return {}; }
    PageImage GetImage(const std::string&, int) override { return {}; }
    float ScaleFactor() override { return 1.0f; }
    bool GetWordList(const std::string&, std::string&, std::array<std::int32_t, 4>&) override {
        return false;
    }
    bool GetAllAnnotations(const std::string&, std::string (&)[6]) override { return false; }
    bool GetBndryBegEndKey(const std::string&, std::int32_t, std::string&, std::string&) override {
        return false;
    }
    bool GetBndryScrollList(const std::string&, std::int32_t, std::string&, std::int16_t&,
                            std::int32_t&, std::int32_t&) override {
        return false;
    }
    std::string GetFolderDescription(const std::string&, std::int32_t) override { return {}; }
    std::string GetPageDate(const std::string&) override { return {}; }
    std::int32_t GetImageTags(const std::string&, std::string&) override { return 0; }
    std::string CreateLocalTempFile(std::int32_t) override { return {}; }
    bool SetPageLock(const std::string&) override { return false; }
    bool RemovePageLock(const std::string&) override { return false; }
    bool LoginToServer(std::string&, std::string&, std::string&, std::string&,
                       std::string&) override {
        return false;
    }
    void QuesterClearSearch() override {}
    void CleanUpTempFileList() override {}
    bool RemotePassThrough(const std::string&, std::string& reply, bool) override {
        reply.clear();
        return false;
    }
    std::int32_t GetTagList(std::string& list) override {
        list.clear();
        return 0;
    }
    bool OpenTalqConnection(std::int16_t, const std::string&, const std::string&, std::int32_t,
                            std::int32_t, std::int32_t, std::int32_t) override {
        return false;
    }
    void SetTimeout(std::int32_t) override {}
    bool TalqLogin(const std::string&, const std::string&, std::int16_t) override { return false; }
    void CloseTalqConnection() override {}
    std::string PrintMessage() override { return {}; }
};

}  // namespace viewer
