#pragma once
// The session object: the one door through which every request of the
// program reaches the document server, over a scrambled TCP frame (access
// mode 0) or through the local-access library (modes 1 and 2).
//
// The class grows by family; each family keeps its own section below and
// its own .cpp file (talq_client_api_<family>.cpp).

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/annotation_kinds.h"
#include "server/local_temp_files.h"
#include "server/page_image.h"

class EncryptedSocket;
class LocalAccessLibrary;

class TalqClientAPI {
  public:
    TalqClientAPI();
    ~TalqClientAPI();
    TalqClientAPI(const TalqClientAPI&) = delete;
    TalqClientAPI& operator=(const TalqClientAPI&) = delete;

    // ---- Connection and transport (talq_client_api_connection.cpp) ----
    bool OpenTalqConnection(std::int16_t accessMode, std::string domainName, std::string ipAddress,
                            std::int32_t ipPort, std::int32_t localPortBase,
                            std::int32_t networkCard, std::int32_t timeout);
    void CloseTalqConnection();
    void AbortRemoteOperation();
    void SetRequestLock();
    void ReleaseRequestLock();

    std::int32_t SystemFlags() const;
    std::int32_t ExtSystemFlags() const;
    const std::string& LastError() const { return lastError_; }
    // True when the last request failed after the whole of it had left over
    // TCP (its answer lost, cut off or never come): the server may have
    // carried it out. Never so in local access, which cannot lose an answer,
    // nor after a call refused before anything was sent.
    bool ReplyLost() const { return replyLost_; }
    // The server's reason of the database error it answered last, once: ""
    // when a message told it already or a request has succeeded since.
    std::string TakeUntoldDatabaseError();
    // Why the last request that got no answer failed (the connection lost,
    // reset or refused, a reply cut off, no reply in time), once: "" when it
    // was taken already. A step takes it first to forget what others left.
    std::string TakeUntoldTransportError();
    // A connection the server closed while idle (a restart, its idle
    // time-out), or one the library ended, is made again now, outside any
    // request, so that what went with it (the page locks) is known before the
    // reviewer changes anything; nothing is sent while it stands. False when
    // it could not be made again (LastError, TakeUntoldTransportError).
    bool ReconnectIfClosed();
    std::int32_t timeout() const { return timeout_; }
    void timeout(std::int32_t seconds);
    // One action of the reviewer (a page shown, a step, a key looked up): its
    // requests, reconnections and logins again included, wait one time-out
    // of silence in all; once that is spent the rest fail at once, their
    // reason the one kept already (TakeUntoldTransportError). An action
    // opened inside an open one joins it, unless an event loop started since
    // (a dialog) runs it. A request outside any action is an action alone.
    // An action that changes what the server holds (a save, a tag, a turn)
    // says so, or becomes one once it sends a change.
    class Action {
      public:
        enum Kind { kRead, kChange };
        explicit Action(TalqClientAPI& api, Kind kind = kRead) : api_(api) {
            api_.BeginAction(kind == kChange);
        }
        ~Action() { api_.EndAction(); }
        Action(const Action&) = delete;
        Action& operator=(const Action&) = delete;

      private:
        TalqClientAPI& api_;
    };
    void BeginAction(bool change = false);
    void EndAction();
    // The reviewer closes the window. What runs now is cut short: a read
    // under way (a page, a list, a query, a search) ends at once and no
    // further read is sent, while a change is waited for, within its own
    // time-out counted from when it began or from the close, whichever came
    // later. With no request under way nothing is cut. The session is closed
    // afterwards.
    void AskToClose();
    bool CloseAsked() const { return closeAsked_; }
    // What the close cut short has unwound; the close now waits for a
    // dialog the reviewer left open, and what the reviewer does in it goes
    // as without the close.
    void LetCloseWait();
    // A read is being cut short over TCP and no change began since: what
    // fails of it was not asked for any more and is not told.
    bool CloseCutsShort() const { return cutting_ && remote_ > 0 && !changeSinceCloseAsked_; }
    // A change was under way or began while the close cut: its outcome is told.
    bool ChangeSinceCloseAsked() const { return changeSinceCloseAsked_; }
    // The window unloads: over TCP nothing that only reads, releases or
    // tidies is sent any more; changes still go.
    void ForgoTidying();
    bool IsRequestInProcess() const { return busyCount_ >= 1; }
    bool IsRemoteAccess() const { return remote_ > 0; }
    bool DisplayErrorMsgs() const { return displayErrorMsgs_; }
    void DisplayErrorMsgs(bool on) { displayErrorMsgs_ = on; }

