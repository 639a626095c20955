#include "demo/demo_database.h"

#include <sqlite3.h>

#include <stdexcept>

#include "engine/stored_text.h"
#include "engine/system_init.h"
#include "imaging/page_typesetter.h"

namespace docserver::demo {

namespace {

class Database {
  public:
    explicit Database(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
            const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw std::runtime_error("cannot open " + path + ": " + message);
        }
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void Exec(const char* sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "unknown error";
            sqlite3_free(error);
            throw std::runtime_error(message);
        }
    }
    sqlite3* Handle() const { return db_; }

  private:
    sqlite3* db_ = nullptr;
};

class Statement {
  public:
    Statement(Database& db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db.Handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db.Handle()));
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int i, long long value) {
        sqlite3_bind_int64(stmt_, i, value);
        return *this;
    }
    // Demo texts are Windows-1252, the database's are UTF-8.
    Statement& Bind(int i, const std::string& value) {
        const std::string stored = StoredFromWire(value);
        sqlite3_bind_text(stmt_, i, stored.data(), static_cast<int>(stored.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    void Run() {
        if (sqlite3_step(stmt_) != SQLITE_DONE) {
            const std::string message = sqlite3_errmsg(db_.Handle());
            sqlite3_reset(stmt_);
            throw std::runtime_error(message);
        }
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }

  private:
    Database& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

void WriteProject(Database& db, long long id, const DemoProject& project) {
    Statement(db,
              "INSERT INTO projects (project_id, name, description, restriction, bndry_3rd_party, "
              "full_text) VALUES (?, ?, ?, ?, ?, ?)")
        .Bind(1, id)
        .Bind(2, project.name)
        .Bind(3, project.description)
        .Bind(4, project.restriction)
        .Bind(5, project.confinedLevel)
        .Bind(6, project.fullText)
        .Run();
    Statement level(db,
                    "INSERT INTO boundary_levels (project_id, position, level, description, "
                    "icon, flag_code) VALUES (?, ?, ?, ?, ?, ?)");
    for (std::size_t i = 0; i < project.levels.size(); ++i) {
        const auto& l = project.levels[i];
        level.Bind(1, id)
            .Bind(2, static_cast<long long>(i + 1))
            .Bind(3, l.level)
            .Bind(4, l.description)
            .Bind(5, std::to_string(l.icon))
            .Bind(6, static_cast<unsigned char>(l.flag))
            .Run();
    }
    Statement field(db,
                    "INSERT INTO info_fields (project_id, position, value, description) "
                    "VALUES (?, ?, 1, ?)");
    for (std::size_t i = 0; i < project.infoFields.size(); ++i) {
        field.Bind(1, id)
            .Bind(2, static_cast<long long>(i + 1))
            .Bind(3, project.infoFields[i])
            .Run();
    }
    Statement page(db,
                   "INSERT INTO pages (project_id, seq, image_key, bndry_level, restricted, "
                   "placeholder, image_file, original_file, doc_date, ocr_text, word_list, "
                   "image_width, image_height, image_dpi_x, image_dpi_y, rotation) "
                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Statement info(db,
                   "INSERT INTO page_info (project_id, seq, position, value) VALUES (?, ?, ?, ?)");
    for (std::size_t i = 0; i < project.pages.size(); ++i) {
        const auto& p = project.pages[i];
        const long long seq = static_cast<long long>(i + 1);
        page.Bind(1, id)
            .Bind(2, seq)
            .Bind(3, p.key)
            .Bind(4, p.level)
            .Bind(5, p.restricted ? 1 : 0)
            .Bind(6, p.placeholder ? 1 : 0)
            .Bind(7, p.imageFile)
            .Bind(8, p.originalFile)
            .Bind(9, p.date)
            .Bind(10, p.content ? p.content->ocrText : std::string())
            .Bind(11, p.content ? imaging::FormatWordList(p.content->words) : std::string())
            // Images are made at the stored resolution; the server need not
            // decode one to learn its size.
            .Bind(12, p.imageFile.empty() ? 0 : imaging::PagePixels(p.size).width())
            .Bind(13, p.imageFile.empty() ? 0 : imaging::PagePixels(p.size).height())
            .Bind(14, p.imageFile.empty() ? 0 : imaging::kStoredDpi)
            .Bind(15, p.imageFile.empty() ? 0 : imaging::kStoredDpi)
            .Bind(16, p.rotation)
            .Run();
        for (std::size_t f = 0; f < p.info.size(); ++f) {
            info.Bind(1, id)
                .Bind(2, seq)
                .Bind(3, static_cast<long long>(f + 1))
                .Bind(4, p.info[f])
                .Run();
        }
    }
    Statement description(db,
                          "INSERT INTO folder_descriptions (project_id, seq, level, description) "
                          "VALUES (?, ?, ?, ?)");
    for (const auto& d : project.descriptions) {
        description.Bind(1, id)
            .Bind(2, static_cast<long long>(d.page + 1))
            .Bind(3, d.level)
            .Bind(4, d.description)
            .Run();
    }
    Statement tag(db,
                  "INSERT INTO tags (project_id, tag_id, name, palette_position) "
                  "VALUES (?, ?, ?, ?)");
    for (std::size_t t = 0; t < project.tags.size(); ++t) {
        tag.Bind(1, id).Bind(2, static_cast<long long>(t + 1)).Bind(3, project.tags[t]);
        if (static_cast<int>(t) < project.paletteSize) tag.Bind(4, static_cast<long long>(t + 1));
        tag.Run();
    }
    Statement tagged(db, "INSERT INTO page_tags (project_id, seq, tag_id) VALUES (?, ?, ?)");
    for (const auto& [pageIndex, tagIndex] : project.pageTags) {
        tagged.Bind(1, id)
            .Bind(2, static_cast<long long>(pageIndex + 1))
            .Bind(3, static_cast<long long>(tagIndex + 1))
            .Run();
    }
    Statement annotations(
        db, "INSERT INTO annotations (project_id, seq, kind, list_text) VALUES (?, ?, ?, ?)");
    for (const auto& a : project.annotations) {
        annotations.Bind(1, id)
            .Bind(2, static_cast<long long>(a.page + 1))
            .Bind(3, a.kind)
            .Bind(4, a.listText)
            .Run();
    }
}

}  // namespace

void WriteDemoSystem(const std::string& dir, const DemoSystem& demo) {
    if (demo.users.empty()) throw std::runtime_error("a demo system needs a user");
    // The first user is the one a fresh system starts with.
    const DemoUser& first = demo.users.front();
    std::string error;
    if (!docserver::InitSystem(dir, first.id, first.password, error)) {
        throw std::runtime_error(error);
    }
    Database db(dir + "/system.db");
    db.Exec("PRAGMA foreign_keys = ON");
    db.Exec("BEGIN");
    try {
        // Two batch printers; their folders are made with the first job.
        db.Exec(
            "INSERT OR IGNORE INTO batch_printers (name, directory, color, description) VALUES "
            "('Floor 2 Laser', 'batch/floor2', 0, 'Black and white, second floor'), "
            "('Colour Copier', 'batch/colour', 1, 'Colour, copy room')");
        for (std::size_t i = 0; i < demo.projects.size(); ++i) {
            WriteProject(db, static_cast<long long>(i + 1), demo.projects[i]);
        }
        // INSERT OR REPLACE keeps the first user's row in step with the demo.
        Statement user(db,
                       "INSERT OR REPLACE INTO users (user_id, password, full_name, "
                       "system_security) VALUES (?, ?, ?, ?)");
        Statement access(db,
                         "INSERT INTO user_projects (user_id, project_id, security, first_key, "
                         "last_key) VALUES (?, (SELECT project_id FROM projects WHERE name = ?), "
                         "?, ?, ?)");
        for (const auto& u : demo.users) {
            user.Bind(1, u.id)
                .Bind(2, u.password)
                .Bind(3, u.fullName)
                .Bind(4, u.systemSecurity)
                .Run();
            for (const auto& p : u.projects) {
                access.Bind(1, u.id)
                    .Bind(2, p.project)
                    .Bind(3, p.security)
                    .Bind(4, p.firstKey)
                    .Bind(5, p.lastKey)
                    .Run();
            }
        }
        // The demo lets users remember their logins and change their passwords.
        db.Exec("UPDATE system_settings SET value = '136' WHERE name = 'ExtSystemFlags'");
        db.Exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

}  // namespace docserver::demo
