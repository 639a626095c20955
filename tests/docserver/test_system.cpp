#include "test_system.h"

#include <gtest/gtest.h>

#include "engine/system_db.h"
#include "engine/system_init.h"

namespace testsupport {

void MakeTestSystem(const std::string& dir) {
    std::string error;
    ASSERT_TRUE(docserver::InitSystem(dir, "ADMIN", "SECRET", error)) << error;
    docserver::SystemDb db;
    ASSERT_TRUE(db.Open(dir + "/system.db", false, error)) << error;
    ASSERT_TRUE(db.Exec(
        "INSERT INTO projects(project_id, name, description, backward_link, print_message, "
        "restriction, bndry_3rd_party, full_text, record_skipped, further_text1, further_text2) "
        "VALUES (1, 'Demo Project', 'The demo', 'doclink', 'Confidential', 4, 2, 1, '9', 'x1', "
        "'x2');"
        "INSERT INTO boundary_levels VALUES (1, 1, 1, 'Document', 'doc.ico', 68),"
        " (1, 2, 2, 'Folder', 'fld.ico', 32), (1, 3, 3, 'Box', 'box.ico', 66);"
        "INSERT INTO info_fields VALUES (1, 1, 1, 'Author'), (1, 2, 0, 'Pages');"
        "INSERT INTO user_projects(user_id, project_id, security) VALUES ('ADMIN', 1, 255);"
        "UPDATE system_settings SET value = '1025' WHERE name = 'SystemFlags';"
        "UPDATE system_settings SET value = '136' WHERE name = 'ExtSystemFlags';",
        error))
        << error;
}

std::string ExpectedDemoRecord() {
    const char s = 25;
    std::string fields[] = {"3",        "1",
                            "2",        "3",
                            "Document", "Folder",
                            "Box",      "doc.ico",
                            "fld.ico",  "box.ico",
                            "2",        "1",
                            "0",        "Author",
                            "Pages",    "255",
                            "9",        "2",
                            "1",        "x1",
                            "68",       "32",
                            "66",       "The demo",
                            "doclink",  "Confidential",
                            "4",        "x2"};
    std::string record;
    for (const std::string& f : fields) {
        if (!record.empty()) record.push_back(s);
        record += f;
    }
    return record;
}

}  // namespace testsupport
