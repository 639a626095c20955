// Batch print jobs handed to the server, and what a closing session releases.
#include "foundation/binary_files.h"
#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "platform/wire_separators.h"
#include "server/talq_client_api.h"

namespace {

const std::string kRecordSep(1, wire::kRecordSep);
const std::string kListSep(1, wire::kListSep);
constexpr int kWatermarkPiece = 1000;

std::string WriteFileCommand(const std::string& name, std::int16_t color, const std::string& data) {
    return "TALQWriteFile" + kRecordSep + name + kRecordSep + (color != 0 ? "1" : "0") +
           kRecordSep + std::to_string(data.size()) + kRecordSep + data;
}

// The name with its last three characters replaced.
std::string Sibling(const std::string& name, const char* ending) {
    return name.substr(0, name.size() - 3) + ending;
}

}  // namespace

void TalqClientAPI::ReleaseSessionResources() {
    CloseBatchPrintFile();
    QuesterClearSearch();
    tempFiles_.RemoveAll();
}

std::int16_t TalqClientAPI::GetBatchPrinters(std::string& list) {
    list.clear();
    if (!ValidateSession(1)) return 0;
    std::string reply;
    if (!Request("TALQGetBatchDirs," + userName_ + "," + userPswrd_ + "," + domainName_, reply))
        return 0;
    std::int16_t count = 0;
    int position = 1;
    while (position != -1) {
        std::string name =
            mVBUtil::GetField("\t", mVBUtil::NextToken(kRecordSep, reply, position), 1);
        if (name.empty()) continue;
        if (count > 0) list += kListSep;
        list += name;
        ++count;
    }
    return count;
}

std::string TalqClientAPI::GetBatchPrintDir(const std::string& printer) {
    if (!ValidateSession(1)) return "";
    std::string reply;
    if (!Request("TALQGetBatchDirs," + userName_ + "," + userPswrd_ + "," + domainName_, reply))
        return "";
    std::string fallback;
    bool haveFallback = false;
    int position = 1;
    while (position != -1) {
        std::string record = mVBUtil::NextToken(kRecordSep, reply, position);
        std::string name = mVBUtil::GetField("\t", record, 1);
        if (name.empty()) continue;
        std::string directory = mVBUtil::GetField("\t", record, 2);
        if (!haveFallback) {
            fallback = directory;
            haveFallback = true;
        }
        if (name.substr(0, 2) == printer.substr(0, 2)) fallback = directory;
        if (name == printer) return directory;
    }
    return fallback;
}

bool TalqClientAPI::ValidateBatchPrinter(const std::string& printer) {
    if (!ValidateSession(7)) return false;
    std::string reply;
    if (!printer.empty() && Request("TALQValidateBatchPrinter," + printer, reply) && reply == "OK")
        return true;
    lastError_ = "Invalid Batch Printer";
    return false;
}

bool TalqClientAPI::OpenBatchPrintFile(const std::string& printer, const std::string& watermark,
                                       const std::string& header) {
    if (!batchFileName_.empty()) CloseBatchPrintFile();
    if (!ValidateSession(7)) return false;
    batchPageCount_ = 0;
    batchColor_ = ((systemFlags_ & 0x1) != 0 && (systemFlags_ & 0x1000) == 0) ? 1 : 0;

    const char* kOpenFailed = "Unable to Open Batch Print File";
    lastError_ = kOpenFailed;
    std::string reply;
    if (!Request("TALQGetNextBatch," + printer, reply)) return false;
    std::string head = mVBUtil::UCase(reply.substr(0, 5));
    // Too short a name leaves nothing of the server's name to address.
    if (head == "ERROR" || reply.size() < 4) {
        lastError_ = kOpenFailed;
        return false;
    }
    std::string name = Sibling(reply, "P__");

    if (!watermark.empty()) {
        const char* kCopyFailed = "Unable to Copy Watermark to Batch Print Directory";
        lastError_ = kCopyFailed;
        std::string copy = Sibling(name, "MRK");
        int file = mVBUtil::OpenBinaryFile(watermark, false);
        if (file == 0) return false;
        std::string piece;
        bool failed = false;
        while (mVBUtil::ReadFileChunk(file, piece, kWatermarkPiece) > 0) {
            if (!Request(WriteFileCommand(copy, 0, piece), reply)) {
                failed = true;
                break;
            }
        }
        mVBUtil::CloseBinaryFile(file);
        if (failed) {
            lastError_ = kCopyFailed;
            return false;
        }
    }

    if (!Request(WriteFileCommand(name, batchColor_, header), reply)) {
        // A job without its header would print with unknown options.
        lastError_ = kOpenFailed;
        batchColor_ = 0;
        return false;
    }
    batchFileName_ = name;
    lastError_.clear();
    return true;
}

bool TalqClientAPI::WriteBatchPrintFilePage(const std::string& line) {
    if (batchFileName_.empty()) {
        lastError_ = "Invalid Batch Print File";
        replyLost_ = false;
        return false;
    }
    lastError_ = "Error Writing to Batch Print File";
    std::string reply;
    if (!Request(WriteFileCommand(batchFileName_, batchColor_, line), reply)) return false;
    lastError_.clear();
    ++batchPageCount_;
    return true;
}

void TalqClientAPI::CloseBatchPrintFile() {
    if (batchFileName_.empty()) return;
    std::string reply;
    Request("TALQCloseOutBatchFile," + batchFileName_ + "," + (batchColor_ != 0 ? "1" : "0") + "," +
                std::to_string(batchPageCount_),
            reply);
    batchFileName_.clear();
    batchPageCount_ = 0;
    batchColor_ = 0;
}