    // True when text would shift the server's fields inside a command: a ","
    // or a character 0, 24, 25, 30 or 31.
    static bool HoldsFieldBreaker(const std::string& text);

    // ---- Session state, login and project record (talq_client_api_session.cpp) ----
    bool TalqLogin(const std::string& userId, const std::string& password, std::int16_t clientCode);
    std::string GetTalqProjectList(std::int16_t clientCode);
    bool SelectProject(const std::string& projectName);
    void CloseProject();

    const std::string& BackWardLink() const { return record_.BackWardLink; }
    std::int32_t UserProjectSecurity() const;
    bool IsProjectValid() const { return projectValid_ == 1; }
    bool IsUserValid() const { return userValid_ == 1; }
    std::string ProjectName() const;
    std::string UserName() const;
    const std::string& DomainName() const { return domainName_; }
    std::string UserPswrd() const;
    std::string UserSystemSecurity() const;
    std::string UserFullName() const;
    std::string ProjectDescription() const;
    std::string BndryLvls() const;
    std::string BndryDescs() const;
    std::string BndryIcons() const;
    std::string BndryFlags() const;
    std::string InfoDescs() const;
    std::string InfoFields() const;
    std::string PrintMessage() const;
    std::int16_t BndryNbr() const;
    std::int16_t Bndry3rdParty() const;
    std::int16_t FullText() const;
    std::int16_t InfoNbr() const;

    // ---- After a password change or a refused weak password
    //      (talq_client_api_login.cpp) ----
    // Later commands, and a login again after a reconnect, carry this password.
    void UserPswrd(const std::string& password);
    // Forgets the user and project here; the server is not asked.
    void DropUser();
    // True when the server refused the login of a reconnection: the session
    // is open and still knows its user and project, to log in again with.
    bool LoginRefused() const;
    // After such a refusal, logs the same user in again with this password
    // and selects the same project, its record kept; on failure the session
    // stays logged out.
    bool LogInAgain(const std::string& password);
    // Why the server ended the session ("Password Changed, Log In Again"),
    // once: "" when a box told it already or the session stands.
    std::string TakeUntoldSessionEnd();
    // The server's own reason in a failure text ("ERROR: why" gives "why");
    // "" when the request got no answer.
    static std::string ServerReason(const std::string& error);
    // A failure's own text with, on a line of its own, the server's reason
    // in error when it holds one.
    static std::string WithServerReason(const std::string& text, const std::string& error);
    // The server refused a page lock: another connection holds it, or the
    // page may not be changed. Any other failure leaves the lock unknown.
    static bool LockRefused(const std::string& error);
    // The refusal ("ERROR: Page Locked by ..." or its words) names user as
    // the holder: on another connection of the server, when it says so.
    static bool LockHeldBy(const std::string& refusal, const std::string& user);

