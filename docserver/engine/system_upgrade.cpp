#include "system_upgrade.h"

#include <sqlite3.h>

#include <chrono>
#include <utility>
#include <vector>

#include "engine_text.h"
#include "platform/word_rule.h"
#include "stored_text.h"
#include "system_db.h"
#include "transaction.h"
#include "written_texts.h"

namespace docserver {
namespace {

// The OCR index keeps no copy of the texts (the pages hold them); its
// triggers hand the old text back when a row changes. The note index keeps
// the written texts it was given, so a row of it goes by its id alone.
// Words are runs of letters and digits; quotes, dashes and punctuation
// separate them. Every trigger is plain SQL, so any SQLite tool may change
// the tables.
constexpr const char* kIndexSql = R"SQL(
CREATE VIRTUAL TABLE IF NOT EXISTS ocr_index USING fts5(
    body, content = '', tokenize = 'unicode61 remove_diacritics 0');
CREATE VIRTUAL TABLE IF NOT EXISTS note_index USING fts5(
    body, tokenize = 'unicode61 remove_diacritics 0');
-- Annotation lists changed since the server last indexed their written
-- texts (written_texts.h), which it does before every notes search.
CREATE TABLE IF NOT EXISTS note_index_changes (row_id INTEGER PRIMARY KEY);

CREATE TRIGGER IF NOT EXISTS pages_ocr_insert AFTER INSERT ON pages
WHEN NEW.ocr_text <> '' BEGIN
    INSERT INTO ocr_index(rowid, body)
    VALUES ((NEW.project_id << 40) | (NEW.seq << 8), NEW.ocr_text);
END;
CREATE TRIGGER IF NOT EXISTS pages_ocr_delete AFTER DELETE ON pages
WHEN OLD.ocr_text <> '' BEGIN
    INSERT INTO ocr_index(ocr_index, rowid, body)
    VALUES ('delete', (OLD.project_id << 40) | (OLD.seq << 8), OLD.ocr_text);
END;
CREATE TRIGGER IF NOT EXISTS pages_ocr_update AFTER UPDATE OF project_id, seq, ocr_text ON pages
BEGIN
    INSERT INTO ocr_index(ocr_index, rowid, body)
    SELECT 'delete', (OLD.project_id << 40) | (OLD.seq << 8), OLD.ocr_text
    WHERE OLD.ocr_text <> '';
    INSERT INTO ocr_index(rowid, body)
    SELECT (NEW.project_id << 40) | (NEW.seq << 8), NEW.ocr_text WHERE NEW.ocr_text <> '';
END;
CREATE TRIGGER IF NOT EXISTS pages_image_changed AFTER UPDATE OF image_file ON pages
BEGIN
    UPDATE pages SET image_width = 0, image_height = 0, image_dpi_x = 0, image_dpi_y = 0
    WHERE project_id = NEW.project_id AND seq = NEW.seq;
END;

-- NOT IN rather than OR IGNORE: a conflict clause of the statement that
-- fires a trigger overrides the trigger's own.
CREATE TRIGGER IF NOT EXISTS annotations_note_insert AFTER INSERT ON annotations
WHEN NEW.kind IN (1, 4, 16) BEGIN
    INSERT INTO note_index_changes(row_id)
    SELECT id FROM (SELECT (NEW.project_id << 40) | (NEW.seq << 8) | NEW.kind AS id)
    WHERE id NOT IN (SELECT row_id FROM note_index_changes);
END;
CREATE TRIGGER IF NOT EXISTS annotations_note_delete AFTER DELETE ON annotations
WHEN OLD.kind IN (1, 4, 16) BEGIN
    INSERT INTO note_index_changes(row_id)
    SELECT id FROM (SELECT (OLD.project_id << 40) | (OLD.seq << 8) | OLD.kind AS id)
    WHERE id NOT IN (SELECT row_id FROM note_index_changes);
END;
CREATE TRIGGER IF NOT EXISTS annotations_note_update AFTER UPDATE ON annotations
BEGIN
    INSERT INTO note_index_changes(row_id)
    SELECT DISTINCT id FROM (
        SELECT (OLD.project_id << 40) | (OLD.seq << 8) | OLD.kind AS id WHERE OLD.kind IN (1, 4, 16)
        UNION ALL
        SELECT (NEW.project_id << 40) | (NEW.seq << 8) | NEW.kind WHERE NEW.kind IN (1, 4, 16))
    WHERE id NOT IN (SELECT row_id FROM note_index_changes);
END;

-- A description replaced by INSERT OR REPLACE fires no delete: the insert
-- drops what its row id held.
CREATE TRIGGER IF NOT EXISTS descriptions_index_insert AFTER INSERT ON folder_descriptions
WHEN NEW.level BETWEEN 0 AND 127 BEGIN
    DELETE FROM note_index
    WHERE rowid = (NEW.project_id << 40) | (NEW.seq << 8) | (128 + NEW.level);
    INSERT INTO note_index(rowid, body)
    VALUES ((NEW.project_id << 40) | (NEW.seq << 8) | (128 + NEW.level), NEW.description);
END;
CREATE TRIGGER IF NOT EXISTS descriptions_index_delete AFTER DELETE ON folder_descriptions
WHEN OLD.level BETWEEN 0 AND 127 BEGIN
    DELETE FROM note_index
    WHERE rowid = (OLD.project_id << 40) | (OLD.seq << 8) | (128 + OLD.level);
END;
CREATE TRIGGER IF NOT EXISTS descriptions_index_update AFTER UPDATE ON folder_descriptions
BEGIN
    DELETE FROM note_index
    WHERE rowid IN ((OLD.project_id << 40) | (OLD.seq << 8) | (128 + OLD.level),
                    (NEW.project_id << 40) | (NEW.seq << 8) | (128 + NEW.level));
    INSERT INTO note_index(rowid, body)
    SELECT (NEW.project_id << 40) | (NEW.seq << 8) | (128 + NEW.level), NEW.description
    WHERE NEW.level BETWEEN 0 AND 127;
END;
)SQL";

constexpr const char* kFillOcrIndexSql = R"SQL(
INSERT INTO ocr_index(rowid, body)
SELECT (project_id << 40) | (seq << 8), ocr_text FROM pages WHERE ocr_text <> '';
)SQL";

