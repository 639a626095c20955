#pragma once
// One demo system for a benchmark run, every user store pointed inside its
// folder, with a talq-server serving it on a loopback port.

#include <QDir>

#include <stdlib.h>

#include <functional>
#include <memory>
#include <string>

#include "bench_main.h"
#include "demo/demo_database.h"
#include "demo/demo_system.h"
#include "foundation/mod_registry.h"
#include "server/talq_client_api.h"
#include "support/server_process.h"

namespace benchsupport {

struct BenchDemoSystem {
    std::string root;
    std::unique_ptr<testsupport::ServerProcess> server;

    explicit BenchDemoSystem(const docserver::demo::DemoOptions& options) {
        char pattern[] = "/tmp/talq-bench-XXXXXX";
        root = ::mkdtemp(pattern);
        for (const char* var :
             {"HOME", "XDG_CONFIG_HOME", "TALQ_MACHINE_CONFIG_DIR", "TALQ_INI_DIR", "TMPDIR"})
            ::setenv(var, root.c_str(), 1);
        const std::string sys = root + "/system";
        QDir().mkpath(QString::fromStdString(sys));
        docserver::demo::WriteDemoSystem(sys, docserver::demo::GenerateDemoSystem(sys, options));
        modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER,
                                  "Software\\TALQTech\\VYNSYS\\Paths", "Local", sys + "/");
        server = std::make_unique<testsupport::ServerProcess>(sys);
    }
    ~BenchDemoSystem() {
        server.reset();
        QDir(QString::fromStdString(root)).removeRecursively();
    }

    // admin on ACME, through the local-access library or over TCP.
    bool OpenSession(TalqClientAPI& api, bool local) const {
        const bool open =
            local ? api.OpenTalqConnection(2, "", "", 0, 0, 0, 0)
                  : api.OpenTalqConnection(0, "DOM", "127.0.0.1", server->Port(), 0, 0, 60);
        return open && api.TalqLogin("admin", "admin", 1) && api.SelectProject("ACME");
    }
};

// The benchmarks of a program run on one demo system made with options,
// which they reach through slot; setUp reads what they need from it first.
template <class App>
int RunBenchmarksOnDemo(int argc, char** argv, const docserver::demo::DemoOptions& options,
                        BenchDemoSystem*& slot,
                        const std::function<bool(BenchDemoSystem&)>& setUp = {}) {
    std::unique_ptr<BenchDemoSystem> system;
    return RunBenchmarks<App>(argc, argv, [&] {
        system = std::make_unique<BenchDemoSystem>(options);
        slot = system.get();
        return !setUp || setUp(*system);
    });
}

}  // namespace benchsupport
