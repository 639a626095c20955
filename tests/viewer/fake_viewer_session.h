#pragma once
// A session that answers as the server would, from fields a test sets;
// what it does not override answers as a session that never logged in.

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "viewer/widgets/viewer_session.h"

namespace testsupport {

struct FakeViewerSession : viewer::ViewerSession {
    bool busy = false;
    bool userValid = false;
    bool projectValid = false;
    bool loginSucceeds = false;
    int logins = 0;
    std::string projectName, projectList, firstKey, backWardLink;
    std::vector<std::string> selectable;  // names SelectProject accepts
    std::string bndryLvls = "1|2";
    int bndryNbr = 2;
    std::int32_t extSystemFlags = 0;
    bool grantLocks = true;
    std::vector<std::string> locksSet, locksRemoved;
    // Also told of removed locks, for tests that outlive the session.
    std::vector<std::string>* removedSink = nullptr;

    // Annotation saves, in order: key, kind, list text.
    struct Put {
        std::string key;
        int kind;
        std::string text;
    };
    std::vector<Put> puts;
    bool putSucceeds = true, remote = false, errorMsgs = true;
    // Error messages the session itself showed (only while they were on).
    int sessionErrorBoxes = 0;
    std::vector<std::pair<std::int32_t, std::string>> clipsRun;
    bool PutAnnotationList(const std::string& key, std::int16_t kind, const std::string& list,
                           std::optional<std::uint64_t>) override {
        puts.push_back({key, kind, list});
        if (!putSucceeds && errorMsgs) ++sessionErrorBoxes;
        if (putSucceeds) annotations[key][static_cast<AnnotationKind>(kind)] = list;
        return putSucceeds;
    }
    bool IsRemoteAccess() override { return remote; }
    void ExecuteClipCommand(std::int32_t mode, const std::string& text) override {
        clipsRun.emplace_back(mode, text);
    }
    void SetDisplayErrorMsgs(bool on) override { errorMsgs = on; }

    bool IsRequestInProcess() override { return busy; }
    bool IsUserValid() override { return userValid; }
    bool IsProjectValid() override { return projectValid; }
    std::string ProjectName() override { return projectValid ? projectName : ""; }
    std::string UserName() override { return userValid ? "REVIEWER" : ""; }
    std::string UserPswrd() override { return userValid ? "secret" : ""; }
    std::int32_t ExtSystemFlags() override { return extSystemFlags; }
    std::int32_t systemFlags = 0;
    std::int32_t SystemFlags() override { return systemFlags; }
    std::string GetTalqProjectList(int) override { return projectList; }
    bool SelectProject(const std::string& name) override {
        projectValid = false;
        for (const std::string& s : selectable) {
            if (s == name) {
                projectValid = true;
                projectName = name;
            }
        }
        return projectValid;
    }
    // The project's pages in key order; without them only the first key is known.
    std::vector<std::string> pageKeys;
    // Keys FindKey answers as found (1) or near (2, with the suggested key).
    std::map<std::string, std::string> nearKeys;
    // The request for the key after these fails with this error.
    std::map<std::string, std::string> nextKeyErrors;
    std::string lastError;
    std::string LastError() override { return lastError; }
    bool NextKey(const std::string& key, int& level, std::string& next) override {
        lastError.clear();
        if (auto it = nextKeyErrors.find(key); it != nextKeyErrors.end()) {
            lastError = it->second;
            return false;
        }
        if (pageKeys.empty()) {
            if (!key.empty() || firstKey.empty()) return false;
            next = firstKey;
            return true;
        }
        if (level != 0) return StepUnit(key, true, next);
        for (const std::string& k : pageKeys) {
            if (k > key) {
                next = k;
                return true;
            }
        }
        return false;
    }
    bool PrevKey(const std::string& key, int& level, std::string& prev) override {
        if (level != 0) return StepUnit(key, false, prev);
        for (auto it = pageKeys.rbegin(); it != pageKeys.rend(); ++it) {
            if (key.empty() || *it < key) {
                prev = *it;
                return true;
            }
        }
        return false;
    }
    // Units at every level other than 0 are the documents.
    bool StepUnit(const std::string& key, bool forward, std::string& target) {
        for (size_t i = 0; i < documents.size(); ++i) {
            if (key < documents[i][0] || key > documents[i][1]) continue;
            if (forward ? i + 1 >= documents.size() : i == 0) return false;
            target = documents[forward ? i + 1 : i - 1][0];
            return true;
        }
        return false;
    }
    // Keys whose lookup gets no answer, with why.
    std::map<std::string, std::string> lookupFailures;
    bool keyLookupFailed = false;
    std::string untoldTransportError;
    bool KeyLookupFailed() override { return keyLookupFailed; }
    std::string TakeUntoldTransportError() override {
        return std::exchange(untoldTransportError, "");
    }
    std::int16_t FindKey(const std::string& key, std::string& found) override {
        keyLookupFailed = lookupFailures.count(key) != 0;
        if (keyLookupFailed) {
            untoldTransportError = lookupFailures[key];
            return 0;
        }
        if (std::find(pageKeys.begin(), pageKeys.end(), key) != pageKeys.end()) {
            found = key;
            return 1;
        }
        auto it = nearKeys.find(key);
        if (it == nearKeys.end()) return 0;
        found = it->second;
        return 2;
    }
    std::string BndryIcons() override { return "1|2"; }
    std::string BackWardLink() override { return backWardLink; }
    int BndryNbr() override { return projectValid ? bndryNbr : 0; }
    std::string BndryLvls() override { return projectValid ? bndryLvls : ""; }
    // Pages: the image bytes and annotation lists by key.
    std::map<std::string, std::string> images;
    std::map<std::string, AnnotationTexts> annotations;
    bool pageInfoOk = true, annotationsOk = true, redactionsOkToView = true;
    bool placeholder = false;
    std::string ocrText;
    std::int32_t restricted = 0, rotation = 0, fullText = 0, bndry3rdParty = 0;
    std::string pageInfo, nativeFile, infoDescs, pageDate, tags, tempFile;
    float scaleFactor = 1.0f;
    // Documents: first and last key at the document level, and their pages.
    std::vector<std::array<std::string, 2>> documents;
    std::map<std::string, std::string> folderDescriptions;  // by first key
    bool scrollListOk = true;                               // the documents' page lists can be read