    // ---- Key navigation and page requests (talq_client_api_navigation.cpp,
    //      talq_client_api_pages.cpp) ----
    std::int16_t FindKey(const std::string& key, std::string& foundKey);
    // True when the last FindKey answered 0 because its request failed (no
    // answer, or the server's error) or the session refused it, not because
    // the server knows no such key.
    bool KeyLookupFailed() const { return keyLookupFailed_; }
    bool NextKey(const std::string& key, std::int16_t& level, std::string& nextKey);
    bool PrevKey(const std::string& key, std::int16_t& level, std::string& prevKey);
    bool GetImagePageInfo(const std::string& key, std::int32_t& first, std::int32_t& second,
                          std::int32_t& third, std::string& infoValues, std::string& text);
    bool IsPlaceHolderImage() const { return placeholder_; }
    std::string GetImage(const std::string& key, std::int16_t quality);
    // The image with its scale and the placeholder flag of the page
    // information asked for last.
    PageImage GetPageImage(const std::string& key, std::int16_t quality);
    float ScaleFactor() const;
    bool GetWordList(const std::string& key, std::int32_t& first, std::int32_t& second,
                     std::int32_t& third, std::int32_t& fourth, std::string& words);
    bool GetWordBuf(const std::string& key, const std::string& first, const std::string& second,
                    std::string& buffer);
    bool GetPageOCR(const std::string& key, std::string& text);
    std::string GetTextImage(const std::string& text);
    std::string GetStellantImage(const std::string& file, std::int32_t page,
                                 const std::string& mode);
    bool SetPageLock(const std::string& key);
    void RemovePageLock(const std::string& key);
    // Changes with every new connection: the server dropped the page locks
    // of the old one, so lists read under them may no longer be stored.
    std::uint64_t LockEpoch() const { return connectionEpoch_; }
    // Told of each new connection, from inside the request that made it: the
    // listener sends nothing then. Once no request runs, the reconnection has
    // taken the locks again or given them up (HoldsPageLock).
    void OnNewConnection(std::function<void()> listener) {
        newConnectionListener_ = std::move(listener);
    }
    // True while the page's lock is this session's (a reconnection took it
    // again, or gave it up to another user).
    bool HoldsPageLock(const std::string& key) const;
    // After SetPageLock (key) was refused: the seconds within which the
    // server frees the lock, when it named this user on another of its
    // connections, most likely a lost one (this session's, or the viewer's
    // this login came back from); counted from the first such refusal since
    // the lock was last had or lost on a reconnection. 0 otherwise, once that
    // time has passed, and once another user was found holding it.
    std::int32_t EarlierConnectionFreesIn(const std::string& key) const;
    bool SetImageRotation(const std::string& key, std::int32_t rotation);
    bool SetImageBndryLevel(const std::string& key, std::int32_t level);
    std::int16_t ResolveBndry2Level(const std::string& flag) const;
    std::string ResolveLevel2Bndry(std::int32_t level) const;
    bool GetBndryScrollList(const std::string& key, std::int32_t level, std::string& list,
                            std::int16_t& marker, std::int32_t& count, std::int32_t& index);
    bool GetBndryBegEndKey(const std::string& key, std::int32_t level, std::string& begKey,
                           std::string& endKey);
    std::string GetFolderDescription(const std::string& key, std::int32_t level);
    bool PutFolderDescription(const std::string& key, std::int32_t level,
                              const std::string& description);
    std::string GetPageDate(const std::string& key);
    // As GetPageDate, telling a read that failed (false, LastError says why)
    // from a page without a date (true, "").
    bool ReadPageDate(const std::string& key, std::string& date);
    bool PutPageDate(const std::string& key, const std::string& date);
    bool RemotePassThrough(const std::string& command, std::string& reply,
                           std::int32_t skipSessionCheck);

    // ---- Rights, tags and annotation lists (talq_client_api_tags.cpp) ----
    bool AreTagsRestricted();
    bool AreTagsOkToModify();
    bool AreAnnotationsRestricted();
    bool AreAnnotationsOkToModify();
    bool AreRedactionsOkToModify();
    bool AreRedactionsOkToView();
    bool AreImagesRestricted();
    std::int32_t GetTagList(std::string& list);
    std::int32_t GetTagPalette(std::string& list);
    // As GetTagPalette, telling a failed request from an empty palette.
    bool ReadTagPalette(std::string& list);
    // The project's collections; false when the request failed.
    bool ReadTagPool(std::string& list);
    // A page's tags; false when the request failed.
    bool ReadImageTags(const std::string& key, std::string& list);
    std::int32_t GetImageTags(const std::string& key, std::string& list);
    bool TurnTagOn(const std::string& key, const std::string& tag);
    bool TurnTagOff(const std::string& key, const std::string& tag);
    bool IsTagOn(const std::string& key, const std::string& tag);
    bool IsRangeTagged(const std::string& begKey, const std::string& endKey,
                       const std::string& tag);
    bool NewTagDesc(const std::string& description);
    bool ModifyTagDesc(const std::string& oldDescription, const std::string& newDescription);
    bool DeleteTagDesc(const std::string& description);
    bool PutTagPalette(const std::string& list);
    bool IsPageRestricted(const std::string& key);
    // False when the lists could not be read: a page must then not be shown
    // without its redactions.
    bool GetAllAnnotations(const std::string& key, std::string& redactions, std::string& highlights,
                           std::string& stickies, std::string& notes, std::string& clips,
                           std::string& markups);
    bool GetAllAnnotations(const std::string& key, AnnotationTexts& lists);
    // kind: an annotation type code. With a lock epoch the list leaves only
    // while the page's lock is held since that epoch, also when the request
    // itself has to reconnect: a list read under a lock lost meanwhile would
    // write over what another user stored ("Page Lock Lost").
    bool PutAnnotationList(const std::string& key, std::int16_t kind, const std::string& list,
                           std::optional<std::uint64_t> lockEpoch = std::nullopt);

