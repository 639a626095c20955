-- The document system's database (system.db in the system directory).
-- The full-text indexes of OCR text and notes (ocr_index, note_index) and
-- their triggers are made when the server opens it (system_upgrade.cpp).
--
-- Names compare without case (keys, users, projects, tags), as the client
-- compares them. Page images, original files, server temporary files and
-- batch print files are plain files in the system directory; the database
-- holds their names relative to that directory, never absolute paths.
--
--   images/      page images (TIFF, JPEG, ...)
--   originals/   original native files of documents
--   tmp/         server temporary files (query lists, search results, ...)
--   batch/       batch print jobs, one folder per batch printer
--
-- Boundary units are not stored apart: a page starts a unit of every level
-- up to its bndry_level, so a unit of level L runs from a page whose
-- bndry_level >= L up to the page before the next such page.

PRAGMA foreign_keys = ON;

-- One row per setting: 'SystemFlags', 'ExtSystemFlags', 'Version',
-- 'SchemaVersion', 'PasswordRules', 'TextEncoding', ...
CREATE TABLE IF NOT EXISTS system_settings (
    name  TEXT PRIMARY KEY COLLATE NOCASE,
    value TEXT NOT NULL DEFAULT ''
);
-- Texts are stored in UTF-8 (the wire carries Windows-1252); a system
-- without this row is converted when the server opens it.
INSERT OR IGNORE INTO system_settings(name, value) VALUES ('TextEncoding', 'UTF-8');
-- Annotation texts hold their commas; a system without this row has its
-- lists' CommaSub characters turned back into commas when the server opens it.
INSERT OR IGNORE INTO system_settings(name, value) VALUES ('AnnotationCommas', 'Restored');

CREATE TABLE IF NOT EXISTS users (
    user_id          TEXT PRIMARY KEY COLLATE NOCASE,
    -- salted hash of the upper-cased password; a row written in plain text
    -- is hashed when a server opens the system
    password         TEXT NOT NULL DEFAULT '',
    full_name        TEXT NOT NULL DEFAULT '',
    system_security  INTEGER NOT NULL DEFAULT 0,
    password_changed TEXT NOT NULL DEFAULT '',  -- ISO date of the last change
    disabled         INTEGER NOT NULL DEFAULT 0
);

-- The addresses each user last logged in from (at most eight, the most
-- recent used highest): a hold on a user whose password is being guessed
-- spares them, also after the server restarts.
CREATE TABLE IF NOT EXISTS login_addresses (
    user_id TEXT NOT NULL REFERENCES users(user_id) ON DELETE CASCADE ON UPDATE CASCADE
            COLLATE NOCASE,
    address TEXT NOT NULL,
    used    INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (user_id, address)
);

CREATE TABLE IF NOT EXISTS projects (
    project_id      INTEGER PRIMARY KEY,
    name            TEXT NOT NULL UNIQUE COLLATE NOCASE,
    description     TEXT NOT NULL DEFAULT '',
    backward_link   TEXT NOT NULL DEFAULT '',  -- link field name of the database program
    print_message   TEXT NOT NULL DEFAULT '',
    restriction     INTEGER NOT NULL DEFAULT 0, -- project restriction bits
    bndry_3rd_party INTEGER NOT NULL DEFAULT 0,
    full_text       INTEGER NOT NULL DEFAULT 0,
    record_skipped  TEXT NOT NULL DEFAULT '0',  -- the record's unread field
    further_text1   TEXT NOT NULL DEFAULT '',
    further_text2   TEXT NOT NULL DEFAULT '',
    list_text       TEXT NOT NULL DEFAULT ''    -- extra text after a Tab in the project list
);

-- Boundary levels of a project, finest first (position 1..N).
CREATE TABLE IF NOT EXISTS boundary_levels (
    project_id  INTEGER NOT NULL REFERENCES projects(project_id) ON DELETE CASCADE,
    position    INTEGER NOT NULL,
    level       INTEGER NOT NULL,              -- the level number the client sends
    description TEXT NOT NULL DEFAULT '',
    icon        TEXT NOT NULL DEFAULT '',
    flag_code   INTEGER NOT NULL DEFAULT 0,    -- character code of the level's flag
    PRIMARY KEY (project_id, position),
    UNIQUE (project_id, level)
);

