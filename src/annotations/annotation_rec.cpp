#include "annotations/annotation_rec.h"

#include <algorithm>

#include "foundation/big_string.h"
#include "foundation/fields.h"
#include "platform/leading_number.h"

int MaxAnnotationsPerPage(AnnotationKind kind) {
    return KindFacts(kind).maxPerPage;
}

namespace TalqClientAPI_Header {
namespace {

std::int32_t Number(const std::string& token) {
    return platform::LeadingInteger(token);
}

void AddNumber(std::string& out, std::int32_t value) {
    out += std::to_string(value);
    out += kFieldSep;
}

}  // namespace

std::string AnnotationStamp(const std::string& label, const std::string& userId,
                            const QDate& date) {
    std::string day = date.toString(QStringLiteral("MM/dd/yyyy")).toStdString();
    return label + kStampSep + userId + kStampSep + day;
}

std::string StampLabel(const std::string& stamp) {
    return mVBUtil::GetField(std::string(1, kStampSep), stamp, 1);
}

void ParseAnnotationList(const std::string& text, AnnotationList& list, int& count) {
    const std::string recordSep(1, kRecordSep), fieldSep(1, kFieldSep), listSep(1, kListSep);
    list.clear();
    int pos = 1;
    // The count is 16-bit where it is kept: stop there rather than wrap.
    while (pos != -1 && static_cast<int>(list.size()) < kMaxAnnotationListCount) {
        std::string record = mVBUtil::NextToken(recordSep, text, pos);
        if (record.empty()) break;
        AnnotationRec r;
        int fp = 1;
        auto next = [&]() { return mVBUtil::NextToken(fieldSep, record, fp); };
        r.Left = Number(next());
        r.Top = Number(next());
        r.Right = Number(next());
        r.Bottom = Number(next());
        r.Reserved4 = Number(next());
        std::string font = next();
        if (!font.empty()) {
            r.FontSize = Number(mVBUtil::GetField(listSep, font, 1));
            r.FontStyle = Number(mVBUtil::GetField(listSep, font, 2));
            r.Font7 = Number(mVBUtil::GetField(listSep, font, 3));
            r.Font8 = Number(mVBUtil::GetField(listSep, font, 4));
            r.FontName = mVBUtil::GetField(listSep, font, 5);
        }
        r.LabelFlag = Number(next());
        r.Field11 = Number(next());
        r.Color = Number(next());
        r.Rotation = Number(next());
        r.Color2 = Number(next());
        r.Stamp = next();
        r.Text = next();
        list.push_back(std::move(r));
    }
    count = static_cast<int>(list.size());
}

void ParseKindList(const std::string& text, KindList& into) {
    if (!text.empty()) ParseAnnotationList(text, into.list, into.count);
}

void BuildAnnotationList(int count, const AnnotationList& list, std::string& text) {
    const int n = std::min<std::size_t>(std::max(count, 0), list.size());
    clsBigString out;
    std::string record;
    for (int i = 0; i < n; ++i) {
        const AnnotationRec& r = list[i];
        record.clear();
        if (i > 0) record += kRecordSep;
        AddNumber(record, r.Left);
        AddNumber(record, r.Top);
        AddNumber(record, r.Right);
        AddNumber(record, r.Bottom);
        AddNumber(record, r.Reserved4);
        if (r.FontSize > 0) {
            record += std::to_string(r.FontSize) + kListSep + std::to_string(r.FontStyle) +
                      kListSep + std::to_string(r.Font7) + kListSep + std::to_string(r.Font8) +
                      kListSep + r.FontName;
        }
        record += kFieldSep;
        AddNumber(record, r.LabelFlag);
        AddNumber(record, r.Field11);
        AddNumber(record, r.Color);
        AddNumber(record, r.Rotation);
        AddNumber(record, r.Color2);
        record += mVBUtil::TrimAtNull(r.Stamp);
        record += kFieldSep;
        std::string note = mVBUtil::TrimAtNull(r.Text);
        std::replace(note.begin(), note.end(), ',', kCommaSub);
        record += note;
        out.AddStr(record);
    }
    text = out.GetStr();
}

}  // namespace TalqClientAPI_Header