// Older note indexes held whole annotation records, or were kept by
// triggers calling a function only the server had, so that no other tool
// could change an annotation. They go before any text is converted.
constexpr const char* kDropNoteIndexSql = R"SQL(
DROP TRIGGER IF EXISTS annotations_index_insert;
DROP TRIGGER IF EXISTS annotations_index_delete;
DROP TRIGGER IF EXISTS annotations_index_update;
DROP TRIGGER IF EXISTS annotations_note_insert;
DROP TRIGGER IF EXISTS annotations_note_delete;
DROP TRIGGER IF EXISTS annotations_note_update;
DROP TRIGGER IF EXISTS descriptions_index_insert;
DROP TRIGGER IF EXISTS descriptions_index_delete;
DROP TRIGGER IF EXISTS descriptions_index_update;
DROP TABLE IF EXISTS note_index;
)SQL";

// Every list counts as changed: the refresh indexes its written texts.
constexpr const char* kFillNoteIndexSql = R"SQL(
INSERT INTO note_index(rowid, body)
SELECT (project_id << 40) | (seq << 8) | (128 + level), description FROM folder_descriptions
WHERE level BETWEEN 0 AND 127;
INSERT OR IGNORE INTO note_index_changes(row_id)
SELECT (project_id << 40) | (seq << 8) | kind FROM annotations WHERE kind IN (1, 4, 16);
)SQL";

void ToUtf8(sqlite3_context* context, int, sqlite3_value** values) {
    const unsigned char* text = sqlite3_value_text(values[0]);
    if (text == nullptr) {
        sqlite3_result_value(context, values[0]);
        return;
    }
    std::string converted =
        StoredFromWire(std::string_view(reinterpret_cast<const char*>(text),
                                        static_cast<std::size_t>(sqlite3_value_bytes(values[0]))));
    sqlite3_result_text(context, converted.data(), static_cast<int>(converted.size()),
                        SQLITE_TRANSIENT);
}

