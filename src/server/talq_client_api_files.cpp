// Local temporary files, server files copied down in pieces, launching
// documents and clips, the name check and the two uploads.
#include <unistd.h>

#include "foundation/binary_files.h"
#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "platform/launcher.h"
#include "platform/prompts.h"
#include "platform/wire_separators.h"
#include "server/talq_client_api.h"
#include "server/talq_client_api_header.h"

namespace {

const std::string kListSep(1, wire::kListSep);
constexpr int kPieceSize = 10000;

// The extension of the server file's last path component, with its ".", when
// it is a plain one (letters and digits, at most 10); otherwise "".
std::string PlainExtension(const std::string& serverFile) {
    std::size_t slash = serverFile.find_last_of("/\\");
    std::string last = slash == std::string::npos ? serverFile : serverFile.substr(slash + 1);
    std::size_t dot = last.rfind('.');
    if (dot == std::string::npos) return "";
    std::string ext = last.substr(dot + 1);
    if (ext.empty() || ext.size() > 10) return "";
    for (unsigned char c : ext) {
        bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!plain) return "";
    }
    return "." + ext;
}

}  // namespace

std::string TalqClientAPI::CreateLocalTempFile(std::int32_t kind) {
    return tempFiles_.CreateName(kind != 0);
}

void TalqClientAPI::AddToTempFileList(const std::string& path) {
    tempFiles_.Add(path);
}

void TalqClientAPI::CleanUpTempFileList() {
    tempFiles_.CleanUp();
}

std::string TalqClientAPI::RetrieveFile(const std::string& serverFile, const std::string& key) {
    if (RefuseBreakers({&key}, "Image Key")) return "";
    SetRequestLock();
    struct Release {
        TalqClientAPI* api;
        ~Release() { api->ReleaseRequestLock(); }
    } release{this};

    std::string name = serverFile;
    std::string reply;
    if (!name.empty() && name[0] == '@') {
        if (!Request("TALQResolveFile," + key + "," + name, reply) || reply == "NONE") return "";
        name = reply;
    }
    if (!IsRemoteAccess()) {
        // The server's names are relative to its system directory; the
        // library answers with the full path of a file that exists there.
        if (!mVBUtil::FileExists(name) && !name.empty() && name[0] != '/' && name[0] != '@') {
            if (!Request("TALQResolveFile," + key + ",@" + name, reply) || reply == "NONE")
                return "";
            name = reply;
        }
        return mVBUtil::FileExists(name) ? name : "";
    }

    CleanUpTempFileList();
    if (!RemotePassThrough("TALQDoesFileExist," + name, reply, 0) || reply != "1") return "";
    std::string local = CreateLocalTempFile(0);
    if (local.empty()) return "";
    std::string extension = PlainExtension(name);
    if (!extension.empty() && local.size() > 4)
        local = local.substr(0, local.size() - 4) + extension;

    int file = mVBUtil::CreateBinaryFile(local);
    if (file == 0) {
        platform::Beep();
        platform::MsgBox("Unable to create temporary file", platform::vbCritical, "Error");
        return "";
    }
    bool failed = false;
    std::int64_t offset = 0;
    while (true) {
        if (!RemotePassThrough("TALQReadFromFile," + name + "," + std::to_string(offset) + "," +
                                   std::to_string(kPieceSize),
                               reply, 0)) {
            failed = true;
            break;
        }
        if (reply == "EOF") break;
        offset += static_cast<std::int64_t>(reply.size());
        if (!reply.empty() && mVBUtil::WriteFileChunk(file, reply, static_cast<int>(reply.size())) <
                                  static_cast<int>(reply.size())) {
            failed = true;
            break;
        }
        if (reply.size() < static_cast<std::size_t>(kPieceSize)) break;
    }
    mVBUtil::CloseBinaryFile(file);
    if (failed) {
        // A partial copy is never handed out, nor left behind.
        ::unlink(local.c_str());
        return "";
    }
    AddToTempFileList(local);
    return local;
}

bool TalqClientAPI::Launch(const std::string& file, const std::string& parameters) {
    // Mode 1 passes the document in file; mode 2 passes the program in file
    // and the document in parameters.
    const std::string& document = parameters.empty() ? file : parameters;
    // Only a real web address skips the check for runnable files.
    std::string head = mVBUtil::UCase(file.substr(0, 8));
    bool web = parameters.empty() && (head.rfind("HTTP://", 0) == 0 || head == "HTTPS://");
    if (!web) {
        if (platform::IsRunnableFile(document)) return false;
        tempFiles_.MarkLaunched(document);
    }
    if (parameters.empty()) return platform::OpenWithDesktop(file);
    return platform::StartProgramWith(file, parameters);
}

