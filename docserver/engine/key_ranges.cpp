#include "key_ranges.h"

namespace docserver {

std::vector<std::string> KeyRangeFaults(SystemDb& db) {
    // Bounds are looked up as the engine looks them up (LimitRange): by
    // the project's unique key index, case folded.
    Statement s(db,
                "SELECT up.user_id, p.name, up.first_key, up.last_key, COALESCE(f.seq, 0), "
                "COALESCE(l.seq, 0) FROM user_projects up "
                "JOIN projects p ON p.project_id = up.project_id "
                "LEFT JOIN pages f ON f.project_id = up.project_id AND f.image_key = up.first_key "
                "LEFT JOIN pages l ON l.project_id = up.project_id AND l.image_key = up.last_key "
                "WHERE (up.first_key <> '' AND f.seq IS NULL) OR (up.last_key <> '' AND "
                "l.seq IS NULL) OR f.seq > l.seq ORDER BY p.name, up.user_id");
    std::vector<std::string> faults;
    while (s.Row()) {
        const std::string user = s.Text(0), project = s.Text(1);
        const std::string first = s.Text(2), last = s.Text(3);
        std::string wrong;
        if (!first.empty() && s.Int(4) == 0) {
            wrong = "its first key " + first + " is no key of the project";
        } else if (!last.empty() && s.Int(5) == 0) {
            wrong = "its last key " + last + " is no key of the project";
        } else {
            wrong = "its first key " + first + " comes after its last key " + last;
        }
        faults.push_back("the key range of user " + user + " in project " + project + ": " + wrong +
                         "; the user is refused the project until first_key and " +
                         "last_key of that row of user_projects are set to keys of its pages " +
                         "(or to '' for no bound), the first not after the last");
    }
    return faults;
}

}  // namespace docserver
