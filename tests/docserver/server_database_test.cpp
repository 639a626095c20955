// The server's database: texts stored in UTF-8 and found by any of their
// words, older systems converted at open (by several openers at once too,
// one waiting out another's upgrade, none held up while one hashes plain
// passwords), a database locked by another program told apart from a wrong
// password, and writes that wait their turn instead of answering busy.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QProcess>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

#include "engine/command_engine.h"
#include "engine/engine_text.h"
#include "engine/system_db.h"
#include "support/scoped_env.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;

const std::string kP = "ADMIN,SECRET,Demo Project";

// The bytes a column holds, read past the engine's conversion.
std::string RawText(const std::string& dbPath, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
    std::string text;
    if (s != nullptr && sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0) != nullptr)
        text.assign(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)),
                    static_cast<std::size_t>(sqlite3_column_bytes(s, 0)));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return text;
}

void RawExec(const std::string& dbPath, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(dbPath.c_str(), &db);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error != nullptr ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

class ServerDatabaseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/sys";
        testsupport::MakeQuerySystem(sys_, 30, 0);
        db_ = sys_ + "/system.db";
    }
    void OpenEngine() {
        std::string error;
        engine_ = CommandEngine::Open(sys_, error);
        ASSERT_TRUE(engine_) << error;
    }
    std::string Run(const std::string& command) { return engine_->Execute(state_, command); }
    // Keys of a search reply's result file.
    std::string Found(const std::string& reply) {
        std::vector<std::string> f = docserver::Split(reply, ',');
        if (f.size() != 2 || f[1].empty()) return reply;
        std::string keys;
        std::string text;
        std::ifstream in(sys_ + "/tmp/" + f[1]);
        while (std::getline(in, text)) keys += text.substr(0, text.find_first_of("\r\t")) + " ";
        return keys;
    }

    testsupport::ScopedTempDir dir_;
    std::string sys_, db_;
    std::unique_ptr<CommandEngine> engine_;
    ConnectionState state_;
};

// Windows-1252: curly quotes 0x93/0x94, e acute 0xE9, en dash 0x96.
const std::string kOcr = "The \x93Privileged\x94 memo \x96 caf\xe9 re-filed";
const std::string kOcrUtf8 =
    "The \xe2\x80\x9cPrivileged\xe2\x80\x9d memo \xe2\x80\x93 caf\xc3\xa9 re-filed";

TEST_F(ServerDatabaseTest, TextsAreStoredInUtf8AndFoundByEachOfTheirWords) {
    OpenEngine();
    Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    ASSERT_EQ(Run("TALQImportLine," + kP + ",FT,K00003,1,2," + kOcr), "OK");
    ASSERT_EQ(Run("TALQPutFolderDescription," + kP +
                  ",K00006,1,Box \x93"
                  "Alpha\x94"),
              "OK");
    EXPECT_EQ(RawText(db_, "SELECT ocr_text FROM pages WHERE seq = 3"), kOcrUtf8);
    EXPECT_EQ(RawText(db_, "SELECT description FROM folder_descriptions WHERE seq = 6"),
              "Box \xe2\x80\x9c"
              "Alpha\xe2\x80\x9d");
    Run("TALQGetProjectInfo," + kP);
    EXPECT_EQ(Run("TALQGetPageOcr,,,,K00003"), kOcr) << "the wire stays in Windows-1252";

    struct Case {
        const char* words;
        const char* all;
        std::string found;
    } ocr[] = {
        {"privileged", "0", "K00003 "},         // inside curly quotes
        {"caf\xe9", "0", "K00003 "},            // accented letters belong to the word
        {"cafe", "0", "0,"},                    // and are not dropped
        {"filed memo", "1", "K00003 "},         // a dash separates words
        {"\x93privileged\x94 fox", "1", "0,"},  // all words: the fox is elsewhere
        {"quick memo", "0", "K00003 K00007 "},
    };
    for (const Case& c : ocr)
        EXPECT_EQ(Found(Run("TALQSearchImgText," + kP + "," + c.words + "," + c.all + ",32000")),
                  c.found)
            << c.words;
    EXPECT_EQ(Found(Run("TALQSearchResultsTempFile," + kP + ",alpha,0,32000,0")), "K00006 ");
    EXPECT_EQ(Found(Run("TALQSearchResultsTempFile," + kP + ",alpha memo,0,32000,1")), "0,");
}

