#include "annotations/tag_collections.h"

#include "foundation/fields.h"

namespace annotations {

std::string CleanTagName(const std::string& answer) {
    std::string name = mVBUtil::TrimSpaces(answer);
    if (name.size() > kTagNameMaxLength) name.resize(kTagNameMaxLength);
    // Cutting may leave blanks at the new end.
    return mVBUtil::TrimSpaces(name);
}

std::string TagNameFault(const std::string& name) {
    for (unsigned char c : name) {
        if (c == ',') return "A Tag Collection name cannot hold a comma (,).";
        if (c == '|') return "A Tag Collection name cannot hold a bar (|).";
        if (c < 32)
            return "A Tag Collection name cannot hold control characters such as tabs or line "
                   "breaks.";
    }
    return "";
}

}  // namespace annotations