-- Info fields of a project (position 1..M).
CREATE TABLE IF NOT EXISTS info_fields (
    project_id  INTEGER NOT NULL REFERENCES projects(project_id) ON DELETE CASCADE,
    position    INTEGER NOT NULL,
    value       INTEGER NOT NULL DEFAULT 0,    -- above 0: the page information carries it
    description TEXT NOT NULL DEFAULT '',
    PRIMARY KEY (project_id, position)
);

-- A user's rights in a project (project security bits); no row = no access.
CREATE TABLE IF NOT EXISTS user_projects (
    user_id    TEXT NOT NULL REFERENCES users(user_id) ON DELETE CASCADE COLLATE NOCASE,
    project_id INTEGER NOT NULL REFERENCES projects(project_id) ON DELETE CASCADE,
    security   INTEGER NOT NULL DEFAULT 0,
    -- navigation range a restricted user may reach ('' = whole project)
    first_key  TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    last_key   TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    PRIMARY KEY (user_id, project_id)
);

-- Pages in key order: seq grows with the key order of the project.
CREATE TABLE IF NOT EXISTS pages (
    project_id    INTEGER NOT NULL REFERENCES projects(project_id) ON DELETE CASCADE,
    seq           INTEGER NOT NULL,
    image_key     TEXT NOT NULL COLLATE NOCASE,
    bndry_level   INTEGER NOT NULL DEFAULT 0,  -- highest level of the units this page starts
    rotation      INTEGER NOT NULL DEFAULT 0,  -- quarter turns clockwise, 0..3
    restricted    INTEGER NOT NULL DEFAULT 0,
    placeholder   INTEGER NOT NULL DEFAULT 0,
    image_file    TEXT NOT NULL DEFAULT '',    -- relative to the system directory
    original_file TEXT NOT NULL DEFAULT '',    -- relative; '' when the page has none
    doc_date      TEXT NOT NULL DEFAULT '',    -- document date, 'YYYYMMDD' or ''
    ocr_text      TEXT NOT NULL DEFAULT '',
    word_list     TEXT NOT NULL DEFAULT '',    -- the word list reply text as stored
    -- size and resolution of the stored image; 0 until first read
    image_width   INTEGER NOT NULL DEFAULT 0,
    image_height  INTEGER NOT NULL DEFAULT 0,
    image_dpi_x   INTEGER NOT NULL DEFAULT 0,
    image_dpi_y   INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (project_id, seq),
    UNIQUE (project_id, image_key)
);
CREATE INDEX IF NOT EXISTS pages_by_level ON pages(project_id, bndry_level, seq);
-- A search lists its hits from this index, not from the rows, whose OCR
-- text spreads them over many times the pages.
CREATE INDEX IF NOT EXISTS pages_listed ON pages(project_id, seq, image_key, image_file);
-- Who may read a file is found from the pages that use it; a page's
-- redactions are those of every page showing its image.
CREATE INDEX IF NOT EXISTS pages_by_image ON pages(image_file, project_id, seq);
CREATE INDEX IF NOT EXISTS pages_by_original ON pages(original_file);

-- Info values of a page, one per info field position.
CREATE TABLE IF NOT EXISTS page_info (
    project_id INTEGER NOT NULL,
    seq        INTEGER NOT NULL,
    position   INTEGER NOT NULL,
    value      TEXT NOT NULL DEFAULT '',
    PRIMARY KEY (project_id, seq, position),
    FOREIGN KEY (project_id, seq) REFERENCES pages(project_id, seq) ON DELETE CASCADE
);