TEST_F(ServerDatabaseTest, ConceptSearchFindsEveryFormItTakesThroughTheIndex) {
    OpenEngine();
    Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    ASSERT_EQ(Run("TALQImportLine," + kP + ",FT,K00003,1,2,Payments were computing; banks listed"),
              "OK");
    Run("TALQGetProjectInfo," + kP);
    const std::string rs(1, wire::kRecordSep);
    const struct {
        const char* phrase;
        bool found;
    } cases[] = {
        {"payment", true}, {"payments", true}, {"compute", true},
        {"bank", true},    {"bank1", false},   {"list", true},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Run("IDEX_StartSearch" + rs + c.phrase + rs + "100" + rs + "0"), "OK");
        std::string reply;
        for (int polls = 0; polls < 100 && (reply = Run("IDEX_QuerySearch")) == "1";) ++polls;
        std::vector<std::string> f = docserver::Split(reply, ',');
        std::string rows;
        if (f.size() == 3 && !f[1].empty()) rows = testsupport::ReadFile(sys_ + "/tmp/" + f[1]);
        EXPECT_EQ(rows.find("K00003\t") != std::string::npos, c.found) << c.phrase << " " << reply;
    }
}

TEST_F(ServerDatabaseTest, ASystemWrittenInTheCodePageIsConvertedAtOpen) {
    // As systems were stored before: Windows-1252 bytes and no marker.
    RawExec(db_,
            "DELETE FROM system_settings WHERE name = 'TextEncoding';"
            "UPDATE pages SET ocr_text = CAST(x'"
            "e97465"
            "' AS TEXT) WHERE seq = 4;"
            "UPDATE annotations SET list_text = replace(list_text, 'Privileged memo text', "
            "'na\xefve') WHERE seq = 12;"
            "UPDATE pages SET word_list = '\x93\xe9te,\x94|1|2|3|4^\x96|5|6|7|8' "
            "WHERE seq = 4;"
            "INSERT INTO users(user_id, password) VALUES ('OLD', 'caf\xe9');");
    OpenEngine();
    // The plain password is hashed as the user types it, and stored in ASCII.
    const std::string hash = RawText(db_, "SELECT password FROM users WHERE user_id = 'OLD'");
    EXPECT_EQ(hash.rfind("$pbkdf2", 0), 0u) << hash;
    EXPECT_TRUE(std::all_of(hash.begin(), hash.end(), [](char c) { return c > 32 && c < 127; }));
    ConnectionState old;
    EXPECT_EQ(engine_->Execute(old, "TALQRequiredLogin,OLD,caf\xe9,,DOM,1,8.6,1").substr(0, 1),
              "1");
    Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    EXPECT_EQ(RawText(db_, "SELECT ocr_text FROM pages WHERE seq = 4"), "\xc3\xa9te");
    EXPECT_EQ(RawText(db_, "SELECT list_text FROM annotations WHERE seq = 12"),
              testsupport::AnnotationRecord("na\xc3\xafve"));
    EXPECT_EQ(RawText(db_, "SELECT word_list FROM pages WHERE seq = 4"), "\xc3\xa9te|1|2|3|4")
        << "word lists follow the word rule";
    EXPECT_EQ(Found(Run("TALQSearchImgText," + kP + ",\xe9te,0,32000")), "K00004 ");
    EXPECT_EQ(Found(Run("TALQSearchResultsTempFile," + kP + ",na\xefve,0,32000,0")), "K00012 ");
    // Opening again converts nothing twice.
    engine_.reset();
    OpenEngine();
    EXPECT_EQ(RawText(db_, "SELECT ocr_text FROM pages WHERE seq = 4"), "\xc3\xa9te");
}