    // ---- Server files, temporary files and launches (talq_client_api_files.cpp) ----
    std::string CreateLocalTempFile(std::int32_t kind);
    void AddToTempFileList(const std::string& path);
    void CleanUpTempFileList();
    const std::string& TempFileList() const { return tempFiles_.List(); }
    std::string RetrieveFile(const std::string& serverFile, const std::string& key);
    void ExecuteClipCommand(std::int32_t mode, const std::string& clipText);
    void ExecuteOriginalFile(const std::string& key, const std::string& fileInfo);
    static bool HasBadChars(const std::string& name, std::int16_t showMessage);
    bool UploadImage(const std::string& path, const std::string& key, const std::string& flag,
                     std::int32_t value, std::int32_t type);
    bool PutWordList(const std::string& key, std::int32_t first, std::int32_t second,
                     std::int32_t third, std::int32_t fourth, const std::string& line);

    // ---- Concept search requests (talq_client_api_concept.cpp) ----
    bool QuesterStartSearch(const std::string& query, std::int32_t first, std::int32_t second);
    bool QuesterCheckSearch();
    void QuesterClearSearch();
    bool QuesterIsSupported();
    bool IsQuesterActive() const { return questerActive_; }
    const std::string& QuesterQueryFile() const { return questerQueryFile_; }
    const std::string& QuesterTermFile() const { return questerTermFile_; }
    const std::string& QuesterSpellFile() const { return questerSpellFile_; }

    // ---- Batch print file (talq_client_api_batch.cpp) ----
    std::int16_t GetBatchPrinters(std::string& list);
    std::string GetBatchPrintDir(const std::string& printer);
    bool ValidateBatchPrinter(const std::string& printer);
    // The header is the job's options as the printer reads them
    // (printing/batch_print_header.h).
    bool OpenBatchPrintFile(const std::string& printer, const std::string& watermark,
                            const std::string& header);
    bool WriteBatchPrintFilePage(const std::string& line);
    void CloseBatchPrintFile();

  private:
    friend class TalqClientApiTestPeer;

    // The selected project's record; lists are "|"-joined, numbered from 1.
    struct ProjectRecord {
        std::string ProjectName;
        std::int16_t BndryNbr = 0;
        std::string BndryLvls;
        std::string BndryDescs;
        std::string BndryIcons;
        std::string BndryFlags;
        std::int16_t InfoNbr = 0;
        std::string InfoFields;
        std::string InfoDescs;
        std::int32_t UserProjectSecurity = 0;
        std::int16_t Bndry3rdParty = 0;
        std::int16_t FullText = 0;
        std::string ProjectDescription;
        std::string BackWardLink;
        std::string PrintMessage;
        std::int32_t RestrictionBits = 0;
        std::string FurtherText1;
        std::string FurtherText2;
    };

    // ---- Session guard (talq_client_api_session.cpp) ----
    bool ValidateSession(std::int16_t bits);
    void ParseProjectRecord(const std::string& reply);
    // The prefix user "," password "," project of most commands.
    std::string CommandPrefix() const;
    // True when one of the texts would break the command's fields; sets
    // LastError then.
    bool RefuseBreakers(std::initializer_list<const std::string*> texts, const char* what);
    // One request whose failure leaves LastError as SendRequest set it.
    bool Request(const std::string& command, std::string& reply);

    // ---- Transport (talq_client_api_request.cpp) ----
    bool SendRequest(const std::string& command, std::string& reply, std::int32_t& replyLength,
                     bool allowNested);
    bool SendLocal(const std::string& command, std::string& reply, std::int32_t& replyLength);
    // Whether the library ended the local connection (its user's password
    // changed elsewhere), and connecting it again, as a new connection.
    bool LocalConnectionEnded();
    bool ReopenLocal();
    bool ConnectSocket();
    bool ReconnectSession();
    // Drops the socket of a stream whose state is no longer known (time-out,
    // abort, bad data): the next request connects and logs in again.
    void DropSocket();
    void EnterNesting();
    void LeaveNesting();
    // Seconds of silence the open action may still wait; below 0 once spent.
    std::int32_t SilenceLeft() const;
    void ChargeSilence(std::int64_t seconds);
    void MarkChange();
    // A close was asked and what runs is no change, or the change had its
    // time: the request in flight ends and no other is sent.
    bool ClosingStops() const;
    void FinishClose(bool keepError);
    void ShowError();
    // The text of a refused login: the server's reason follows when it gave
    // one (logins held after failures are no wrong password).
    std::string LoginFailure(bool ok, const std::string& status) const;

    // Releases what other families hold for the session (batch print file,
    // concept search, local temporary files) when the connection closes.
    void ReleaseSessionResources();

