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

std::string PageKey(int n) {
    std::string digits = std::to_string(n);
    return "K" + std::string(digits.size() < 5 ? 5 - digits.size() : 0, '0') + digits;
}

std::string AnnotationRecord(const std::string& text, const std::string& stamp) {
    const std::string f(1, 31);
    return "10" + f + "10" + f + "40" + f + "40" + f + "0" + f + f + "0" + f + "0" + f + "0" + f +
           "0" + f + "1" + f + stamp + f + text;
}

void MakeQuerySystem(const std::string& dir, int pages, int hotCount) {
    MakeTestSystem(dir);
    std::string error;
    docserver::SystemDb db;
    ASSERT_TRUE(db.Open(dir + "/system.db", false, error)) << error;
    std::string sql =
        "BEGIN;INSERT INTO tags(project_id, tag_id, name) VALUES (1,1,'Hot'),(1,2,'Even');";
    for (int i = 1; i <= pages; ++i) {
        int level = (i - 1) % 50 == 0 ? 3 : (i - 1) % 20 == 0 ? 2 : (i - 1) % 5 == 0 ? 1 : 0;
        std::string date = i <= 10 ? "200001" + std::to_string(30 - i) : "";
        std::string ocr = i == 7 ? "the quick brown fox" : i == 8 ? "a brown dog" : "";
        std::string seq = std::to_string(i);
        sql +=
            "INSERT INTO pages(project_id, seq, image_key, bndry_level, doc_date, ocr_text) "
            "VALUES (1," +
            seq + ",'" + PageKey(i) + "'," + std::to_string(level) + ",'" + date + "','" + ocr +
            "');";
        if (i <= hotCount) sql += "INSERT INTO page_tags VALUES (1," + seq + ",1);";
        if (i % 2 == 0) sql += "INSERT INTO page_tags VALUES (1," + seq + ",2);";
    }
    sql += "INSERT INTO annotations VALUES (1, 12, 16, '" +
           AnnotationRecord("Privileged memo text") + "');COMMIT;";
    ASSERT_TRUE(db.Exec(sql, error)) << error;
}

}  // namespace testsupport