// The notes search finds what users wrote (note texts, a redaction's label),
// never the places, colours, fonts, stamps or clip paths around them, also
// in a system whose index was made before.
TEST_F(ServerDatabaseTest, TheNotesSearchFindsOnlyWhatUsersWrote) {
    OpenEngine();
    Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    const std::string f(1, 31), s(1, 22), l(1, 30);
    auto record = [&](const std::string& stamp, const std::string& text) {
        return "100" + f + "200" + f + "300" + f + "400" + f + "0" + f + "20" + l + "8" + l + "0" +
               l + "0" + l + "Arial" + f + "1" + f + "0" + f + "16777215" + f + "0" + f + "65535" +
               f + stamp + s + "ADMIN" + s + "01/02/2020" + f + text;
    };
    ASSERT_EQ(Run("TALQPutAnnotations," + kP + ",K00002,1," + record("", "call counsel")), "1");
    ASSERT_EQ(Run("TALQPutAnnotations," + kP + ",K00003,4," + record("WITHHELD", "")), "1");
    ASSERT_EQ(Run("TALQPutAnnotations," + kP + ",K00005,16," + record("", "typed remark")), "1");
    std::string error;
    ASSERT_TRUE(engine_->Db().Exec("INSERT INTO annotations VALUES (1, 4, 2, '" +
                                       record("", "/sys/originals/board.txt") + "')",
                                   error))
        << error;
    auto search = [&](const std::string& word) {
        return Found(Run("TALQSearchResultsTempFile," + kP + "," + word + ",0,32000,0"));
    };
    const struct {
        const char* word;
        const char* found;
    } cases[] = {
        {"counsel", "K00002 "}, {"withheld", "K00003 "}, {"remark", "K00005 "},
        {"admin", "0,"},        {"16777215", "0,"},      {"arial", "0,"},
        {"board", "0,"},        {"originals", "0,"},     {"2020", "0,"},
    };
    for (const auto& c : cases) EXPECT_EQ(search(c.word), c.found) << c.word;

    // An index made before held whole records.
    engine_.reset();
    RawExec(db_,
            "DROP TRIGGER annotations_note_update;"
            "INSERT INTO note_index(rowid, body) VALUES ((1 << 40) | (4 << 8) | 2, 'stale');");
    OpenEngine();
    Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    EXPECT_EQ(search("stale"), "0,");
    EXPECT_EQ(search("counsel"), "K00002 ");
}

// The note index follows annotations however they change: edited with the
// plain sqlite3 tool while the server runs, also in a system whose triggers
// called a function of the server's, and replaced by the server.
TEST_F(ServerDatabaseTest, TheNotesIndexFollowsAnnotationsEditedWithThePlainSqliteTool) {
    auto edit = [&](const std::string& from, const std::string& to) {
        const std::string sql =
            "UPDATE annotations SET list_text = replace(list_text, '" + from + "', '" + to + "')";
        QProcess tool;
        tool.start("sqlite3", {QString::fromStdString(db_), QString::fromStdString(sql)});
        ASSERT_TRUE(tool.waitForFinished(20000)) << "the sqlite3 tool runs";
        EXPECT_EQ(tool.readAllStandardError().toStdString(), "");
    };
    auto search = [&](const std::string& word) {
        return Found(Run("TALQSearchResultsTempFile," + kP + "," + word + ",0,32000,0"));
    };
    const struct {
        const char* before;
        const char* after;
        bool lastVersion;
    } steps[] = {{"memo", "ledger", false}, {"ledger", "journal", true}};
    for (const auto& step : steps) {
        if (step.lastVersion) {
            engine_.reset();
            RawExec(db_,
                    "DROP TABLE note_index_changes; DROP TRIGGER annotations_note_update;"
                    "CREATE TRIGGER annotations_note_update AFTER UPDATE ON annotations BEGIN "
                    "INSERT INTO note_index(rowid, body) VALUES (NEW.seq, "
                    "talq_written_texts(NEW.kind, NEW.list_text)); END;");
        }
        OpenEngine();
        Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
        edit(step.before, step.after);
        EXPECT_EQ(search(step.after), "K00012 ");
        EXPECT_EQ(search(step.before), "0,");
    }
    ASSERT_EQ(Run("TALQPutAnnotations," + kP + ",K00012,16," +
                  testsupport::AnnotationRecord("Diary text")),
              "1");
    EXPECT_EQ(search("diary"), "K00012 ");
    EXPECT_EQ(search("journal"), "0,") << "a list replaced leaves none of its words";
}