void HasHighByte(sqlite3_context* context, int, sqlite3_value** values) {
    const unsigned char* text = sqlite3_value_text(values[0]);
    int size = sqlite3_value_bytes(values[0]);
    int high = 0;
    for (int i = 0; text != nullptr && i < size && high == 0; ++i) high = text[i] >= 0x80;
    sqlite3_result_int(context, high);
}

// A stored word list ("word|x|y|width|height" joined by "^") with its words
// split by the word rule, as word lists are made now.
void RuleWordList(sqlite3_context* context, int, sqlite3_value** values) {
    const unsigned char* text = sqlite3_value_text(values[0]);
    std::string list(text != nullptr ? reinterpret_cast<const char*>(text) : "",
                     static_cast<std::size_t>(sqlite3_value_bytes(values[0])));
    std::string out;
    for (const std::string& entry : Split(list, '^')) {
        std::size_t bar = entry.find('|');
        if (bar == std::string::npos) continue;
        // Stored texts are UTF-8 by now; the rule reads Windows-1252.
        for (const std::string& word : platform::TextWords(WireFromStored(entry.substr(0, bar)))) {
            if (!out.empty()) out += '^';
            out += StoredFromWire(word) + entry.substr(bar);
        }
    }
    sqlite3_result_text(context, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// A failed read throws: taken for "not yet done", it would convert texts
// a second time.
bool Exists(SystemDb& db, const char* type, const char* name) {
    Statement s(db, "SELECT 1 FROM sqlite_master WHERE type = ? AND name = ?");
    s.Bind(1, std::string(type)).Bind(2, std::string(name));
    return s.Row();
}

bool HasColumn(SystemDb& db, const char* table, const char* column) {
    Statement s(
        db,
        (std::string("SELECT 1 FROM pragma_table_info('") + table + "') WHERE name = ?").c_str());
    s.Bind(1, std::string(column));
    return s.Row();
}

// Every text column of every table of ours, from Windows-1252 to UTF-8, and
// the word lists' words by the one word rule.
bool ConvertTexts(SystemDb& db, std::string& error) {
    sqlite3_create_function(db.Handle(), "talq_to_utf8", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                            nullptr, ToUtf8, nullptr, nullptr);
    sqlite3_create_function(db.Handle(), "talq_has_high", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                            nullptr, HasHighByte, nullptr, nullptr);
    std::vector<std::pair<std::string, std::string>> columns;
    {
        Statement tables(db,
                         "SELECT m.name, c.name FROM sqlite_master m, pragma_table_info(m.name) c "
                         "WHERE m.type = 'table' AND m.sql NOT LIKE 'CREATE VIRTUAL%' AND "
                         "m.name NOT GLOB 'sqlite_*' AND m.name NOT GLOB '*_index_*' AND "
                         "upper(c.type) = 'TEXT'");
        while (tables.Step()) columns.emplace_back(tables.Text(0), tables.Text(1));
    }
    for (const auto& [table, column] : columns) {
        // Only values with a byte of 128 or more change.
        std::string sql = "UPDATE \"" + table + "\" SET \"" + column + "\" = talq_to_utf8(\"" +
                          column + "\") WHERE talq_has_high(\"" + column + "\")";
        if (!db.Exec(sql, error)) return false;
    }
    sqlite3_create_function(db.Handle(), "talq_rule_word_list", 1,
                            SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, RuleWordList, nullptr,
                            nullptr);
    if (!db.Exec("UPDATE pages SET word_list = talq_rule_word_list(word_list) "
                 "WHERE word_list <> ''",
                 error))
        return false;
    return db.Exec(
        "INSERT OR REPLACE INTO system_settings(name, value) "
        "VALUES ('TextEncoding', 'UTF-8')",
        error);
}

// Lists stored before the server gave texts their commas back hold
// CommaSub: markups lost their points and notes showed a box.
constexpr const char* kAnnotationCommasSql = R"SQL(
UPDATE annotations SET list_text = replace(list_text, char(29), ',')
WHERE instr(list_text, char(29)) > 0;
INSERT OR REPLACE INTO system_settings(name, value) VALUES ('AnnotationCommas', 'Restored');
)SQL";

constexpr const char* kOrphanRightsSql = R"SQL(
DELETE FROM user_projects WHERE user_id NOT IN (SELECT user_id FROM users);
DELETE FROM login_addresses WHERE user_id NOT IN (SELECT user_id FROM users);
DELETE FROM user_palette_tags WHERE user_id NOT IN (SELECT user_id FROM users);
DELETE FROM user_palettes WHERE user_id NOT IN (SELECT user_id FROM users);
)SQL";