void TalqClientAPI::ExecuteClipCommand(std::int32_t mode, const std::string& clipText) {
    CleanUpTempFileList();
    std::string text = mVBUtil::TrimAtNull(clipText);
    std::string parameters, file;
    if (mode == 1) {
        parameters = mVBUtil::GetField(kListSep, text, 1);
    } else if (mode == 2) {
        parameters = mVBUtil::GetField(kListSep, text, 1);
        file = mVBUtil::GetField(kListSep, text, 2);
    } else {
        TalqClientAPI_Header::SplitClipCommand(text, parameters, file, mode);
    }
    if (mode == 2 && file.empty()) {
        platform::Beep();
        platform::MsgBox("Bad Clip Command Format", platform::vbInformation, "Warning");
        return;
    }
    if (parameters.empty()) return;
    if (mode == 1) {
        file = parameters;
        parameters.clear();
        if (mVBUtil::UCase(file.substr(0, 4)) != "HTTP") {
            std::string local = RetrieveFile(file, "");
            if (local.empty()) {
                platform::Beep();
                platform::MsgBox(file, platform::vbCritical, "Clip File Not Found");
                return;
            }
            file = local;
        }
    } else {
        std::string local = RetrieveFile(parameters, "");
        if (local.empty()) {
            platform::Beep();
            platform::MsgBox(parameters, platform::vbCritical, "Clip File Not Found");
            return;
        }
        parameters = local;
    }
    if (!Launch(file, parameters)) {
        platform::Beep();
        platform::MsgBox("Error Executing Clip Command", platform::vbCritical, "Warning");
    }
}

void TalqClientAPI::ExecuteOriginalFile(const std::string& key, const std::string& fileInfo) {
    CleanUpTempFileList();
    std::string local = RetrieveFile(mVBUtil::GetField(",", fileInfo, 1), key);
    if (!local.empty() && local != "NONE") {
        if (mVBUtil::UCase(local.substr(0, 4)) != "HTTP" && Launch(local, "")) return;
        platform::Beep();
        platform::MsgBox(local, platform::vbCritical, "Warning... Colud not Execute");
        return;
    }
    platform::Beep();
    platform::MsgBox(fileInfo, platform::vbCritical, "File Not Found");
}

bool TalqClientAPI::HasBadChars(const std::string& name, std::int16_t showMessage) {
    for (unsigned char c : name) {
        bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == ' ' || c == '-' || c == '_' || c == '.';
        if (allowed) continue;
        if (showMessage != 0) {
            platform::Beep();
            platform::MsgBox(
                "Invalid Characters Entered.\nAllowed: A-Z, 0-9, space, period,\nhyphen and "
                "underscore.",
                platform::vbCritical, "Warning");
        }
        return true;
    }
    return false;
}

bool TalqClientAPI::UploadImage(const std::string& path, const std::string& key,
                                const std::string& flag, std::int32_t value, std::int32_t type) {
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    lastError_ = "Unknown Error";
    std::int16_t level = flag.empty() ? 0 : ResolveBndry2Level(flag);
    if (type == 0) {
        std::string ext = mVBUtil::UCase(path.size() >= 3 ? path.substr(path.size() - 3) : path);
        type = ext == "TIF" ? 2 : ext == "PDF" ? 7 : 4;
    }
    int file = mVBUtil::OpenBinaryFile(path, false);
    if (file == 0) {
        lastError_ = "Unable to open Image File: " + path;
        return false;
    }
    std::string bytes, piece;
    while (mVBUtil::ReadFileChunk(file, piece, 1 << 20) > 0) bytes += piece;
    mVBUtil::CloseBinaryFile(file);
    std::string reply;
    bool ok = Request("TALQStoreImageFile," + CommandPrefix() + "," + key + "," +
                          std::to_string(type) + "," + std::to_string(level) + "," +
                          std::to_string(value) + "," + std::to_string(bytes.size()) + "," + bytes,
                      reply);
    if (!ok && lastError_.empty()) lastError_ = "Store Image Call Failed";
    return ok;
}

bool TalqClientAPI::PutWordList(const std::string& key, std::int32_t first, std::int32_t second,
                                std::int32_t, std::int32_t, const std::string& line) {
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    return Request("TALQImportLine," + CommandPrefix() + ",FT," + key + "," +
                       std::to_string(first) + "," + std::to_string(second) + "," + line,
                   reply);
}