// A palette or a page that knew a deleted tag by its number must not find
// a new one there: numbers are never given twice, also after a system made
// before the highest was kept, and over tags another tool inserted.
TEST_F(ServerDatabaseTest, ANewTagNeverTakesTheNumberOfOneDeleted) {
    auto number = [&](const std::string& name) {
        return RawText(db_, "SELECT tag_id FROM tags WHERE name = '" + name + "'");
    };
    OpenEngine();
    Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    ASSERT_EQ(Run("TALQAddTag," + kP + ",Zulu"), "1");
    EXPECT_EQ(number("Zulu"), "3");
    ASSERT_EQ(Run("TALQDelTag," + kP + ",Zulu"), "1");
    ASSERT_EQ(Run("TALQAddTag," + kP + ",Zulu Counsel Only"), "1");
    EXPECT_EQ(number("Zulu Counsel Only"), "4");

    engine_.reset();
    RawExec(db_, "DROP TRIGGER tags_number_kept; DROP TABLE tag_numbers;");
    OpenEngine();
    Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    ASSERT_EQ(Run("TALQDelTag," + kP + ",Zulu Counsel Only"), "1");
    RawExec(db_, "INSERT INTO tags(project_id, tag_id, name) VALUES (1, 10, 'By Tool')");
    ASSERT_EQ(Run("TALQDelTag," + kP + ",By Tool"), "1");
    ASSERT_EQ(Run("TALQAddTag," + kP + ",After"), "1");
    EXPECT_EQ(number("After"), "11");
}

// Repeated words count once; past a thousand distinct words a search is
// refused, whichever text it searches.
TEST_F(ServerDatabaseTest, ASearchTakesAThousandDistinctWordsAndRefusesMore) {
    OpenEngine();
    Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    std::string words = "brown";
    for (int i = 1; i < 1000; ++i) words += " w" + std::to_string(i) + " W" + std::to_string(i);
    const std::string more = words + " w1000";
    EXPECT_EQ(Found(Run("TALQSearchImgText," + kP + "," + words + ",0,32000")), "K00007 K00008 ");
    EXPECT_EQ(Found(Run("TALQSearchResultsTempFile," + kP + "," + words + ",0,32000,0")), "0,");
    EXPECT_EQ(Run("TALQSearchImgText," + kP + "," + more + ",0,32000"),
              "ERROR: Too Many Search Words");
    EXPECT_EQ(Run("TALQSearchResultsTempFile," + kP + "," + more + ",0,32000,0"),
              "ERROR: Too Many Search Words");
}

TEST_F(ServerDatabaseTest, AnnotationTextsComeBackWithTheirCommas) {
    // As systems were stored before: lists kept as sent, CommaSub and all.
    RawExec(db_,
            "DELETE FROM system_settings WHERE name = 'AnnotationCommas';"
            "UPDATE annotations SET list_text = 'memo' || char(29) || ' text' WHERE seq = 12;");
    OpenEngine();
    Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    Run("TALQGetProjectInfo," + kP);
    // A markup's points, "x,y" pairs, as the client sends them.
    ASSERT_EQ(Run("TALQPutAnnotations," + kP +
                  ",K00011,64,1\x1d"
                  "2;30\x1d"
                  "40"),
              "1");
    struct Case {
        const char* key;
        std::size_t section;
        std::string list;
    } cases[] = {
        {"K00012", 4, "memo, text"},  // converted at open
        {"K00011", 6, "1,2;30,40"},   // stored
    };
    for (const Case& c : cases) {
        std::vector<std::string> sections =
            docserver::Split(Run("TALQGetAnnotations," + kP + "," + c.key), wire::kSectionSep);
        ASSERT_GT(sections.size(), c.section) << c.key;
        EXPECT_EQ(sections[c.section], c.list) << c.key;
    }
}