    // Transport state.
    std::int16_t remote_ = 0;
    std::int16_t socketCreated_ = 0;
    std::int16_t socketConnected_ = 0;
    std::unique_ptr<EncryptedSocket> socket_;
    std::int32_t localHandle_ = 0;
    std::int16_t localMode_ = 0;
    LocalAccessLibrary* localLibrary_ = nullptr;
    std::string localLibraryName_;
    std::string domainName_;
    std::string ipAddress_;
    std::int32_t ipPort_ = 0;
    std::int32_t localPortBase_ = 0;
    std::int32_t networkCard_ = 0;
    std::int32_t timeout_ = 0;
    std::int32_t busyCount_ = 0;
    std::int16_t requestNestingCount_ = 0;
    std::int16_t abortRequested_ = 0;
    std::int16_t connectionClosing_ = 0;
    std::int16_t sessionClosed_ = 0;
    bool closeDeferred_ = false;
    bool reconnectPending_ = false;
    bool timedOut_ = false;  // the socket was dropped after a request timed out
    bool replyLost_ = false;
    bool hourglass_ = false;
    // The open actions: one per event loop level that opened one.
    struct ActionBudget {
        int loopLevel = 0;
        int depth = 0;
        std::int64_t silentSeconds = 0;
        bool change = false;
        std::int64_t changeStartMs = 0;
    };
    std::vector<ActionBudget> actions_;
    bool closeAsked_ = false;
    std::int64_t closeAskedMs_ = 0;
    bool changeSinceCloseAsked_ = false;
    bool cutting_ = false;  // AskToClose found a request under way
    bool forgoTidying_ = false;
    std::int32_t connection_ = 0;
    std::int32_t systemFlags_ = 0;
    std::int32_t extSystemFlags_ = 0;

    // Session state the transport reads to log in again after a reconnect.
    std::string lastError_;
    // The last "ERROR: Database Error" reply, kept until a request succeeds.
    std::string databaseError_;
    bool databaseErrorTold_ = false;
    // Why the last request without an answer failed, until taken.
    std::string transportError_;
    bool transportErrorTold_ = false;
    void LinkFailed(const std::string& reason);
    // The server's reply that ended the session (its password changed, its
    // user disabled) while no box has said so yet; "" otherwise.
    std::string untoldSessionEnd_;
    // A login again with a password the reviewer typed, not the proved one.
    bool typedPassword_ = false;
    bool displayErrorMsgs_ = false;
    std::int16_t userValid_ = 0;
    std::int16_t projectValid_ = 0;
    std::string userName_;
    std::string userPswrd_;
    std::string projectName_;
    // The page locks this connection holds: the server drops them with the
    // connection, so a reconnection takes them again.
    std::vector<std::string> lockedKeys_;
    // By key: until when a refusal naming this user on another connection
    // is most likely a lost connection's, which the server frees within the
    // dead-peer time it names. Kept past that time, so that the same refusal
    // later is told as the login's elsewhere at once.
    std::map<std::string, std::int64_t> earlierHolderUntilMs_;
    void NoteEarlierHolder(const std::string& key, const std::string& refusal);
    std::uint64_t connectionEpoch_ = 0;
    std::function<void()> newConnectionListener_;
    void NewConnection();
    // While set, a request is not sent on a connection of another epoch.
    std::optional<std::uint64_t> sendOnlyInEpoch_;
    std::int16_t clientCode_ = 0;
    std::int32_t userSystemSecurity_ = 0;
    std::string userFullName_;
    ProjectRecord record_;
    double scaleFactor_ = 1.0;
    bool placeholder_ = false;
    bool keyLookupFailed_ = false;

    // Files, concept search and batch print state.
    std::int32_t ReadTagList(const char* verb, std::string& list, bool* read = nullptr);
    // The session check, then a refused name, then restricted tags.
    bool TagEditAllowed(bool nameRefused);
    bool SwitchTag(const char* verb, const std::string& key, const std::string& tag);
    bool AskTagged(const std::string& begKey, const std::string& endKey, const std::string& tag,
                   bool recordForm);
    bool CopyResultFile(std::string& name);
    bool Launch(const std::string& file, const std::string& parameters);
    LocalTempFiles tempFiles_;
    bool questerActive_ = false;
    std::string questerQueryFile_;
    std::string questerTermFile_;
    std::string questerSpellFile_;
    std::string batchFileName_;
    std::int32_t batchPageCount_ = 0;
    std::int16_t batchColor_ = 0;
};
