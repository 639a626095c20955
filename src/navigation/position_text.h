#pragma once
// Where the current document stands among the units of every boundary level
// ("Folder: 3 of 10  Document: 41 of 1290  "). Each level keeps the server's
// list of up to 20000 unit keys around the document that first asked for
// it, so moving inside a stored list costs no request.

#include <cstdint>
#include <string>
#include <vector>

#include "navigation/query_api.h"

namespace navigation {

class DocumentPositionText {
  public:
    // Forgets every stored list and position; the next build asks again.
    void Clear();
    // The text for the document from docBeginKey to docEndKey; "" when a
    // request failed (the levels already read stay stored) or the project
    // has no levels.
    std::string BuildFullPositionText(QueryApi& api, int levelCount, const std::string& levels,
                                      const std::string& descs, const std::string& docBeginKey,
                                      const std::string& docEndKey);

  private:
    // One level's stored list and the document's position in it.
    struct LevelRecord {
        std::string docKey;  // the document begin key last computed for
        std::string firstKey, lastKey;
        // 0 the list is whole, 1 more after (or the position is unknown), 2
        // more before, 3 both.
        int flag = 0;
        std::int32_t m = 0;  // keys in the list
        std::int32_t n = 0;  // the document's position, 0 unknown
        std::vector<std::string> keys;
    };
    bool ReadLevel(QueryApi& api, const std::string& level, const std::string& docBeginKey,
                   LevelRecord& record);

    // Elsewhere: PositionCache (one record per level, then the document
    // record) and LevelKeyLists; sized by the project's level count.
    std::vector<LevelRecord> PositionCache;
    std::string lastDocBegin_, lastDocEnd_;
};

}  // namespace navigation
