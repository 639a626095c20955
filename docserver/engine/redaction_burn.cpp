#include "redaction_burn.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "command_engine.h"
#include "command_rules.h"
#include "engine_text.h"
#include "imaging/page_files.h"
#include "platform/leading_number.h"

namespace docserver {
namespace {

// A field as the viewer reads it, so what is burned is what is drawn;
// bounded so that growing a box cannot overflow.
int Coordinate(const std::string& text) {
    return std::clamp(platform::LeadingInteger(text), -1000000000, 1000000000);
}

}  // namespace

std::vector<QRect> RedactionBoxes(const std::string& list) {
    std::vector<QRect> boxes;
    if (list.empty()) return boxes;
    for (const std::string& record : Split(list, kRecordSep)) {
        std::vector<std::string> fields = Split(record, kFieldSep);
        if (fields.size() < 4) continue;
        int left = Coordinate(fields[0]), top = Coordinate(fields[1]);
        int right = Coordinate(fields[2]), bottom = Coordinate(fields[3]);
        boxes.push_back(QRect(QPoint(std::min(left, right), std::min(top, bottom)),
                              QPoint(std::max(left, right), std::max(top, bottom))));
    }
    return boxes;
}

std::vector<QRect> ScaledBoxes(const std::vector<QRect>& boxes, double scale) {
    std::vector<QRect> scaled;
    for (const QRect& box : boxes) {
        // Outward, not rounded: no pixel holding part of a box may stay.
        const int left = static_cast<int>(std::floor(box.left() * scale)) - 1;
        const int top = static_cast<int>(std::floor(box.top() * scale)) - 1;
        const int right = static_cast<int>(std::ceil((box.right() + 1) * scale));
        const int bottom = static_cast<int>(std::ceil((box.bottom() + 1) * scale));
        scaled.push_back(QRect(QPoint(left, top), QPoint(right, bottom)));
    }
    return scaled;
}

bool BurnRedactions(const std::string& stored, const std::vector<QRect>& boxes, std::string& out) {
    QImage page = imaging::DecodeImage(stored);
    if (page.isNull()) return false;
    const bool bitonal = page.depth() == 1;
    const bool grey = bitonal || page.isGrayscale();
    QImage work = page.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    {
        QPainter painter(&work);
        for (const QRect& box : boxes) {
            QRect inside = box.intersected(work.rect());
            if (!inside.isEmpty()) painter.fillRect(inside, Qt::black);
        }
    }
    work.setDotsPerMeterX(page.dotsPerMeterX());
    work.setDotsPerMeterY(page.dotsPerMeterY());
    if (bitonal) {
        QImage mono = work.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
        mono.setDotsPerMeterX(page.dotsPerMeterX());
        mono.setDotsPerMeterY(page.dotsPerMeterY());
        out = imaging::EncodeG4Tiff({mono});
    } else if (stored.rfind("\xff\xd8", 0) == 0) {
        out = imaging::EncodeJpeg(work, grey, 90);
    } else {
        out = imaging::EncodePng(work);
    }
    return !out.empty();
}

std::string OpaqueToUserSql(int userParam) {
    return "NOT EXISTS (SELECT 1 FROM user_projects u WHERE u.user_id = ?" +
           std::to_string(userParam) + " AND u.project_id = r.project_id AND (u.security & " +
           std::to_string(kRightsSeeThroughRedactions) + ") <> 0)";
}

std::string HiddenRedactionsSql(const std::string& row, int userParam) {
    const std::string opaque = OpaqueToUserSql(userParam);
    // A name is matched as a page names it and with either separator, as
    // HiddenRedactions matches it.
    const std::string redacted =
        " FROM annotations r JOIN pages s ON s.project_id = r.project_id AND s.seq = r.seq "
        "WHERE r.kind = 4 AND r.list_text <> '' AND s.image_file <> '' AND " +
        opaque;
    return "(CASE WHEN " + row +
           ".image_file = '' THEN EXISTS (SELECT 1 FROM annotations r WHERE r.project_id = " +
           row + ".project_id AND r.seq = " + row +
           ".seq AND r.kind = 4 AND r.list_text <> '' AND " + opaque + ") ELSE " + row +
           ".image_file IN (SELECT s.image_file" + redacted +
           " UNION SELECT REPLACE(s.image_file, '\\', '/')" + redacted +
           " UNION SELECT REPLACE(s.image_file, '/', '\\')" + redacted + ") END)";
}

std::string SearchableTextSql(int userParam) {
    return "NOT " + HiddenRedactionsSql("pages", userParam);
}

std::string WordsOutsideRedactions(const std::string& words, const std::vector<QRect>& boxes) {
    if (boxes.empty() || words.empty()) return words;
    std::string kept;
    for (const std::string& entry : Split(words, '^')) {
        std::vector<std::string> f = Split(entry, '|');
        bool covered = false;
        if (f.size() >= 5) {
            QRect word(Coordinate(f[1]), Coordinate(f[2]), std::max(1, Coordinate(f[3])),
                       std::max(1, Coordinate(f[4])));
            covered = std::any_of(boxes.begin(), boxes.end(),
                                  [&word](const QRect& box) { return box.intersects(word); });
        }
        if (covered) continue;
        if (!kept.empty()) kept.push_back('^');
        kept += entry;
    }
    return kept;
}

}  // namespace docserver