TEST_F(ServerDatabaseTest, AWriterElsewhereLeavesLoginsWorkingAndWritesBusyNotFailed) {
    OpenEngine();
    engine_->Db().SetBusyTimeout(100);
    const std::string login = "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1";
    const std::string write = "TALQDTPutDate," + kP + ",K00002,20200101";
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; UPDATE pages SET doc_date = '' WHERE seq = 30",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(Run(login).substr(0, 1), "1") << "the right password is never taken for a wrong one";
    EXPECT_EQ(Run(write), "ERROR: Database Busy, Try Again");
    EXPECT_EQ(Run("TALQGetVersion").substr(0, 4), "8.6.") << "no transaction was left open";
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(Run(write), "OK");
}

// The wait counted its steps, each longer than asked on a loaded machine:
// a 200 ms limit ran 110 pauses of 20 ms.
TEST_F(ServerDatabaseTest, ALockWaitGivesUpByTheClockHoweverLongItsStepsTake) {
    static std::atomic<int> pauses{0};
    OpenEngine();
    Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    engine_->Db().SetBusyTimeout(200);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    docserver::SetLockWaitPause([](int) {
        ++pauses;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return true;
    });
    EXPECT_EQ(Run("TALQDTPutDate," + kP + ",K00002,20200101"), "ERROR: Database Busy, Try Again");
    docserver::SetLockWaitPause(nullptr);
    EXPECT_LT(pauses.load(), 40) << "10 fill the time, fewer on a loaded machine";
    sqlite3_close(other);
}

// Openers of one system meet at their first transaction: each connection
// opened meanwhile waits there until all have arrived, so every one of them
// has found the system old before any upgrades it.
struct Meeting {
    std::mutex mutex;
    std::condition_variable arrival;
    int arrived = 0;
    int expected = 0;
};
Meeting* g_meeting = nullptr;
thread_local bool t_arrived = false;

int MeetAtFirstTransaction(unsigned, void*, void* statement, void*) {
    const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
    if (t_arrived || sql == nullptr || std::strncmp(sql, "BEGIN", 5) != 0) return 0;
    t_arrived = true;
    std::unique_lock<std::mutex> lock(g_meeting->mutex);
    ++g_meeting->arrived;
    g_meeting->arrival.notify_all();
    // Bounded: an opener that never arrives keeps nobody for ever.
    g_meeting->arrival.wait_for(lock, std::chrono::seconds(10),
                                [] { return g_meeting->arrived >= g_meeting->expected; });
    return 0;
}

int WatchNewConnection(sqlite3* db, char**, const sqlite3_api_routines*) {
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, MeetAtFirstTransaction, nullptr);
    return SQLITE_OK;
}