bool Setting(SystemDb& db, const char* name, const char* value) {
    Statement s(db, "SELECT value FROM system_settings WHERE name = ?");
    s.Bind(1, std::string(name));
    return s.Row() && s.Text(0) == value;
}

// What the system already has of what this server expects.
struct Layout {
    bool utf8 = false;
    bool commas = false;
    bool indexed = false;
    bool sized = false;
    bool lockOwners = false;
    bool jobOwners = false;
    bool fileOwners = false;
    bool notesQueued = false;
    bool tagNumbers = false;
    bool storeTokens = false;
    bool usersWhole = false;
    bool complete = false;
};

Layout ReadLayout(SystemDb& db) {
    Layout l;
    l.utf8 = Setting(db, "TextEncoding", "UTF-8");
    l.commas = Setting(db, "AnnotationCommas", "Restored");
    l.indexed = Exists(db, "table", "ocr_index");
    l.sized = HasColumn(db, "pages", "image_width");
    l.lockOwners = HasColumn(db, "page_locks", "owner");
    l.jobOwners = HasColumn(db, "batch_jobs", "owner");
    l.fileOwners = HasColumn(db, "server_files", "ended");
    l.notesQueued =
        Exists(db, "table", "note_index_changes") && Exists(db, "trigger", "annotations_note_update");
    l.tagNumbers =
        Exists(db, "table", "tag_numbers") && Exists(db, "trigger", "tags_number_kept");
    l.storeTokens = HasColumn(db, "image_stores", "token");
    l.usersWhole = Exists(db, "trigger", "users_removed_whole");
    l.complete = l.utf8 && l.commas && l.indexed && l.sized && l.lockOwners && l.jobOwners &&
                 l.fileOwners && l.notesQueued && l.tagNumbers && l.storeTokens && l.usersWhole &&
                 Exists(db, "trigger", "user_projects_range_changed") &&
                 Exists(db, "trigger", "user_projects_range_ordered_changed") &&
                 Exists(db, "table", "user_palette_tags") &&
                 Exists(db, "table", "login_addresses") && Exists(db, "index", "pages_listed");
    return l;
}

