// Page images at a quality, text rendered as a page, and the pages of a
// document's original file.
#include <QByteArray>
#include <QCryptographicHash>
#include <QImageReader>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "command_engine.h"
#include "command_rules.h"
#include "engine/descriptor_shortage.h"
#include "engine/path_confine.h"
#include "engine_text.h"
#include "imaging/original_files.h"
#include "imaging/page_files.h"
#include "imaging/page_quality.h"
#include "imaging/reduced_cache.h"
#include "redaction_burn.h"

namespace docserver {
namespace {

constexpr int kOriginalDpi = 100;
// Rendering costs time and memory; a text page past this is refused.
constexpr std::size_t kMaxTextImage = 1 << 20;

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// FNV-1a: a stable short name for a path.
std::string PathHash(const std::string& path) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : path) h = (h ^ c) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

}  // namespace

void CommandEngine::StoredImageSize(const std::string& file, int& width, int& height, int& dpiX,
                                    int& dpiY) {
    width = height = dpiX = dpiY = 0;
    std::string path;
    if (file.empty() || !ConfinePath(systemDir_, file, path)) return;
    QImageReader reader(QString::fromLocal8Bit(path.c_str()));
    QSize size = reader.size();
    if (!size.isValid()) return;
    width = size.width();
    height = size.height();
    // The header's resolution needs the image; a page is stored at 300 dpi
    // unless it says otherwise.
    QImage image = reader.read();
    dpiX = image.isNull() || image.dotsPerMeterX() <= 0
               ? 300
               : static_cast<int>(image.dotsPerMeterX() * 0.0254 + 0.5);
    dpiY = image.isNull() || image.dotsPerMeterY() <= 0
               ? 300
               : static_cast<int>(image.dotsPerMeterY() * 0.0254 + 0.5);
}

// A stored image's entries in cache/ begin with the hash of its path, so
// they go when it is replaced; the rest names the file's version, the
// quality and, for a burned image, the redaction list whole, so a burn is
// only ever sent for the very boxes it was made with, and never to a user
// who sees through them.
std::string CommandEngine::ReducedName(const std::string& path, int quality,
                                       const std::string& redactions) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return "";
    QCryptographicHash digest(QCryptographicHash::Sha256);
    const std::string version = path + '\0' + std::to_string(info.st_size) + '-' +
                                std::to_string(info.st_mtim.tv_sec) + '.' +
                                std::to_string(info.st_mtim.tv_nsec) + '-' +
                                std::to_string(quality) + (redactions.empty() ? "U" : "B");
    digest.addData(QByteArrayView(version.data(), static_cast<qsizetype>(version.size())));
    digest.addData(QByteArrayView(redactions.data(), static_cast<qsizetype>(redactions.size())));
    return PathHash(path) + "-" + digest.result().toHex().left(40).toStdString();
}

void CommandEngine::DropReduced(const std::string& path) {
    reduced_->DropPrefix(PathHash(path) + "-");
}

// The reply for a quality of the stored image at path, the boxes burned in
// when there are any. Reductions and burns are kept in cache/; a reduction
// that is the stored file itself is kept as its scale head alone.
std::string CommandEngine::PreparedImage(const std::string& path, int quality,
                                         const std::string& redactions) {
    const std::vector<QRect> boxes = RedactionBoxes(redactions);
    const std::string list = boxes.empty() ? std::string() : redactions;
    if (quality == 0 && list.empty()) {
        std::string bytes;
        if (!imaging::ReadWholeFile(path, bytes) || bytes.empty()) return Unread(path);
        return imaging::FormatScaleHead(1.0) + bytes;
    }
    const std::string name = ReducedName(path, quality, list);
    std::string reply;
    if (!name.empty() && reduced_->Read(name, reply) && reply.size() >= 8) {
        if (reply.size() > 8) return reply;
        std::string bytes;
        if (imaging::ReadWholeFile(path, bytes) && !bytes.empty()) return reply + bytes;
    }
    std::string bytes;
    if (!imaging::ReadWholeFile(path, bytes) || bytes.empty()) return Unread(path);
    imaging::QualityImage image = imaging::ImageForQuality(bytes, quality);
    if (image.bytes.empty()) {
        failure_ = "Unable to Read Image: " + path + ": not an image the server can decode";
        return "ERROR: Unable to Read Image";
    }
    if (!list.empty()) {
        std::string burned;
        if (!BurnRedactions(image.bytes,
                            image.scale == 1.0 ? boxes : ScaledBoxes(boxes, image.scale), burned))
            return "ERROR: Unable to Read Image";
        image.bytes = std::move(burned);
    }
    const std::string head = imaging::FormatScaleHead(image.scale);
    if (!name.empty())
        reduced_->Write(name, list.empty() && image.bytes == bytes ? head : head + image.bytes);
    return head + image.bytes;
}

