// The server's concept search: start, poll, the result files and clearing.
#include <unistd.h>

#include "foundation/binary_files.h"
#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "platform/wire_separators.h"
#include "server/talq_client_api.h"
#include "server/talq_number.h"

namespace {
const std::string kRecordSep(1, wire::kRecordSep);
constexpr int kPieceSize = 10000;
}  // namespace

bool TalqClientAPI::QuesterStartSearch(const std::string& query, std::int32_t first,
                                       std::int32_t second) {
    if (!ValidateSession(15)) return false;
    if (query.empty()) {
        lastError_ = "Invalid Search String";
        return false;
    }
    if (questerActive_) QuesterClearSearch();
    std::string reply;
    bool ok = Request("IDEX_StartSearch" + kRecordSep + query + kRecordSep + std::to_string(first) +
                          kRecordSep + std::to_string(second),
                      reply);
    if (ok && reply == "OK") return true;
    if (ok) lastError_ = reply.empty() ? "Unable to Start Quester Search" : reply;
    return false;
}

bool TalqClientAPI::QuesterCheckSearch() {
    if (!ValidateSession(15)) return false;
    std::string reply;
    if (!Request("IDEX_QuerySearch", reply)) {
        // The server's refusal is told in its words, as every action tells
        // it; without one, what came back.
        lastError_ = ServerReason(lastError_).empty()
                         ? "Quester Error: " + reply
                         : WithServerReason("Quester Error", lastError_);
        return false;
    }
    if (reply == "1") return true;
    double status = mVBUtil::Val(mVBUtil::GetField(",", reply, 1));
    std::string name = mVBUtil::GetField(",", reply, 2);
    std::int32_t bits = talqnumber::Long(mVBUtil::GetField(",", reply, 3));
    if (status < 0) {
        lastError_ = name.empty() ? "ERROR: Search Failed" : name;
        return false;
    }
    if (name.empty()) bits = 0;
    lastError_.clear();
    std::string stem = name.empty() ? "" : name.substr(0, name.size() - 1);
    if ((bits & 1) != 0) {
        questerQueryFile_ = name;
        questerActive_ = true;
    } else {
        lastError_ = "No Search Results Found";
    }
    if ((bits & 2) != 0) {
        questerTermFile_ = "D" + stem;
        questerActive_ = true;
    }
    if ((bits & 4) != 0) {
        questerSpellFile_ = "S" + stem;
        questerActive_ = true;
    }
    // The server names its files inside its system directory, which is no
    // readable path here in any access mode: both side files come down.
    if (!questerTermFile_.empty()) CopyResultFile(questerTermFile_);
    if (!questerSpellFile_.empty()) CopyResultFile(questerSpellFile_);
    return false;
}

bool TalqClientAPI::CopyResultFile(std::string& name) {
    const std::string serverName = name;
    std::string folder, fileName;
    mVBUtil::SplitPath(serverName, folder, fileName);
    std::string base = tempFiles_.Folder();
    if (base.empty() || fileName.empty()) {
        name.clear();
        return false;
    }
    std::string local = base + "Qstr_" + fileName;
    if (mVBUtil::FileExists(local)) ::unlink(local.c_str());
    int file = mVBUtil::CreateBinaryFile(local);
    if (file == 0) {
        name.clear();
        return false;
    }
    bool failed = false;
    std::int64_t offset = 0;
    std::string reply;
    while (true) {
        if (!RemotePassThrough("TALQReadFromFile," + serverName + "," + std::to_string(offset) +
                                   "," + std::to_string(kPieceSize),
                               reply, 0)) {
            failed = true;
            break;
        }
        if (reply == "EOF") break;
        if (!reply.empty() && mVBUtil::WriteFileChunk(file, reply, static_cast<int>(reply.size())) <
                                  static_cast<int>(reply.size())) {
            failed = true;
            break;
        }
        offset += static_cast<std::int64_t>(reply.size());
        if (reply.size() < static_cast<std::size_t>(kPieceSize)) break;
    }
    mVBUtil::CloseBinaryFile(file);
    RemotePassThrough("TALQDeleteFile," + serverName, reply, 0);
    if (failed) {
        ::unlink(local.c_str());
        name.clear();
        return false;
    }
    name = local;
    return true;
}

void TalqClientAPI::QuesterClearSearch() {
    if (!questerActive_) return;
    // Only local copies of this session are ever deleted here.
    if (!IsRemoteAccess()) {
        for (const std::string* copy : {&questerTermFile_, &questerSpellFile_}) {
            if (!copy->empty() && copy->rfind(tempFiles_.Folder(), 0) == 0) ::unlink(copy->c_str());
        }
    }
    questerActive_ = false;
    questerQueryFile_.clear();
    questerTermFile_.clear();
    questerSpellFile_.clear();
}

bool TalqClientAPI::QuesterIsSupported() {
    if (!ValidateSession(15)) return false;
    std::string reply;
    return Request("IDEX_IsSupported", reply) && reply == "YES";
}
