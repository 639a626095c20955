#include "demo/demo_system.h"

#include <QDir>

#include <cstdio>
#include <stdexcept>

#include "demo/demo_annotations.h"
#include "demo/demo_text.h"
#include "imaging/original_files.h"
#include "imaging/page_files.h"

namespace docserver::demo {

namespace {

using imaging::PageColour;
using imaging::PageSize;

struct ProjectPlan {
    std::string name;
    std::string description;
    std::string keyPrefix;
    int restriction = 0;
    int pages = 0;
    std::vector<std::string> infoFields;
};

struct DocumentPlan {
    int firstPage = 0;
    int pageCount = 0;
    std::string title;
    std::string date;
    std::string type;
    std::string author;
    std::string department;
    PageSize size = PageSize::Letter;
    PageColour colour = PageColour::Bitonal;
    bool placeholder = false;
    enum class Original { None, Pdf, Tiff, Text } original = Original::None;
};

std::string Key(const std::string& prefix, int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%07d", number);
    return prefix + digits;
}

void MakeDirFor(const std::string& dir, const std::string& relative) {
    const auto slash = relative.rfind('/');
    const std::string folder = dir + "/" + relative.substr(0, slash);
    if (!QDir().mkpath(QString::fromStdString(folder))) {
        throw std::runtime_error("cannot create " + folder);
    }
}

void Require(bool ok, const std::string& path) {
    if (!ok) throw std::runtime_error("cannot write " + path);
}

// The dates of the system are YYYYMMDD; the text generator gives MM/DD/YYYY.
std::string StoredDate(const std::string& us) {
    return us.substr(6, 4) + us.substr(0, 2) + us.substr(3, 2);
}

imaging::PageText PageTextFor(DemoRandom& random, const DocumentPlan& doc, int index,
                              const std::string& stamp) {
    imaging::PageText text;
    text.heading = index == 0 ? doc.title
                              : doc.title + " (page " + std::to_string(index + 1) + " of " +
                                    std::to_string(doc.pageCount) + ")";
    const int paragraphs =
        doc.size == PageSize::LetterLandscape ? random.Between(2, 3) : random.Between(3, 6);
    if (index == 0) {
        text.paragraphs.push_back("From: " + doc.author + ", " + doc.department +
                                  ". Date: " + doc.date + ".");
    }
    for (int i = 0; i < paragraphs; ++i)
        text.paragraphs.push_back(Paragraph(random, random.Between(2, 5)));
    text.stamp = stamp;
    return text;
}

std::shared_ptr<PageContent> ContentOf(const imaging::RenderedPage& page) {
    auto content = std::make_shared<PageContent>();
    content->words = page.words;
    content->ocrText = page.ocrText;
    return content;
}

std::string ImageName(const std::string& project, int seq, const std::string& key,
                      PageColour colour) {
    char folder[16];
    std::snprintf(folder, sizeof folder, "%03d", seq / 1000);
    return "images/" + project + "/" + folder + "/" + key +
           (colour == PageColour::Bitonal ? ".tif" : ".jpg");
}

void WriteImage(const std::string& dir, const std::string& relative, const QImage& image,
                PageColour colour) {
    MakeDirFor(dir, relative);
    const std::string path = dir + "/" + relative;
    if (colour == PageColour::Bitonal) {
        Require(imaging::WriteG4Tiff({image}, path), path);
    } else {
        Require(
            imaging::WriteWholeFile(path, imaging::EncodeJpeg(image, colour == PageColour::Grey)),
            path);
    }
}

// Splits the pages of a project into boxes, folders and documents.
std::vector<DocumentPlan> PlanDocuments(DemoRandom& random, int pages, std::vector<int>& levels) {
    std::vector<DocumentPlan> docs;
    levels.assign(static_cast<std::size_t>(pages), 0);
    int page = 0;
    int docNumber = 0;
    while (page < pages) {
        levels[page] = kBoxLevel;
        const int folders = random.Between(3, 6);
        for (int f = 0; f < folders && page < pages; ++f) {
            levels[page] = std::max(levels[page], kFolderLevel);
            const int documents = random.Between(3, 8);
            for (int d = 0; d < documents && page < pages; ++d) {
                DocumentPlan doc;
                doc.firstPage = page;
                // Mostly short documents, now and then a long one.
                doc.pageCount = random.Chance(15) ? random.Between(8, 20) : random.Between(1, 6);
                doc.pageCount = std::min(doc.pageCount, pages - page);
                doc.title = DocumentTitle(random);
                doc.date = DocumentDate(random);
                doc.type = random.Pick(DocumentTypes());
                doc.author = PersonName(random);
                doc.department = random.Pick(Departments());
                const int shape = random.Below(100);
                doc.size = shape < 8 ? PageSize::Legal
                                     : (shape < 13 ? PageSize::LetterLandscape : PageSize::Letter);
                const int colour = random.Below(100);
                doc.colour = colour < 4 ? PageColour::Grey
                                        : (colour < 7 ? PageColour::Colour : PageColour::Bitonal);
                doc.placeholder = random.Chance(3);
                if (!doc.placeholder && random.Chance(18)) {
                    doc.original = static_cast<DocumentPlan::Original>(1 + (++docNumber % 3));
                }
                levels[page] = std::max(levels[page], kDocumentLevel);
                page += doc.pageCount;
                docs.push_back(std::move(doc));
            }
        }
    }
    // Every kind of page the viewer has to cope with appears at least once,
    // also in a small project.
    if (docs.size() >= 6) {
        docs[1].size = PageSize::Legal;
        docs[2].size = PageSize::LetterLandscape;
        docs[3].colour = PageColour::Grey;
        docs[4].colour = PageColour::Colour;
        docs[5].placeholder = true;
        docs[5].original = DocumentPlan::Original::None;
        for (int i = 0; i < 3; ++i) {
            auto& doc = docs[docs.size() - 1 - static_cast<std::size_t>(i)];
            if (!doc.placeholder) doc.original = static_cast<DocumentPlan::Original>(1 + i);
        }
    }
    return docs;
}

std::string OriginalName(const std::string& project, const std::string& key,
                         DocumentPlan::Original kind) {
    const char* ext = kind == DocumentPlan::Original::Pdf
                          ? ".pdf"
                          : (kind == DocumentPlan::Original::Tiff ? ".tif" : ".txt");
    return "originals/" + project + "/" + key + ext;
}

// Shared images of a large project: rendered once, pointed at by many pages.
struct SharedImage {
    std::string file;
    PageSize size;
    PageColour colour;
    std::shared_ptr<const PageContent> content;
};

std::vector<SharedImage> RenderSharedImages(DemoRandom& random, const std::string& dir,
                                            const std::string& project) {
    std::vector<SharedImage> shared;
    for (int i = 0; i < kSharedImages; ++i) {
        DocumentPlan doc;
        doc.title = DocumentTitle(random);
        doc.date = DocumentDate(random);
        doc.author = PersonName(random);
        doc.department = random.Pick(Departments());
        doc.pageCount = 1;
        doc.size = i % 8 == 3 ? PageSize::Legal
                              : (i % 8 == 5 ? PageSize::LetterLandscape : PageSize::Letter);
        doc.colour =
            i == 7 ? PageColour::Grey : (i == 15 ? PageColour::Colour : PageColour::Bitonal);
        char name[32];
        std::snprintf(name, sizeof name, "S%02d", i + 1);
        const auto rendered = imaging::TypesetPage(
            PageTextFor(random, doc, 0, project + " " + name), doc.size, doc.colour);
        const std::string file = "images/" + project + "/shared/" + name +
                                 (doc.colour == PageColour::Bitonal ? ".tif" : ".jpg");
        WriteImage(dir, file, rendered.image, doc.colour);
        shared.push_back({file, doc.size, doc.colour, ContentOf(rendered)});
    }
    return shared;
}

DemoProject BuildProject(DemoRandom& random, const std::string& dir, const ProjectPlan& plan,
                         bool shareImages) {
    DemoProject project;
    project.name = plan.name;
    project.description = plan.description;
    project.restriction = plan.restriction;
    project.levels = {{kBoxLevel, "Box", 'B', 1},
                      {kFolderLevel, "Folder", 'F', 2},
                      {kDocumentLevel, "Document", 'D', 3}};
    // A page list handed in from outside (MULTVIEW) is a set of documents.
    project.confinedLevel = kDocumentLevel;
    project.infoFields = plan.infoFields;

    project.tags = {"Responsive", "Privileged", "Hot", "Confidential", "Needs Review"};
    project.paletteSize = 3;

    std::vector<int> levels;
    const auto docs = PlanDocuments(random, plan.pages, levels);
    const auto shared =
        shareImages ? RenderSharedImages(random, dir, plan.name) : std::vector<SharedImage>();
    int boxNumber = 0;
    int originalsShared = 0;
    project.pages.reserve(static_cast<std::size_t>(plan.pages));
    for (const auto& doc : docs) {
        std::vector<imaging::PageText> texts;
        std::vector<QImage> scans;
        for (int i = 0; i < doc.pageCount; ++i) {
            const int seq = doc.firstPage + i;
            DemoPage page;
            page.key = Key(plan.keyPrefix, seq + 1);
            page.level = levels[seq];
            page.date = StoredDate(doc.date);
            page.size = doc.size;
            page.colour = doc.colour;
            page.placeholder = doc.placeholder;
            page.restricted = !doc.placeholder && random.Chance(2);
            page.info = {doc.type, doc.author, doc.department};
            page.info.resize(plan.infoFields.size());
            if (page.level >= kFolderLevel) {
                project.descriptions.push_back({seq, kFolderLevel, FolderDescription(random)});
            }
            if (page.level == kBoxLevel) {
                project.descriptions.push_back(
                    {seq, kBoxLevel,
                     "Box " + std::to_string(++boxNumber) + ": " + doc.department + " records"});
            }
            const auto text = PageTextFor(random, doc, i, page.key);
            if (doc.placeholder) {
                // No scan exists: the OCR text stands for the page.
                auto content = std::make_shared<PageContent>();
                content->ocrText = "Placeholder for " + doc.title + "\r\n";
                for (const auto& p : text.paragraphs) content->ocrText += p + "\r\n";
                page.content = std::move(content);
            } else if (!shared.empty()) {
                const SharedImage& image = shared[static_cast<std::size_t>(seq) % shared.size()];
                page.imageFile = image.file;
                page.size = image.size;
                page.colour = image.colour;
                page.content = image.content;
            } else {
                const auto rendered = imaging::TypesetPage(text, doc.size, doc.colour);
                page.imageFile = ImageName(plan.name, seq, page.key, doc.colour);
                WriteImage(dir, page.imageFile, rendered.image, doc.colour);
                page.content = ContentOf(rendered);
                if (doc.original == DocumentPlan::Original::Tiff) scans.push_back(rendered.image);
            }
            if (random.Chance(6)) {
                project.pageTags.push_back(
                    {seq, random.Below(static_cast<int>(project.tags.size()))});
            }
            texts.push_back(text);
            project.pages.push_back(std::move(page));
        }
        // A large project keeps only a few originals: they are not what it
        // measures.
        if (doc.original == DocumentPlan::Original::None ||
            (!shared.empty() && ++originalsShared > 6)) {
            continue;
        }
        const std::string firstKey = project.pages[static_cast<std::size_t>(doc.firstPage)].key;
        const std::string name = OriginalName(plan.name, firstKey, doc.original);
        const std::string path = dir + "/" + name;
        MakeDirFor(dir, name);
        switch (doc.original) {
            case DocumentPlan::Original::Pdf:
                Require(imaging::WriteTextPdf(texts, PageSize::Letter, path), path);
                break;
            case DocumentPlan::Original::Tiff:
                if (scans.empty()) {
                    for (const auto& t : texts) {
                        scans.push_back(
                            imaging::TypesetPage(t, doc.size, PageColour::Bitonal).image);
                    }
                }
                Require(imaging::WriteG4Tiff(scans, path), path);
                break;
            case DocumentPlan::Original::Text: {
                std::string body;
                for (const auto& t : texts) {
                    body += t.heading + "\r\n\r\n";
                    for (const auto& p : t.paragraphs) body += p + "\r\n\r\n";
                }
                Require(imaging::WriteWholeFile(path, body), path);
                break;
            }
            case DocumentPlan::Original::None:
                break;
        }
        for (int i = 0; i < doc.pageCount; ++i) {
            project.pages[static_cast<std::size_t>(doc.firstPage + i)].originalFile = name;
        }
    }
    return project;
}

}  // namespace

DemoSystem GenerateDemoSystem(const std::string& dir, const DemoOptions& options) {
    DemoRandom random(options.seed);
    const int pages =
        options.pages > 0 ? options.pages : (options.large ? kLargePages : kDefaultPages);
    DemoSystem system;
    system.projects.push_back(BuildProject(random, dir,
                                           {"ACME",
                                            "Acme Supply litigation documents",
                                            "ACM",
                                            0,
                                            pages,
                                            {"Doc Type", "Author", "Department"}},
                                           options.large));
    // The main project searches its notes, OCR text and dates and carries a
    // reviewer's marks; the second keeps neither, so both paths show.
    system.projects.front().fullText = 1 | 4 | 8;
    MarkUpProject(system.projects.front(), dir);
    system.projects.push_back(BuildProject(random, dir,
                                           {"HARBOR",
                                            "Harbor survey files",
                                            "HBR",
                                            0x2,
                                            std::max(12, pages / 12),
                                            {"Doc Type", "Author"}},
                                           false));

    const auto& main = system.projects.front().pages;
    const std::string& midKey = main[main.size() / 2].key;
    system.users.push_back({"admin",
                            "admin",
                            "System Administrator",
                            -1,
                            {{"ACME", kSecurityAll, "", ""}, {"HARBOR", kSecurityAll, "", ""}}});
    // Sees redactions but may not change them, stays inside one document at
    // a time, and reaches only the first half of the main project.
    system.users.push_back({"reviewer",
                            "review",
                            "Contract Reviewer",
                            0,
                            {{"ACME", kSecurityViewRedactions | kSecurityConfinedNavigation,
                              main.front().key, midKey}}});
    return system;
}

}  // namespace docserver::demo