// "TALQSendClientImage," P "," key "," quality: an 8-character scale head,
// then the image file.
std::string CommandEngine::SendClientImage(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Middle(4, 1));
    if (seq == 0) return "ERROR: Invalid Image Key";
    const std::string& quality = command.FromEnd(0);
    if (quality != "0" && quality != "100" && quality != "150") return "ERROR: Invalid Quality";
    Statement p(db_, "SELECT image_file, placeholder FROM pages WHERE project_id = ? AND seq = ?");
    p.Bind(1, access.id).Bind(2, seq);
    const bool found = p.Row();
    std::string file = found ? p.Text(0) : "";
    if (file.empty() && found && p.Int(1) != 0) {
        // No scan was ever made: a slip sheet stands in for the page.
        QImage sheet = imaging::RenderTextImage(
            "PLACEHOLDER\r\n\r\nNo image is stored for " + command.Middle(4, 1) + ".",
            kOriginalDpi);
        std::string png = sheet.isNull() ? "" : imaging::EncodePng(sheet);
        if (png.empty()) return Unrendered();
        return imaging::FormatScaleHead(1.0) + png;
    }
    std::string path;
    if (file.empty() || !ConfinePath(systemDir_, file, path)) {
        failure_ =
            "No Image for Page: " + command.Middle(4, 1) +
            (file.empty() ? " names no image file"
                          : ": its image file " + file + " is no name inside the system folder");
        return "ERROR: No Image for Page";
    }
    return PreparedImage(path, std::stoi(quality), HiddenRedactions(access, seq, file));
}

// "TALQSendTextImage," text: the text, commas included, as one page image.
std::string CommandEngine::SendTextImage(const ConnectionState& state, const CommandText& command) {
    if (state.user.empty()) return "ERROR: User Not Logged In";
    std::string text = command.Rest(1);
    if (text.size() > kMaxTextImage) return "ERROR: Text Too Long";
    QImage image = imaging::RenderTextImage(text, kOriginalDpi);
    std::string bytes = image.isNull() ? "" : imaging::EncodePng(image);
    return bytes.empty() ? Unrendered() : bytes;
}

// Out of descriptors, a stored image that is there cannot be opened, nor
// the font's file.
std::string CommandEngine::Unread(const std::string& path) {
    const std::string shortage = DescriptorShortage();
    if (!shortage.empty()) return Failed("ERROR: Unable to Read Image", shortage);
    std::string why = imaging::UnreadableReason(path);
    if (why.empty()) why = "cannot be read";
    failure_ = "No Image for Page: " + path + ": " + why;
    // A local session reads the system's folder itself and has no error
    // output to look at: its reply names the file. Over TCP the server's
    // error output does, and the folder's names stay there.
    const ConnectionState* state = CurrentConnection();
    if (state != nullptr && state->local)
        return "ERROR: No Image for Page: " + WireReason(path + ": " + why);
    return "ERROR: No Image for Page";
}

std::string CommandEngine::Unrendered() {
    const std::string shortage = DescriptorShortage();
    return shortage.empty() ? "ERROR: Unable to Render Text"
                            : Failed("ERROR: Unable to Render Text", shortage);
}

// "TALQSendStellantImage," file "," page "," mode: the name may hold commas,
// so page and mode are read from the end. Only original files are served,
// each only to a user who may see a page that names it; mode "1" is colour,
// any other black and white.
std::string CommandEngine::SendStellantImage(const ConnectionState& state,
                                             const CommandText& command) {
    if (state.user.empty()) return "ERROR: User Not Logged In";
    if (command.Count() < 4) return "ERROR: Invalid Command";
    std::string file = command.Middle(1, 2);
    std::string path;
    std::string normal = file;
    for (char& c : normal)
        if (c == '\\') c = '/';
    if (!StartsWith(normal, "originals/") || !ConfinePath(systemDir_, normal, path) ||
        ResolvedInside(systemDir_, path).rfind("originals/", 0) != 0 ||
        !MayReadFile(state.user, path.substr(systemDir_.size() + 1)) ||
        !MayShowOriginal(state, normal))
        return "ERROR: Invalid Original File";
    char* end = nullptr;
    long page = std::strtol(command.FromEnd(1).c_str(), &end, 10);
    if (command.FromEnd(1).empty() || *end != '\0' || page < 1 || page > 1000000)
        return "ERROR: Invalid Page";
    const bool colour = command.FromEnd(0) == "1";
    imaging::RenderedOriginal rendered =
        imaging::RenderOriginalPage(path, static_cast<int>(page), colour, kOriginalDpi);
    switch (rendered.outcome) {
        case imaging::RenderedOriginal::kPage:
            return std::move(rendered.png);
        case imaging::RenderedOriginal::kPastEnd:
            return "EOF";
        case imaging::RenderedOriginal::kFailed:
            break;
    }
    return "ERROR: Unable to Render Original File";
}

// A page of the connection's project names the original, lies in the user's
// range, is not restricted, and shows no redaction the user may not see
// through.
bool CommandEngine::MayShowOriginal(const ConnectionState& state, const std::string& relative) {
    ProjectAccess access;
    if (!ConnectionProject(state, access).empty()) return false;
    Statement s(db_, ("SELECT 1 FROM pages p WHERE p.project_id = ?1 AND p.seq BETWEEN ?2 AND ?3 "
                      "AND p.restricted = 0 AND REPLACE(p.original_file, '\\', '/') = ?4 AND "
                      "NOT " +
                      HiddenRedactionsSql("p", 5) + " LIMIT 1")
                         .c_str());
    s.Bind(1, access.id).Bind(2, access.firstSeq).Bind(3, access.lastSeq).Bind(4, relative);
    s.Bind(5, access.user);
    return s.Row();
}

}  // namespace docserver
