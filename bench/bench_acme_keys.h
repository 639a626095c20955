#pragma once
// The keys of the demo system's main project, in order, read straight from
// its database: what the server benchmarks ask for.

#include <string>
#include <vector>

#include "bench_demo_system.h"
#include "engine/command_engine.h"
#include "engine/system_db.h"

namespace benchsupport {

inline std::vector<std::string> AcmeKeys(const BenchDemoSystem& system) {
    std::vector<std::string> keys;
    std::string error;
    auto engine = docserver::CommandEngine::Open(system.root + "/system", error);
    if (!engine) return keys;
    docserver::Statement rows(engine->Db(),
                              "SELECT image_key FROM pages p JOIN projects j ON "
                              "j.project_id = p.project_id WHERE j.name = 'ACME' ORDER BY seq");
    while (rows.Step()) keys.push_back(rows.Text(0));
    return keys;
}

}  // namespace benchsupport