TEST_F(ServerDatabaseTest, SeveralProcessesOpeningAnOlderSystemAtOnceAllOpenItAndConvertItOnce) {
    struct Older {
        const char* what;
        const char* sql;
    };
    const Older olders[] = {
        {"locks that do not name their holder's process",
         "ALTER TABLE page_locks DROP COLUMN owner; ALTER TABLE page_locks DROP COLUMN seen;"
         "ALTER TABLE page_locks DROP COLUMN silence;"},
        {"texts in the code page", ""},
    };
    int round = 0;
    for (const Older& older : olders) {
        const std::string sys = dir_.Path() + "/older" + std::to_string(++round);
        testsupport::MakeQuerySystem(sys, 20, 0);
        const std::string db = sys + "/system.db";
        RawExec(db, std::string("DELETE FROM system_settings WHERE name = 'TextEncoding';"
                                "UPDATE pages SET ocr_text = CAST(x'e97465' AS TEXT) "
                                "WHERE seq = 4;") +
                        older.sql);
        constexpr int kOpeners = 5;
        Meeting meeting;
        meeting.expected = kOpeners;
        g_meeting = &meeting;
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(WatchNewConnection));
        std::vector<std::string> errors(kOpeners);
        std::vector<std::thread> openers;
        for (int i = 0; i < kOpeners; ++i) {
            openers.emplace_back([&sys, &errors, i] {
                std::string error;
                if (!CommandEngine::Open(sys, error)) errors[i] = error.empty() ? "?" : error;
            });
        }
        for (std::thread& opener : openers) opener.join();
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(WatchNewConnection));
        g_meeting = nullptr;
        EXPECT_EQ(meeting.arrived, kOpeners) << older.what;
        for (const std::string& error : errors) EXPECT_EQ(error, "") << older.what;
        EXPECT_EQ(RawText(db, "SELECT ocr_text FROM pages WHERE seq = 4"), "\xc3\xa9te")
            << older.what << ": converted once, never twice";
        EXPECT_EQ(RawText(db, "SELECT COUNT(*) FROM pragma_table_info('page_locks') "
                              "WHERE name IN ('owner', 'seen', 'silence')"),
                  "3")
            << older.what;
    }
}

// Watches the statements of the connections opened while it lives, as
// they start: counts the transactions they begin, and may hold the first
// opener caught hashing plain passwords (after reading them, as it begins
// its next transaction; at the read itself when it holds a write) until
// released.
class OpenersWatch {
  public:
    explicit OpenersWatch(bool holdHashing) : released_(!holdHashing) {
        current_ = this;
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(Install));
    }
    ~OpenersWatch() {
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(Install));
        current_ = nullptr;
    }
    OpenersWatch(const OpenersWatch&) = delete;
    OpenersWatch& operator=(const OpenersWatch&) = delete;

    bool WaitForBegins(int count) {
        return WaitFor([&] { return begins_ >= count; });
    }
    bool WaitForHashing() {
        return WaitFor([&] { return caught_; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

  private:
    template <typename Met>
    bool WaitFor(Met met) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), met);
    }
    static int Install(sqlite3* db, char**, const sqlite3_api_routines*) {
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, Started, nullptr);
        return SQLITE_OK;
    }
    static int Started(unsigned, void*, void* statement, void*) {
        thread_local bool passwordsRead = false;
        sqlite3_stmt* started = static_cast<sqlite3_stmt*>(statement);
        const char* sql = sqlite3_sql(started);
        OpenersWatch* self = current_;
        if (self == nullptr || sql == nullptr) return 0;
        const bool begin = std::strncmp(sql, "BEGIN", 5) == 0;
        bool hashing = passwordsRead && begin;
        if (std::strncmp(sql, "SELECT user_id, password FROM users", 35) == 0) {
            passwordsRead = true;
            hashing = sqlite3_get_autocommit(sqlite3_db_handle(started)) == 0;
        }
        std::unique_lock<std::mutex> lock(self->mutex_);
        self->begins_ += begin ? 1 : 0;
        self->changed_.notify_all();
        if (!hashing || self->caught_) return 0;
        self->caught_ = true;
        self->changed_.wait_for(lock, std::chrono::seconds(20), [&] { return self->released_; });
        return 0;
    }

    static inline OpenersWatch* current_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    int begins_ = 0;
    bool caught_ = false;
    bool released_;
};

