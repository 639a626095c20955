// The field helpers and the wildcard match over arbitrary texts: input is
// delimiter, text and pattern separated by character 0, then a field number.
#include <cstdlib>
#include <string>

#include "foundation/fields.h"
#include "foundation/text_match.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    int n = static_cast<int>(static_cast<std::int8_t>(data[0]));
    std::string in(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t a = in.find('\0');
    std::string delim = in.substr(0, std::min<std::size_t>(a, 4));
    std::string rest = a == std::string::npos ? std::string() : in.substr(a + 1);
    std::size_t b = rest.find('\0');
    std::string text = rest.substr(0, b);
    std::string pattern = b == std::string::npos ? std::string() : rest.substr(b + 1);

    int count = mVBUtil::CountFields(delim, text);
    if (count < 0) abort();
    std::string field = mVBUtil::GetField(delim, text, n);
    std::string tail = mVBUtil::GetFieldRest(delim, text, n);
    if (tail.size() > text.size() || field.size() > text.size()) abort();
    std::string changed = mVBUtil::SetField(delim, text, pattern, n);
    if (!delim.empty() && n >= 1 && n < 64 && pattern.find(delim) == std::string::npos &&
        delim.size() == 1 && mVBUtil::GetField(delim, changed, n) != pattern)
        abort();
    if (delim.size() == 1) {
        // Rising SetField calls, one per field of the pattern.
        std::string built;
        mVBUtil::FieldBuilder builder(delim[0]);
        int at = 1;
        for (int k = 1; at != -1; k += 1 + (k & 3)) {
            std::string value = mVBUtil::NextToken(std::string(1, '\x01'), pattern, at);
            built = mVBUtil::SetField(delim, built, value, k);
            builder.Set(k, value);
        }
        if (builder.Text() != built) abort();
    }
    int position = n;
    for (int steps = 0; position != -1 && steps <= static_cast<int>(text.size()) + 1; ++steps)
        mVBUtil::NextToken(delim, text, position);
    if (position != -1) abort();
    mVBUtil::TrimAtNull(in);
    mVBUtil::TrimAtLineEnd(in);
    mVBUtil::TrimSpaces(text);
    mVBUtil::WildcardMatch(text, pattern);
    mVBUtil::CompareTextNoCase(text, pattern);
    return 0;
}
