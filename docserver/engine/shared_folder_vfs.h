#pragma once
// SQLite's file layer for a system on a shared folder: the default one
// without shared memory. SQLite then cannot run a connection in WAL unless it
// holds the database alone (exclusive locking, with the index in its own
// heap): a connection that finds the system turned back into WAL fails
// (SQLITE_CANTOPEN) instead of mapping an index other machines cannot see,
// and "journal_mode = WAL" is ignored.

namespace docserver {

// The name to open with (sqlite3_open_v2's zVfs); registered at first use.
// nullptr when it could not be registered.
const char* SharedFolderVfs();

}  // namespace docserver