-- Description of the unit of a level that starts at a page.
CREATE TABLE IF NOT EXISTS folder_descriptions (
    project_id  INTEGER NOT NULL,
    seq         INTEGER NOT NULL,              -- first page of the unit
    level       INTEGER NOT NULL,
    description TEXT NOT NULL DEFAULT '',
    PRIMARY KEY (project_id, seq, level),
    FOREIGN KEY (project_id, seq) REFERENCES pages(project_id, seq) ON DELETE CASCADE
);

-- Issue tags: the project's pool; palette_position orders the palette
-- (NULL = in the pool only).
CREATE TABLE IF NOT EXISTS tags (
    project_id       INTEGER NOT NULL REFERENCES projects(project_id) ON DELETE CASCADE,
    tag_id           INTEGER NOT NULL,
    name             TEXT NOT NULL COLLATE NOCASE,
    palette_position INTEGER,
    is_collection    INTEGER NOT NULL DEFAULT 0, -- saved from a query list
    PRIMARY KEY (project_id, tag_id),
    UNIQUE (project_id, name)
);

-- The highest number a project's tag has had: a new tag never takes the
-- number of one deleted, which a palette or a page may still name.
CREATE TABLE IF NOT EXISTS tag_numbers (
    project_id  INTEGER PRIMARY KEY REFERENCES projects(project_id) ON DELETE CASCADE,
    last_tag_id INTEGER NOT NULL
);
CREATE TRIGGER IF NOT EXISTS tags_number_kept AFTER INSERT ON tags BEGIN
    INSERT INTO tag_numbers(project_id, last_tag_id) VALUES (NEW.project_id, NEW.tag_id)
    ON CONFLICT(project_id) DO UPDATE SET last_tag_id = MAX(last_tag_id, excluded.last_tag_id);
END;

-- Page image stores, claimed before they write: a row per file under way
-- keeps other stores of it out while its owner lives. The store writes
-- "<path>.<token>.part", keeps the file it replaces as "<path>.<token>.old"
-- (a link, or the file itself where links are missing), records the new
-- file's identity (inode:size:mtime) before it takes the path, and
-- sets committed in the commit that names it. A row cut off before that is
-- undone: its ".old" goes back only while the path holds the file it placed,
-- or nothing. Rows without a token were written by servers that kept
-- "<path>.old" and recorded no file; kept is 1 in every row written since,
-- so such a server never removes the path of a store it undoes.
CREATE TABLE IF NOT EXISTS image_stores (
    path      TEXT PRIMARY KEY,          -- relative to the system folder
    kept      INTEGER NOT NULL,
    owner     TEXT NOT NULL,             -- the storing process (lock_holders.h)
    started   TEXT NOT NULL,
    token     TEXT NOT NULL DEFAULT '',
    placed    TEXT NOT NULL DEFAULT '',  -- identity of the file written; '' before
    committed INTEGER NOT NULL DEFAULT 0
);

-- Users who arranged a project's palette for themselves; every other user
-- sees the project's (palette_position above).
CREATE TABLE IF NOT EXISTS user_palettes (
    project_id INTEGER NOT NULL REFERENCES projects(project_id) ON DELETE CASCADE,
    user_id    TEXT NOT NULL COLLATE NOCASE,
    PRIMARY KEY (project_id, user_id)
);
-- The tags on such a user's palette, in its order.
CREATE TABLE IF NOT EXISTS user_palette_tags (
    project_id INTEGER NOT NULL,
    user_id    TEXT NOT NULL COLLATE NOCASE,
    position   INTEGER NOT NULL,
    tag_id     INTEGER NOT NULL,
    PRIMARY KEY (project_id, user_id, position),
    FOREIGN KEY (project_id, user_id) REFERENCES user_palettes(project_id, user_id)
        ON DELETE CASCADE,
    FOREIGN KEY (project_id, tag_id) REFERENCES tags(project_id, tag_id) ON DELETE CASCADE
);

