// A page's list text as the server hands it back.
#include <cstdlib>
#include <string>

#include "annotations/annotation_rec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    AnnotationList list;
    int count = -1;
    TalqClientAPI_Header::ParseAnnotationList(text, list, count);
    if (count != static_cast<int>(list.size())) abort();
    std::string built;
    TalqClientAPI_Header::BuildAnnotationList(count, list, built);
    AnnotationList again;
    int againCount = -1;
    TalqClientAPI_Header::ParseAnnotationList(built, again, againCount);
    std::string rebuilt;
    TalqClientAPI_Header::BuildAnnotationList(againCount, again, rebuilt);
    if (rebuilt != built) abort();
    for (const AnnotationRec& r : list) TalqClientAPI_Header::StampLabel(r.Stamp);
    return 0;
}
