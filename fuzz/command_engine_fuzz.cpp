// Command texts, one a line, against an engine over a small system directory
// made once for the run, on a connection logged in with the project open.
#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/command_engine.h"
#include "engine/system_db.h"
#include "engine/system_init.h"

namespace {

docserver::CommandEngine* Engine() {
    static std::unique_ptr<docserver::CommandEngine> engine = [] {
        // Text pages are typeset with the application's fonts, as in the server.
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "fuzz_command_engine";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
        char pattern[] = "/tmp/talq-fuzz-engine-XXXXXX";
        const char* root = mkdtemp(pattern);
        if (root == nullptr) abort();
        static std::string made = root;
        std::atexit([] { std::filesystem::remove_all(made); });
        std::string dir = std::string(root) + "/sys";
        std::string error;
        if (!docserver::InitSystem(dir, "ADMIN", "SECRET", error)) abort();
        docserver::SystemDb db;
        if (!db.Open(dir + "/system.db", false, error)) abort();
        std::string sql =
            "BEGIN;"
            "INSERT INTO projects(project_id, name, description, backward_link, print_message, "
            "restriction, bndry_3rd_party, full_text, record_skipped, further_text1, "
            "further_text2) VALUES (1, 'P', 'd', 'l', 'm', 4, 2, 1, '9', 'x1', 'x2');"
            "INSERT INTO boundary_levels VALUES (1, 1, 1, 'Document', 'doc.ico', 68),"
            " (1, 2, 2, 'Folder', 'fld.ico', 32);"
            "INSERT INTO info_fields VALUES (1, 1, 1, 'Author');"
            "INSERT INTO user_projects(user_id, project_id, security) VALUES ('ADMIN', 1, 255);"
            "INSERT INTO tags(project_id, tag_id, name) VALUES (1,1,'Hot');";
        for (int i = 1; i <= 12; ++i) {
            std::string seq = std::to_string(i);
            sql +=
                "INSERT INTO pages(project_id, seq, image_key, bndry_level, doc_date, ocr_text) "
                "VALUES (1," +
                seq + ",'K" + seq + "'," + std::to_string(i % 5 == 1 ? 1 : 0) + ",'2000010" +
                std::to_string(i % 9 + 1) + "','a brown fox');";
        }
        sql += "INSERT INTO annotations VALUES (1, 3, 16, 'memo');COMMIT;";
        if (!db.Exec(sql, error)) abort();
        auto opened = docserver::CommandEngine::Open(dir + "/", error);
        if (!opened) abort();
        return opened;
    }();
    return engine.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    docserver::CommandEngine* engine = Engine();
    // Logged in with the project open, once: most commands are refused
    // before their handler otherwise.
    static const docserver::ConnectionState loggedIn = [engine] {
        docserver::ConnectionState first;
        first.session = "fuzz";
        const std::string login = "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1";
        if (engine->Execute(first, login).rfind("1", 0) != 0 ||
            engine->Execute(first, "TALQGetProjectInfo,ADMIN,SECRET,P").rfind("ERROR", 0) == 0)
            abort();
        return first;
    }();
    docserver::ConnectionState state = loggedIn;
    std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t pos = 0;
    int commands = 0;
    while (pos <= text.size() && commands++ < 8) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string reply = engine->Execute(state, text.substr(pos, end - pos));
        if (reply.empty()) abort();
        pos = end + 1;
    }
    engine->EndConnection(state);
    return 0;
}