CREATE TABLE IF NOT EXISTS page_tags (
    project_id INTEGER NOT NULL,
    seq        INTEGER NOT NULL,
    tag_id     INTEGER NOT NULL,
    PRIMARY KEY (project_id, seq, tag_id),
    FOREIGN KEY (project_id, seq) REFERENCES pages(project_id, seq) ON DELETE CASCADE,
    FOREIGN KEY (project_id, tag_id) REFERENCES tags(project_id, tag_id) ON DELETE CASCADE
);
CREATE INDEX IF NOT EXISTS page_tags_by_tag ON page_tags(project_id, tag_id, seq);

-- Annotation list of a page per kind (1 sticky, 2 clip, 4 redaction,
-- 8 highlight, 16 text note, 64 markup), stored as the client sent it.
CREATE TABLE IF NOT EXISTS annotations (
    project_id INTEGER NOT NULL,
    seq        INTEGER NOT NULL,
    kind       INTEGER NOT NULL,
    list_text  TEXT NOT NULL DEFAULT '',
    PRIMARY KEY (project_id, seq, kind),
    FOREIGN KEY (project_id, seq) REFERENCES pages(project_id, seq) ON DELETE CASCADE
);
-- A search leaves out the pages sharing an image with a redacted page: the
-- few redacted pages are found without reading every annotation.
CREATE INDEX IF NOT EXISTS annotations_redacted ON annotations(project_id, seq)
    WHERE kind = 4 AND list_text <> '';

-- Page locks. session is the connection that holds the lock; a server
-- (or library) removes the locks of its sessions when they end, and a lock
-- whose holder is gone keeps nobody out: owner names the holder's process
-- (machine, namespaces, boot, pid, start time), seen is its last sign of
-- life (seconds since the epoch) and silence how long it may keep still
-- before it counts as gone (0 in rows older than it: 900 seconds; rows
-- without seen count taken as their sign of life).
CREATE TABLE IF NOT EXISTS page_locks (
    project_id INTEGER NOT NULL,
    seq        INTEGER NOT NULL,
    user_id    TEXT NOT NULL COLLATE NOCASE,
    session    TEXT NOT NULL,                  -- "<host>/<pid>:<connection>@<start>"
    taken      TEXT NOT NULL DEFAULT '',
    owner      TEXT NOT NULL DEFAULT '',
    seen       INTEGER NOT NULL DEFAULT 0,
    silence    INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (project_id, seq),
    FOREIGN KEY (project_id, seq) REFERENCES pages(project_id, seq) ON DELETE CASCADE
);

-- Server temporary files (in tmp/), issued to a user.
CREATE TABLE IF NOT EXISTS server_files (
    name    TEXT PRIMARY KEY,                  -- file name inside tmp/, no separators
    user_id TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    purpose TEXT NOT NULL DEFAULT '',          -- 'query', 'search', 'sort', 'concept', ...
    created TEXT NOT NULL DEFAULT '',
    session TEXT NOT NULL DEFAULT '',          -- the connection that made or last used it
    owner   TEXT NOT NULL DEFAULT '',          -- that connection's process (lock_holders.h)
    ended   TEXT NOT NULL DEFAULT ''           -- when that connection ended; '' while it lives
);

-- Batch printers of the system and the jobs issued for them.
CREATE TABLE IF NOT EXISTS batch_printers (
    name        TEXT PRIMARY KEY COLLATE NOCASE,
    directory   TEXT NOT NULL,                 -- relative to the system directory
    color       INTEGER NOT NULL DEFAULT 0,
    description TEXT NOT NULL DEFAULT ''
);

-- Pages each user printed in a project, one row per printed range.
CREATE TABLE IF NOT EXISTS print_log (
    log_id      INTEGER PRIMARY KEY,
    user_id     TEXT NOT NULL COLLATE NOCASE,
    project     TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    local_pages INTEGER NOT NULL DEFAULT 0,
    batch_pages INTEGER NOT NULL DEFAULT 0,
    printed     TEXT NOT NULL DEFAULT ''
);