    std::int32_t userProjectSecurity = 0;
    bool annotationsRestricted = false, annotationsOkToModify = true;
    bool tagsRestricted = false, tagsOkToModify = true, redactionsOkToModify = true;
    std::int32_t Bndry3rdParty() override { return bndry3rdParty; }
    std::string BndryDescs() override { return "Document|Folder"; }
    std::int32_t UserProjectSecurity() override { return userProjectSecurity; }
    bool AreAnnotationsRestricted() override { return annotationsRestricted; }
    bool AreAnnotationsOkToModify() override { return annotationsOkToModify; }
    bool AreTagsRestricted() override { return tagsRestricted; }
    bool AreTagsOkToModify() override { return tagsOkToModify; }
    bool AreRedactionsOkToModify() override { return redactionsOkToModify; }
    std::int32_t FullText() override { return fullText; }
    std::string InfoDescs() override { return infoDescs; }
    bool DisplayErrorMsgs() override { return errorMsgs; }
    bool AreRedactionsOkToView() override { return redactionsOkToView; }
    // Printing: boundary level and mark of pages by key (else 0 and restricted).
    std::map<std::string, std::int32_t> pageLevels, pageMarks;
    bool GetImagePageInfo(const std::string& key, std::int32_t& level, std::int32_t& rot,
                          std::int32_t& restr, std::string& info, std::string& native) override {
        level = pageLevels.count(key) != 0 ? pageLevels[key] : pageLevel;
        rot = rotation;
        restr = pageMarks.count(key) != 0 ? pageMarks[key] : restricted;
        info = pageInfo;
        native = nativeFile;
        return pageInfoOk;
    }
    bool IsPlaceHolderImage() override { return placeholder; }
    bool GetPageOCR(const std::string&, std::string& text) override {
        text = ocrText;
        return !ocrText.empty();
    }
    std::string GetTextImage(const std::string&) override { return images["TEXT"]; }
    // Runs while an image is asked for, as events do inside the request's wait.
    std::function<void()> duringGetImage;
    PageImage GetImage(const std::string& key, int) override {
        if (duringGetImage) duringGetImage();
        auto it = images.find(key);
        return {it == images.end() ? std::string() : it->second, scaleFactor, placeholder};
    }
    float ScaleFactor() override { return scaleFactor; }
    // Original files: their rendered pages by name; "EOF" past the last.
    // Each request is logged as "file|page|mode".
    std::map<std::string, std::vector<std::string>> originals;
    std::vector<std::string> originalRequests, originalsLaunched;
    std::function<void()> duringStellantImage;
    std::string GetStellantImage(const std::string& file, std::int32_t page,
                                 const std::string& mode) override {
        originalRequests.push_back(file + "|" + std::to_string(page) + "|" + mode);
        if (duringStellantImage) duringStellantImage();
        auto it = originals.find(file);
        if (it == originals.end()) return "";
        if (page < 1 || static_cast<size_t>(page) > it->second.size()) return "EOF";
        return it->second[static_cast<size_t>(page - 1)];
    }
    void ExecuteOriginalFile(const std::string& key, const std::string& file) override {
        originalsLaunched.push_back(key + "|" + file);
    }
    std::string wordList;  // the word list of every page
    bool GetWordList(const std::string&, std::string& words,
                     std::array<std::int32_t, 4>& numbers) override {
        words = wordList;
        numbers = {};
        return true;
    }
    bool GetAllAnnotations(const std::string& key, AnnotationTexts& lists) override {
        auto it = annotations.find(key);
        lists = it == annotations.end() ? AnnotationTexts{} : it->second;
        return annotationsOk;
    }
    bool GetBndryBegEndKey(const std::string& key, std::int32_t, std::string& b,
                           std::string& e) override {
        for (const auto& d : documents) {
            if (key >= d[0] && key <= d[1]) {
                b = d[0];
                e = d[1];
                return true;
            }
        }
        return false;
    }
    // Keys are "K" and four digits; a document lists every key between its ends.
    bool GetBndryScrollList(const std::string& key, std::int32_t, std::string& list,
                            std::int16_t& marker, std::int32_t& count, std::int32_t&) override {
        if (!scrollListOk) return false;
        std::string b, e;
        if (!GetBndryBegEndKey(key, 0, b, e)) return false;
        list.clear();
        count = 0;
        for (int k = std::stoi(b.substr(1)); k <= std::stoi(e.substr(1)); ++k) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "K%04d", k);
            list += (count++ ? "," : "") + std::string(buf);
        }
        marker = 0;
        return true;
    }
    std::string GetFolderDescription(const std::string& key, std::int32_t) override {
        return folderDescriptions[key];
    }
    bool pageDateRead = true;  // false: the read fails with lastError
    bool ReadPageDate(const std::string&, std::string& date) override {
        date = pageDateRead ? pageDate : "";
        return pageDateRead;
    }
    int tagReads = 0;  // page tag requests
    // Boundary edits, as "level KEY n", "date KEY d" and "description KEY n text".
    std::int32_t pageLevel = 0;
    std::vector<std::string> boundaryEdits;
    bool boundaryEditsOk = true;
    bool SetImageBndryLevel(const std::string& key, std::int32_t level) override {
        boundaryEdits.push_back("level " + key + " " + std::to_string(level));
        return boundaryEditsOk;
    }
    bool PutPageDate(const std::string& key, const std::string& date) override {
        boundaryEdits.push_back("date " + key + " " + date);
        return boundaryEditsOk;
    }
    bool PutFolderDescription(const std::string& key, std::int32_t level,
                              const std::string& text) override {
        boundaryEdits.push_back("description " + key + " " + std::to_string(level) + " " + text);
        return boundaryEditsOk;
    }
    bool tagsReadOk = true;
    std::int32_t GetImageTags(const std::string&, std::string& list) override {
        ++tagReads;
        list = tagsReadOk ? tags : "";
        return list.empty()
                   ? 0
                   : static_cast<std::int32_t>(std::count(tags.begin(), tags.end(), ',') + 1);
    }
    bool ReadImageTags(const std::string& key, std::string& list) override {
        GetImageTags(key, list);
        return tagsReadOk;
    }
    std::string CreateLocalTempFile(std::int32_t) override { return tempFile; }
    bool SetPageLock(const std::string& key) override {
        locksSet.push_back(key);
        // A lock not granted is another's.
        lastError = grantLocks ? "" : "ERROR: Page Locked by OTHER";
        return grantLocks;
    }
    bool HoldsPageLock(const std::string&) override { return grantLocks; }
    std::uint64_t lockEpoch = 0;  // a new connection lost the locks of the last
    std::uint64_t LockEpoch() override { return lockEpoch; }
    bool RemovePageLock(const std::string& key) override {
        locksRemoved.push_back(key);
        if (removedSink != nullptr) removedSink->push_back(key);
        return true;
    }
    bool LoginToServer(std::string&, std::string&, std::string&, std::string&,
                       std::string&) override {
        ++logins;
        userValid = loginSucceeds;
        return loginSucceeds;
    }
    void QuesterClearSearch() override { ++searchesCleared; }
    void CleanUpTempFileList() override { ++tempCleanUps; }
    int searchesCleared = 0;
    int tempCleanUps = 0;
    // Requests the query code sends; a test answers them through passThrough
    // (the stand-in engine, or a script). Without one every request fails.
    std::vector<std::string> passThroughSent;
    std::function<bool(const std::string&, std::string&)> passThrough;
    bool RemotePassThrough(const std::string& command, std::string& reply, bool) override {
        passThroughSent.push_back(command);
        reply.clear();
        return passThrough ? passThrough(command, reply) : false;
    }
    std::string tagPool;  // the project's tag collections, a "," list
    std::int32_t GetTagList(std::string& list) override {
        list = tagPool;
        return tagPool.empty()
                   ? 0
                   : static_cast<std::int32_t>(std::count(tagPool.begin(), tagPool.end(), ',') + 1);
    }

    // The tag palette: its list, and the tags turned on ("+") and off ("-").
    std::string tagPalette;
    bool tagChangesOk = true;
    std::vector<std::string> tagChanges;
    std::int32_t GetTagPalette(std::string& list) override {
        list = tagPalette;
        return tagPalette.empty() ? 0
                                  : static_cast<std::int32_t>(
                                        std::count(tagPalette.begin(), tagPalette.end(), ',') + 1);
    }
    bool ReadTagPalette(std::string& list) override {
        GetTagPalette(list);
        return true;
    }
    bool ReadTagPool(std::string& list) override {
        GetTagList(list);
        return true;
    }
    bool TurnTagOn(const std::string&, const std::string& tag) override {
        tagChanges.push_back("+" + tag);
        return tagChangesOk;
    }
    bool TurnTagOff(const std::string&, const std::string& tag) override {
        tagChanges.push_back("-" + tag);
        return tagChangesOk;
    }

    // The login without dialogs: "mode|timeout" per connection, "user|password" per login.
    bool connectSucceeds = true;
    std::vector<std::string> connections, directLogins;
    std::int32_t requestTimeout = 0;
    std::string printMessage;
    bool OpenTalqConnection(std::int16_t mode, const std::string&, const std::string&, std::int32_t,
                            std::int32_t, std::int32_t, std::int32_t timeout) override {
        connections.push_back(std::to_string(mode) + "|" + std::to_string(timeout));
        userValid = projectValid = false;
        return connectSucceeds;
    }
    void SetTimeout(std::int32_t seconds) override { requestTimeout = seconds; }
    bool TalqLogin(const std::string& user, const std::string& password, std::int16_t) override {
        directLogins.push_back(user + "|" + password);
        userValid = loginSucceeds;
        return loginSucceeds;
    }
    void CloseTalqConnection() override { userValid = projectValid = false; }
    std::string PrintMessage() override { return printMessage; }

    // The image toolbar's requests.
    bool questerSupported = false;
    std::string questerTermFile;
    std::vector<std::string> rotationsSet;  // "key|rotation"
    bool QuesterIsSupported() override { return questerSupported; }
    std::string QuesterTermFile() override { return questerTermFile; }
    bool SetImageRotation(const std::string& key, std::int32_t rotation) override {
        rotationsSet.push_back(key + "|" + std::to_string(rotation));
        return true;
    }
    // Batch print jobs: the lines written, opens and closes.
    std::vector<std::string> batchLines;
    int batchOpens = 0, batchCloses = 0;
    bool batchOpenSucceeds = true;
    std::string ResolveLevel2Bndry(std::int32_t level) override {
        return level == 1 ? "F" : level == 2 ? "D" : "";
    }
    bool OpenBatchPrintFile(const std::string&, const std::string&, std::int32_t,
                            const std::string&, cGdiPrn&) override {
        ++batchOpens;
        return batchOpenSucceeds;
    }
    bool WriteBatchPrintFilePage(const std::string& line) override {
        batchLines.push_back(line);
        return true;
    }
    void CloseBatchPrintFile() override { ++batchCloses; }
};

}  // namespace testsupport
