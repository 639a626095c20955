#pragma once
// The project tree's requests and replies, and what the tree needs of its
// host window. The tree reads each boundary level in pages of 200 entries
// around a key, or the page after or before one.

#include <cstdint>
#include <string>
#include <vector>

#include "navigation/query_api.h"

namespace navigation {

enum class ScrollDirection { Around, After, Before };

// "TALQGetScroll" (Around), "TALQGetNextScroll", "TALQGetPrevScroll" for the
// key at the level (0 = pages), 200 entries with their texts.
std::string ProjectTreeRequest(QueryApi& api, ScrollDirection direction, const std::string& key,
                               std::int32_t level);

struct ProjectTreeEntry {
    std::string key;
    std::string text;  // "" when the server sent none
};

struct ProjectTreeScrollReply {
    bool moreBefore = false;
    bool moreAfter = false;
    std::vector<ProjectTreeEntry> entries;
};

// Field 1 is the paging marker and never an entry; empty fields are skipped.
ProjectTreeScrollReply ParseProjectTreeScrollReply(const std::string& reply);

// The level number and picture (1-based) of tree position p, 0-based in the
// project's level list; positions from count on are the page level (0, 1).
struct ProjectTreeLevel {
    std::int32_t level = 0;
    int picture = 1;
};
ProjectTreeLevel ProjectTreeLevelAt(const std::string& levels, const std::string& icons, int count,
                                    int p);

// Node key of an entry at tree position p: char(p) followed by the entry key.
std::string ProjectTreeNodeKey(int p, const std::string& entryKey);

// What the tree window asks of the main window that hosts it.
class ProjectTreeHost : public QueryApi {
  public:
    virtual bool IsRequestInProcess() = 0;
    virtual int BndryNbr() = 0;
    virtual std::string BndryLvls() = 0;
    virtual std::string BndryIcons() = 0;
    // The project's first key; false when there is none.
    virtual bool FirstKey(std::string& key) = 0;
    virtual std::string GetFolderDescription(const std::string& key, std::int32_t level) = 0;
    virtual bool PutFolderDescription(const std::string& key, std::int32_t level,
                                      const std::string& description) = 0;
    virtual std::string CurrentImageKey() = 0;
    virtual std::int32_t AnnotFeatureMask() = 0;
    virtual void SetProjectViewOpen(bool open) = 0;
    virtual bool DisplayImage(const std::string& key) = 0;
};

}  // namespace navigation