CREATE TABLE IF NOT EXISTS batch_jobs (
    job_id     INTEGER PRIMARY KEY,
    printer    TEXT NOT NULL REFERENCES batch_printers(name) COLLATE NOCASE,
    file_name  TEXT NOT NULL UNIQUE,           -- the name handed to the client
    user_id    TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    state      TEXT NOT NULL DEFAULT 'open',   -- 'open', 'closed', 'abandoned'
    created    TEXT NOT NULL DEFAULT '',
    session    TEXT NOT NULL DEFAULT '',       -- the connection writing it, as in page_locks
    owner      TEXT NOT NULL DEFAULT '',       -- its holder while open, as in page_locks
    seen       INTEGER NOT NULL DEFAULT 0,     -- (created stands for it in older rows)
    silence    INTEGER NOT NULL DEFAULT 0
);

-- A user removed with a tool that keeps foreign keys off (the sqlite3
-- shell does) would leave its rights behind, for the next user given that
-- id: a trigger runs whatever that setting.
-- Removing a user finds its rows by these, not by reading whole tables
-- with the write lock held.
CREATE INDEX IF NOT EXISTS user_palettes_by_user ON user_palettes(user_id);
CREATE INDEX IF NOT EXISTS user_palette_tags_by_user ON user_palette_tags(user_id);
CREATE INDEX IF NOT EXISTS page_locks_by_user ON page_locks(user_id);
CREATE TRIGGER IF NOT EXISTS users_removed_whole AFTER DELETE ON users BEGIN
    DELETE FROM user_projects WHERE user_id = OLD.user_id;
    DELETE FROM login_addresses WHERE user_id = OLD.user_id;
    DELETE FROM user_palette_tags WHERE user_id = OLD.user_id;
    DELETE FROM user_palettes WHERE user_id = OLD.user_id;
    DELETE FROM page_locks WHERE user_id = OLD.user_id;
END;

-- A key range's bounds are keys of the project's pages: keys compare as
-- text, so a bound mistyped a digit short would reach far past the range
-- meant.
CREATE TRIGGER IF NOT EXISTS user_projects_range_added BEFORE INSERT ON user_projects
WHEN (NEW.first_key <> '' AND NOT EXISTS (SELECT 1 FROM pages
          WHERE project_id = NEW.project_id AND image_key = NEW.first_key))
  OR (NEW.last_key <> '' AND NOT EXISTS (SELECT 1 FROM pages
          WHERE project_id = NEW.project_id AND image_key = NEW.last_key)) BEGIN
    SELECT RAISE(ABORT, 'first_key and last_key must each be '''' or the key of a page of the project');
END;
CREATE TRIGGER IF NOT EXISTS user_projects_range_changed
BEFORE UPDATE OF project_id, first_key, last_key ON user_projects
WHEN (NEW.first_key <> '' AND NOT EXISTS (SELECT 1 FROM pages
          WHERE project_id = NEW.project_id AND image_key = NEW.first_key))
  OR (NEW.last_key <> '' AND NOT EXISTS (SELECT 1 FROM pages
          WHERE project_id = NEW.project_id AND image_key = NEW.last_key)) BEGIN
    SELECT RAISE(ABORT, 'first_key and last_key must each be '''' or the key of a page of the project');
END;
-- Bounds swapped would reach no page at all.
CREATE TRIGGER IF NOT EXISTS user_projects_range_ordered_added BEFORE INSERT ON user_projects
WHEN (SELECT seq FROM pages WHERE project_id = NEW.project_id AND image_key = NEW.first_key)
   > (SELECT seq FROM pages WHERE project_id = NEW.project_id AND image_key = NEW.last_key) BEGIN
    SELECT RAISE(ABORT, 'first_key comes after last_key: a key range runs from its first page to its last');
END;
CREATE TRIGGER IF NOT EXISTS user_projects_range_ordered_changed
BEFORE UPDATE OF project_id, first_key, last_key ON user_projects
WHEN (SELECT seq FROM pages WHERE project_id = NEW.project_id AND image_key = NEW.first_key)
   > (SELECT seq FROM pages WHERE project_id = NEW.project_id AND image_key = NEW.last_key) BEGIN
    SELECT RAISE(ABORT, 'first_key comes after last_key: a key range runs from its first page to its last');
END;