// Inside the write transaction, from what it found there.
bool Upgrade(SystemDb& db, const Layout& found, std::string& error) {
    bool ok = found.notesQueued || db.Exec(kDropNoteIndexSql, error);
    ok = ok && (found.utf8 || ConvertTexts(db, error));
    if (ok && !found.sized) {
        for (const char* column : {"image_width", "image_height", "image_dpi_x", "image_dpi_y"}) {
            ok = ok && db.Exec(std::string("ALTER TABLE pages ADD COLUMN ") + column +
                                   " INTEGER NOT NULL DEFAULT 0",
                               error);
        }
    }
    // Locks taken before they named their holder's process.
    if (ok && !found.lockOwners && Exists(db, "table", "page_locks")) {
        for (const char* column : {"owner TEXT NOT NULL DEFAULT ''",
                                   "seen INTEGER NOT NULL DEFAULT 0",
                                   "silence INTEGER NOT NULL DEFAULT 0"})
            ok = ok && db.Exec(std::string("ALTER TABLE page_locks ADD COLUMN ") + column, error);
    }
    // Batch jobs opened before they named theirs.
    if (ok && !found.jobOwners && Exists(db, "table", "batch_jobs")) {
        for (const char* column : {"owner TEXT NOT NULL DEFAULT ''",
                                   "seen INTEGER NOT NULL DEFAULT 0",
                                   "silence INTEGER NOT NULL DEFAULT 0"})
            ok = ok && db.Exec(std::string("ALTER TABLE batch_jobs ADD COLUMN ") + column, error);
    }
    // Temporary files issued before they named the connection that made them.
    if (ok && !found.fileOwners && Exists(db, "table", "server_files")) {
        for (const auto& [name, column] :
             {std::pair{"session", "session TEXT NOT NULL DEFAULT ''"},
              std::pair{"owner", "owner TEXT NOT NULL DEFAULT ''"},
              std::pair{"ended", "ended TEXT NOT NULL DEFAULT ''"}})
            if (ok && !HasColumn(db, "server_files", name))
                ok = db.Exec(std::string("ALTER TABLE server_files ADD COLUMN ") + column, error);
    }
    // Store records made before stores had files of their own.
    if (ok && !found.storeTokens && Exists(db, "table", "image_stores")) {
        for (const char* column : {"token TEXT NOT NULL DEFAULT ''",
                                   "placed TEXT NOT NULL DEFAULT ''",
                                   "committed INTEGER NOT NULL DEFAULT 0"})
            ok = ok && db.Exec(std::string("ALTER TABLE image_stores ADD COLUMN ") + column, error);
    }
    // Tables added since the system was made.
    ok = ok && db.Exec(SchemaSql(), error);
    ok = ok && db.Exec(kIndexSql, error);
    // Numbers of tags deleted before the mark was kept are not known; those
    // still there are never given again.
    if (ok && !found.tagNumbers)
        ok = db.Exec(
            "INSERT OR IGNORE INTO tag_numbers(project_id, last_tag_id) "
            "SELECT project_id, MAX(tag_id) FROM tags GROUP BY project_id",
            error);
    // Rights left by users removed before their removal took them along
    // would pass to the next user given the id.
    if (ok && !found.usersWhole) ok = db.Exec(kOrphanRightsSql, error);
    if (ok && !found.indexed) ok = db.Exec(kFillOcrIndexSql, error);
    if (ok && !found.notesQueued) ok = db.Exec(kFillNoteIndexSql, error);
    // After the indexes: their triggers follow the texts that change.
    if (ok && !found.commas) ok = db.Exec(kAnnotationCommasSql, error);
    if (ok && !RefreshNoteIndex(db)) {
        ok = false;
        error = "cannot index the notes";
    }
    return ok;
}

// Another opener's upgrade of a large system may hold the write longer
// than a lock is waited for: while the system still lacks the upgrade, an
// opener waits for it this long before taking the lock for another
// program's.
constexpr auto kUpgradeWait = std::chrono::seconds(60);

bool UpgradeOnce(SystemDb& db, std::string& error) {
    Transaction transaction(db);
    // Looked at again under the write lock: another process opening the
    // system at the same time may have upgraded it meanwhile.
    const Layout found = ReadLayout(db);
    if (!found.complete && !Upgrade(db, found, error)) return false;
    if (!transaction.Commit()) {
        error = std::string("cannot commit the upgrade: ") + sqlite3_errmsg(db.Handle());
        return false;
    }
    return true;
}

}  // namespace

bool UpgradeSystem(SystemDb& db, std::string& error) {
    const auto deadline = std::chrono::steady_clock::now() + kUpgradeWait;
    for (;;) {
        try {
            return ReadLayout(db).complete || UpgradeOnce(db, error);
        } catch (const DatabaseBusy&) {
            if (std::chrono::steady_clock::now() >= deadline) throw;
            sqlite3_sleep(10);  // a lock refused at once is not spun on
        }
    }
}

Statement& BindOcrIndexMatch(Statement& s, std::int64_t projectId, const std::string& match,
                             std::int64_t firstSeq, std::int64_t lastSeq) {
    return s.Bind(1, projectId)
        .Bind(2, match)
        .Bind(3, TextRowId(projectId, firstSeq, 0))
        .Bind(4, TextRowId(projectId, lastSeq, 255));
}

}  // namespace docserver
