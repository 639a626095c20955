#pragma once
// A realistic, deterministic demo system: users, projects, a tree of boxes,
// folders and documents, page images as a scanning station stores them, and
// original files for some documents.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "imaging/page_typesetter.h"

namespace docserver::demo {

struct DemoOptions {
    std::uint64_t seed = 1;
    // Pages of the main project; 0 = the default size (several hundred), or
    // the large size when large is set.
    int pages = 0;
    // Tens of thousands of pages, which share a small set of rendered images
    // (each page keeps the words of the image it points to).
    bool large = false;
};

constexpr int kDefaultPages = 420;
constexpr int kLargePages = 30000;
constexpr int kSharedImages = 24;  // rendered images of a large project

struct DemoUserProject {
    std::string project;
    int security = 0;      // project security bits
    std::string firstKey;  // navigation range; both "" = the whole project
    std::string lastKey;
};

struct DemoUser {
    std::string id;
    std::string password;
    std::string fullName;
    int systemSecurity = 0;
    std::vector<DemoUserProject> projects;
};

struct DemoLevel {
    int level = 0;
    std::string description;
    char flag = 0;
    int icon = 0;
};

struct PageContent {
    std::vector<imaging::WordBox> words;
    std::string ocrText;
};

struct DemoPage {
    std::string key;
    int level = 0;  // highest boundary level of the units that start here
    bool restricted = false;
    bool placeholder = false;  // no image: the OCR text stands for the page
    std::string imageFile;     // relative to the system directory
    std::string originalFile;  // relative; the document's original, if any
    std::string date;          // of the document, YYYYMMDD
    int rotation = 0;          // quarter turns clockwise the viewer applies
    imaging::PageSize size = imaging::PageSize::Letter;
    imaging::PageColour colour = imaging::PageColour::Bitonal;
    std::vector<std::string> info;  // one value per info field
    // The words and OCR text of the image; pages of a large project that
    // share an image share these too.
    std::shared_ptr<const PageContent> content;
};

struct DemoFolderDescription {
    int page = 0;  // index of the unit's first page
    int level = 0;
    std::string description;
};

// An annotation list of one kind on one page, in the list text the viewer
// saves (kind 1 sticky notes, 2 clips, 4 redactions, 8 highlights, 16 text
// notes, 64 markups).
struct DemoAnnotations {
    int page = 0;  // index in the project's pages
    int kind = 0;
    std::string listText;
};

struct DemoProject {
    std::string name;
    std::string description;
    int restriction = 0;
    // Full-text bits: 1 notes and annotations, 4 OCR text, 8 document dates.
    int fullText = 0;
    std::vector<DemoLevel> levels;  // coarsest first, the document level last
    // The level a user with the confined-navigation right stays inside (the
    // third-party level).
    int confinedLevel = 0;
    std::vector<std::string> infoFields;
    std::vector<DemoPage> pages;  // in key order
    std::vector<DemoFolderDescription> descriptions;
    std::vector<std::string> tags;  // the pool; the first paletteSize form the palette
    int paletteSize = 0;
    std::vector<std::pair<int, int>> pageTags;  // page index, tag index
    std::vector<DemoAnnotations> annotations;
};

struct DemoSystem {
    std::vector<DemoUser> users;
    std::vector<DemoProject> projects;
};

// Levels of the demo projects; a unit of a level holds whole units of the
// lower ones.
constexpr int kDocumentLevel = 1;
constexpr int kFolderLevel = 2;
constexpr int kBoxLevel = 3;

// Plans the system and writes its page images and original files under dir
// (images/ and originals/). Throws std::runtime_error when a file cannot be
// written.
DemoSystem GenerateDemoSystem(const std::string& dir, const DemoOptions& options);

}  // namespace docserver::demo

namespace docserver::demo {

// Project security bits the demo hands out.
constexpr int kSecurityAll = 0x1;
constexpr int kSecurityViewRedactions = 0x80;
constexpr int kSecurityConfinedNavigation = 0x40000;

}  // namespace docserver::demo
