#pragma once
// What the main window asks of its session, written once. Each need is one
// virtual member whose body passes the call to the session object when the
// window has one and answers as a session that never logged in when it has
// none; a new need is added here and nowhere else. Tests derive from it and
// override only what they script, such as server replies and faults.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "annotations/clip_rules.h"
#include "annotations/tag_api.h"
#include "navigation/query_api.h"
#include "navigation/quester_api.h"
#include "platform/annotation_kinds.h"
#include "server/page_image.h"

class QWidget;
class TalqClientAPI;
class cGdiPrn;

namespace viewer {

class ViewerSession : public navigation::QueryApi,
                      public annotations::TagApi,
                      public annotations::ClipClientApi,
                      public navigation::QuesterApi {
  public:
    // Without a session object every need answers as disconnected.
    ViewerSession();
    // The parent is that of the login dialogs.
    ViewerSession(std::unique_ptr<TalqClientAPI> api, QWidget* dialogParent);
    ~ViewerSession() override;
    ViewerSession(const ViewerSession&) = delete;
    ViewerSession& operator=(const ViewerSession&) = delete;

    // The whole session object, for the windows that need more of it; only
    // valid when the session was made with one.
    TalqClientAPI& Api() { return *api_; }

    // One action of the reviewer (a page shown, a step, a key looked up):
    // while one lives, its requests, reconnections included, wait one
    // time-out in all, and those after it was spent fail at once. A change
    // (a save) is waited for when the window closes; a read is cut short.
    class Action {
      public:
        enum Kind { kRead, kChange };
        explicit Action(ViewerSession& session, Kind kind = kRead) : session_(session) {
            session_.BeginAction(kind == kChange);
        }
        ~Action() { session_.EndAction(); }
        Action(const Action&) = delete;
        Action& operator=(const Action&) = delete;

      private:
        ViewerSession& session_;
    };
    virtual void BeginAction(bool change = false);
    virtual void EndAction();
    // The window closes: a read under way ends, a change under way is
    // waited for; with nothing under way nothing is cut (TalqClientAPI).
    virtual void AskToClose();
    virtual bool ChangeSinceCloseAsked();
    // A read is being cut short by the close: what fails of it is not told.
    virtual bool CloseCutsShort();
    // What the close cut short has unwound; the reviewer's dialog goes on.
    virtual void LetCloseWait();
    // The window unloads: nothing only reading or tidying waits on the network.
    virtual void ForgoTidying();
    // The concept search's progress window gives the search up.
    bool CloseAsked() override;

    virtual void SetDisplayErrorMsgs(bool on);
    virtual bool IsRequestInProcess();
    virtual bool IsUserValid();
    // After the server refused the login of a reconnection: the same user
    // logs in again and the same project is selected, nothing else changed.
    virtual bool LoginRefused();
    virtual bool LogInAgain(const std::string& password);
    bool IsProjectValid() override;
    std::string ProjectName() override;
    std::string UserName() override;
    std::string UserPswrd() override;
    virtual std::int32_t SystemFlags();
    virtual std::int32_t ExtSystemFlags();
    // Project names joined by character 30.
    virtual std::string GetTalqProjectList(int clientCode);
    virtual bool SelectProject(const std::string& projectName);
    virtual bool NextKey(const std::string& key, int& level, std::string& nextKey);
    virtual bool PrevKey(const std::string& key, int& level, std::string& prevKey);
    // 0 not found, 1 found, 2 a near key found (in foundKey).
    virtual std::int16_t FindKey(const std::string& key, std::string& foundKey);
    // The last FindKey's 0 came of a failed request, not of a missing key.
    virtual bool KeyLookupFailed();
    virtual std::string BndryIcons();  // "|"-separated, in level order
    virtual std::string BackWardLink();
    // "|"-separated boundary levels of the selected project and their count.
    virtual int BndryNbr();
    virtual std::string BndryLvls();
    virtual std::int32_t Bndry3rdParty();
    virtual std::string BndryDescs();  // "|"-separated, in level order
    // Rights of the user in the selected project; without a session every
    // right is withheld.
    std::int32_t UserProjectSecurity() override;
    virtual bool AreAnnotationsRestricted();
    virtual bool AreAnnotationsOkToModify();
    virtual bool AreTagsRestricted();
    virtual bool AreTagsOkToModify();
    virtual bool AreRedactionsOkToModify();
    virtual std::int32_t FullText();
    virtual std::string InfoDescs();  // "|"-separated
    virtual bool DisplayErrorMsgs();
    // The server's reason of a database error not yet told; "" when none.
    virtual std::string TakeUntoldDatabaseError();
    // Why the last request without an answer failed, once; "" when none.
    std::string TakeUntoldTransportError() override;
    // Why the server ended the session, once; "" when told or none.
    virtual std::string TakeUntoldSessionEnd();
    // ---- Why an action failed, composed here for every window ----
    // Each is taken, so that no later action tells it again: the end of the
    // session not yet told, else the connection's reason, else a database
    // error not yet told; "" when none.
    std::string TakeUntoldFailure();
    // That, else the server's words in the last error; "" when the failure
    // came of an end of the session told already, or had no reason.
    std::string TakeFailureReason();
    // That, else the session's own refusal in the last error, which no
    // server sent ("Unable to Send Data Request").
    std::string TakeFailureOrRefusal() override;
    // What failed, with TakeFailureReason on a line of its own.
    std::string TakeFailureMessage(const std::string& what);
    // The server's words in a failure text, "ERROR: why" or a text over
    // them on a line of their own; "" when there are none.
    static std::string ServerWords(const std::string& error);
    // A connection the server closed while idle is made again now; false
    // when it could not be.
    virtual bool ReconnectIfClosed();
    virtual bool AreRedactionsOkToView();
    // Page requests.
    virtual bool GetImagePageInfo(const std::string& key, std::int32_t& bndryLevel,
                                  std::int32_t& rotation, std::int32_t& restricted,
                                  std::string& infoValues, std::string& nativeFile);
    virtual bool IsPlaceHolderImage();
    virtual bool GetPageOCR(const std::string& key, std::string& text);
    virtual std::string GetTextImage(const std::string& text);
    virtual PageImage GetImage(const std::string& key, int quality);
    // One page of an original file rendered by the server; "" on failure.
    virtual std::string GetStellantImage(const std::string& file, std::int32_t page,
                                         const std::string& mode);
    virtual float ScaleFactor();
    // The word list and the four numbers of its reply.
    virtual bool GetWordList(const std::string& key, std::string& words,
                             std::array<std::int32_t, 4>& numbers);
    virtual bool GetAllAnnotations(const std::string& key, AnnotationTexts& lists);
    virtual bool GetBndryBegEndKey(const std::string& key, std::int32_t level, std::string& begKey,
                                   std::string& endKey);
    virtual bool GetBndryScrollList(const std::string& key, std::int32_t level, std::string& list,
                                    std::int16_t& marker, std::int32_t& count, std::int32_t& index);
    virtual std::string GetFolderDescription(const std::string& key, std::int32_t level);
    // The page's document date, "" for none; false when it could not be read.
    virtual bool ReadPageDate(const std::string& key, std::string& date);
    std::int32_t GetImageTags(const std::string& key, std::string& list) override;
    // A page's tags; false when the request failed.
    virtual bool ReadImageTags(const std::string& key, std::string& list);
    // Boundary edits: the page's level, its document date, a unit's description.
    virtual bool SetImageBndryLevel(const std::string& key, std::int32_t level);
    virtual bool PutPageDate(const std::string& key, const std::string& date);
    virtual bool PutFolderDescription(const std::string& key, std::int32_t level,
                                      const std::string& description);
    // A free local file name; the file is not created.
    virtual std::string CreateLocalTempFile(std::int32_t kind);
    virtual bool SetPageLock(const std::string& key);
    // Changes whenever the page locks may have gone with a connection.
    virtual std::uint64_t LockEpoch();
    // Told, from inside a request, when a new connection changed the epoch.
    virtual void OnNewConnection(std::function<void()> listener);
    virtual bool HoldsPageLock(const std::string& key);
    // Seconds within which the server frees a refused lock that most likely
    // the session's own lost connection holds; 0 for any other refusal.
    virtual std::int32_t EarlierConnectionFreesIn(const std::string& key);
    // Annotations made and changed with the mouse; with a lock epoch, sent
    // only while the page's lock is held since then.
    virtual bool PutAnnotationList(const std::string& key, std::int16_t kind,
                                   const std::string& list,
                                   std::optional<std::uint64_t> lockEpoch = std::nullopt);
    bool IsRemoteAccess() override;
    virtual void ExecuteClipCommand(std::int32_t mode, const std::string& clipText);
    virtual bool RemovePageLock(const std::string& key);
    // The interactive login with the connection fields, which it may change.
    virtual bool LoginToServer(std::string& domain, std::string& ipAddress, std::string& port,
                               std::string& localPort, std::string& networkCard);

    // ---- The image toolbar: rotation kept on the server, concept search, originals ----
    virtual bool SetImageRotation(const std::string& key, std::int32_t rotation);
    virtual bool QuesterIsSupported();
    virtual std::string QuesterTermFile();
    virtual void ExecuteOriginalFile(const std::string& key, const std::string& fileInfo);

    // ---- The concept search ----
    virtual bool QuesterStartSearch(const std::string& phrase, std::int32_t maxItems,
                                    std::int32_t third);
    bool QuesterCheckSearch() override;
    bool IsQuesterActive() override;
    virtual std::string QuesterQueryFile();
    virtual std::string QuesterSpellFile();
    std::string LastError() override;
    // The last request failed after all of it had left: the server may have
    // carried it out, and only reading what it holds tells.
    virtual bool ReplyLost();
    // The words of a passage of the page's OCR text, blank-separated.
    virtual bool GetWordBuf(const std::string& key, const std::string& start,
                            const std::string& end, std::string& words);

    // ---- Leaving a project: the concept search and the local temporary files ----
    virtual void QuesterClearSearch();
    virtual void CleanUpTempFileList();

    // ---- Query requests ----
    bool RemotePassThrough(const std::string& command, std::string& reply,
                           bool skipSessionCheck) override;
    std::int32_t GetTagList(std::string& list) override;

    // ---- The tag palette and its editor ----
    std::int32_t GetTagPalette(std::string& list) override;
    bool ReadTagPalette(std::string& list) override;
    bool ReadTagPool(std::string& list) override;
    bool TurnTagOn(const std::string& key, const std::string& tag) override;
    bool TurnTagOff(const std::string& key, const std::string& tag) override;
    bool NewTagDesc(const std::string& name) override;
    bool ModifyTagDesc(const std::string& oldName, const std::string& newName) override;
    bool DeleteTagDesc(const std::string& name) override;
    bool PutTagPalette(const std::string& list) override;

    // ---- The login a command line asks for, without dialogs ----
    virtual bool OpenTalqConnection(std::int16_t accessMode, const std::string& domain,
                                    const std::string& ipAddress, std::int32_t ipPort,
                                    std::int32_t localPortBase, std::int32_t networkCard,
                                    std::int32_t timeout);
    virtual void SetTimeout(std::int32_t seconds);
    virtual bool TalqLogin(const std::string& userId, const std::string& password,
                           std::int16_t clientCode);
    virtual void CloseTalqConnection();
    virtual std::string PrintMessage();

    // ---- Printing: boundary flag codes and batch print jobs ----
    virtual std::string ResolveLevel2Bndry(std::int32_t level);
    // Names joined by the list separator; the count, negative on failure.
    virtual std::int16_t GetBatchPrinters(std::string& list);
    virtual bool ValidateBatchPrinter(const std::string& printer);
    // The file's header takes its option values from the engine.
    virtual bool OpenBatchPrintFile(const std::string& printer, const std::string& watermark,
                                    std::int32_t flags, const std::string& description,
                                    cGdiPrn& engine);
    virtual bool WriteBatchPrintFilePage(const std::string& line);
    virtual void CloseBatchPrintFile();

  private:
    std::unique_ptr<TalqClientAPI> api_;
    QWidget* dialogParent_;
};

// A session that never logged in.
class DisconnectedSession : public ViewerSession {};

}  // namespace viewer
