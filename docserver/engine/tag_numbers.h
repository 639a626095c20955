#pragma once
// Numbers of a project's tags.

namespace docserver {

// The number a new tag of the project bound as ?1 takes: above every number
// its tags have had, so one deleted is never given again (tag_numbers keeps
// the highest, tags inserted by other tools included).
inline constexpr const char* kNextTagIdSql =
    "(SELECT MAX(COALESCE((SELECT last_tag_id FROM tag_numbers WHERE project_id = ?1), 0), "
    "COALESCE(MAX(tag_id), 0)) + 1 FROM tags WHERE project_id = ?1)";

}  // namespace docserver