TEST_F(ServerDatabaseTest, AnOpenerWaitsForAnUpgradeThatHoldsTheWriteLongerThanALockIsWaitedFor) {
    RawExec(db_,
            "DELETE FROM system_settings WHERE name = 'TextEncoding';"
            "UPDATE pages SET ocr_text = CAST(x'e97465' AS TEXT) WHERE seq = 4");
    // Another opener upgrading it.
    sqlite3* upgrading = nullptr;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &upgrading), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(upgrading, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    OpenersWatch watch(false);
    std::string error;
    std::unique_ptr<CommandEngine> engine;
    std::thread opener([&] {
        docserver::LockWaitLimit brief(100);
        engine = CommandEngine::Open(sys_, error);
    });
    EXPECT_TRUE(watch.WaitForBegins(2)) << "a second try shows the first waited in vain";
    // It gives up: the one waiting upgrades.
    sqlite3_exec(upgrading, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(upgrading);
    opener.join();
    EXPECT_TRUE(engine) << error;
    EXPECT_EQ(RawText(db_, "SELECT ocr_text FROM pages WHERE seq = 4"), "\xc3\xa9te");
}

TEST_F(ServerDatabaseTest, WhileAnOpenerHashesPlainPasswordsOthersLogInWriteAndOpen) {
    OpenEngine();
    // An older system whose rows hold plain passwords, as older versions wrote them.
    RawExec(db_,
            "DELETE FROM system_settings WHERE name = 'TextEncoding';"
            "UPDATE users SET password = 'SECRET';"
            "INSERT INTO users(user_id, password) VALUES ('ONE', 'first'), ('TWO', 'second');"
            "INSERT INTO user_projects(user_id, project_id, security) VALUES ('ONE', 1, 255)");
    OpenersWatch watch(true);
    std::string firstError, secondError;
    std::unique_ptr<CommandEngine> first, second;
    std::thread opener([&] { first = CommandEngine::Open(sys_, firstError); });
    EXPECT_TRUE(watch.WaitForHashing());
    const std::string one = "ONE,first,Demo Project";
    {
        // No longer than the server's own writes take.
        docserver::LockWaitLimit brief(1000);
        EXPECT_EQ(Run("TALQRequiredLogin,ONE,FIRST,,DOM,1,8.6,1").substr(0, 1), "1")
            << "a plain row logs in meanwhile";
        EXPECT_EQ(Run("TALQDTPutDate," + one + ",K00002,20200101"), "OK");
        second = CommandEngine::Open(sys_, secondError);
        EXPECT_TRUE(second) << secondError;
    }
    watch.Release();
    opener.join();
    ASSERT_TRUE(first) << firstError;
    EXPECT_EQ(Run("TALQDTPutDate," + one + ",K00003,20200102"), "OK")
        << "the hash the login stored stands";
    EXPECT_FALSE(state_.ended);
    EXPECT_EQ(RawText(db_, "SELECT COUNT(*) FROM users WHERE password NOT LIKE '$pbkdf2%'"), "0");
}

// Lets another connection act just as the watched connection starts a
// statement, as the server's other workers and other processes may at any
// moment.
class InBetween {
  public:
    InBetween(sqlite3* watched, const std::string& path, int busyMs) : watched_(watched) {
        sqlite3_open(path.c_str(), &other_);
        sqlite3_busy_timeout(other_, busyMs);
        sqlite3_trace_v2(watched_, SQLITE_TRACE_STMT, &InBetween::Started, this);
    }
    virtual ~InBetween() {
        sqlite3_trace_v2(watched_, 0, nullptr, nullptr);
        sqlite3_close(other_);
    }
    InBetween(const InBetween&) = delete;
    InBetween& operator=(const InBetween&) = delete;

  protected:
    virtual void Starts(sqlite3_stmt* statement, const char* sql) = 0;
    sqlite3* watched_;
    sqlite3* other_ = nullptr;

  private:
    static int Started(unsigned, void* self, void* statement, void* text) {
        const char* sql = static_cast<const char*>(text);
        if (sql != nullptr)
            static_cast<InBetween*>(self)->Starts(static_cast<sqlite3_stmt*>(statement), sql);
        return 0;
    }
};

// Commits a change just before each write the watched connection starts
// outside a write transaction.
class WriterInBetween : public InBetween {
  public:
    WriterInBetween(sqlite3* watched, const std::string& path) : InBetween(watched, path, 1000) {}
    int commits = 0;

  private:
    void Starts(sqlite3_stmt* statement, const char* sql) override {
        // Trigger programs run inside their statement's write.
        if (std::strncmp(sql, "--", 2) == 0) return;
        if (sqlite3_get_autocommit(watched_) == 0) return;
        if (sqlite3_stmt_readonly(statement) != 0 && std::strncmp(sql, "BEGIN", 5) != 0) return;
        const std::string change =
            "INSERT OR REPLACE INTO system_settings(name, value) VALUES ('Elsewhere', '" +
            std::to_string(++tick_) + "')";
        if (sqlite3_exec(other_, change.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK)
            ++commits;
    }
    int tick_ = 0;
};

// Takes the page's lock just as the watched connection starts to change
// the page.
class LockTakerInBetween : public InBetween {
  public:
    LockTakerInBetween(sqlite3* watched, const std::string& path) : InBetween(watched, path, 0) {}
    int tries = 0;

  private:
    void Starts(sqlite3_stmt*, const char* sql) override {
        if (std::strncmp(sql, "INSERT OR REPLACE INTO annotations", 34) != 0 &&
            std::strncmp(sql, "UPDATE pages SET rotation", 25) != 0)
            return;
        ++tries;
        sqlite3_exec(other_,
                     "INSERT INTO page_locks(project_id, seq, user_id, session, owner, seen, "
                     "silence) VALUES (1, 3, 'OTHER', 'elsewhere/7:1@1', "
                     "'elsewhere m1 ns1 b1 7 1', strftime('%s', 'now'), 900)",
                     nullptr, nullptr, nullptr);
    }
};

TEST_F(ServerDatabaseTest, AWriteCommittedElsewhereJustBeforeACommandWritesIsNoBusy) {
    RawExec(db_, "INSERT INTO batch_printers(name, directory) VALUES ('Floor', 'batch/floor')");
    OpenEngine();
    // A holder on another machine, silent past its bound, since the opening.
    RawExec(db_,
            "INSERT INTO page_locks(project_id, seq, user_id, session, owner, seen, silence) "
            "VALUES (1, 3, 'OTHER', 'elsewhere/7:1@1', 'elsewhere m1 ns1 b1 7 1', 1, 1)");
    ASSERT_EQ(Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").substr(0, 1), "1");
    ASSERT_EQ(Run("TALQGetProjectInfo," + kP).rfind("ERROR", 0), std::string::npos);
    WriterInBetween writer(engine_->Db().Handle(), db_);
    const std::string temp = Run("TALQCreateTempFile," + kP);
    EXPECT_EQ(temp.rfind("Q", 0), 0u) << "a query list's file: " << temp;
    EXPECT_EQ(Run("TALQPutFolderDescription," + kP + ",K00001,1,Described"), "OK");
    const std::string job = Run("TALQGetNextBatch,Floor");
    EXPECT_EQ(job.rfind("batch/floor/JOB", 0), 0u) << job;
    EXPECT_EQ(Run("TALQPutAnnotations," + kP + ",K00003,8," + testsupport::AnnotationRecord("x")),
              "1")
        << "the silent holder's lock given back";
    EXPECT_EQ(RawText(db_, "SELECT COUNT(*) FROM page_locks"), "0");
    EXPECT_GE(writer.commits, 4);
}

TEST_F(ServerDatabaseTest, NoLockIsTakenBetweenAPagesLockCheckAndItsChange) {
    OpenEngine();
    ASSERT_EQ(Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").substr(0, 1), "1");
    ASSERT_EQ(Run("TALQGetProjectInfo," + kP).rfind("ERROR", 0), std::string::npos);
    const std::string count = "SELECT COUNT(*) FROM page_locks WHERE user_id = 'OTHER'";
    {
        LockTakerInBetween taker(engine_->Db().Handle(), db_);
        EXPECT_EQ(Run("TALQPutAnnotations," + kP + ",K00003,8," + testsupport::AnnotationRecord("x")),
                  "1");
        EXPECT_EQ(Run("TALQPutPageInfo," + kP + ",K00003,,1"), "OK");
        EXPECT_EQ(taker.tries, 2);
    }
    // Had the other taken its lock meanwhile, the holder's work would be undone.
    EXPECT_EQ(RawText(db_, count), "0");
}

}  // namespace
