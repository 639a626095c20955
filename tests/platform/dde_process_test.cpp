// The message layer between processes: talq-dde-peer plays a running viewer
// or the document database program, talq-dde is the scripts' client.

#include <sys/stat.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QProcess>

#include "platform/clock.h"
#include "platform/dde.h"
#include "platform/event_pump.h"
#include "support/scoped_env.h"
#include "support/wait_until.h"

namespace {

using testsupport::WaitUntil;

QString Tool(const char* name) {
    return QCoreApplication::applicationDirPath() + "/" + name;
}

class DdeProcesses : public ::testing::Test {
  protected:
    std::string LogOf(const std::string& name) const { return stores_.Root() + "/" + name; }
    std::string Log(const std::string& name) const { return testsupport::ReadFile(LogOf(name)); }

    // Starts a peer that serves until the test ends.
    QProcess* StartPeer(QStringList args, const std::string& log) {
        auto* peer = new QProcess;
        peers_.emplace_back(peer);
        args << "--log" << QString::fromStdString(LogOf(log));
        peer->start(Tool("talq-dde-peer"), args);
        EXPECT_TRUE(WaitUntil([&] { return Log(log).find("READY\n") != std::string::npos; }))
            << Log(log);
        return peer;
    }

    // Runs a program to its end; gives its exit code, -1 when it does not end.
    int Run(const char* tool, const QStringList& args, std::string* err = nullptr) {
        QProcess p;
        p.start(Tool(tool), args);
        bool ended =
            WaitUntil([&] { return p.state() == QProcess::NotRunning || p.waitForFinished(0); });
        if (!ended) {
            p.kill();
            p.waitForFinished(5000);
            return -1;
        }
        if (err) *err = p.readAllStandardError().toStdString();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    void TearDown() override {
        for (auto& peer : peers_) {
            peer->kill();
            peer->waitForFinished(5000);
        }
    }

    testsupport::ScopedUserStores stores_;
    std::vector<std::unique_ptr<QProcess>> peers_;
    const QStringList viewer_{"--app", "talqvyn", "--topic", "Level2Server", "--single-instance"};
};

TEST_F(DdeProcesses, SecondInstanceHandsItsCommandLineToTheFirstAndEnds) {
    StartPeer(viewer_, "first.log");

    QStringList second = viewer_;
    second << "--log" << QString::fromStdString(LogOf("second.log")) << "-Nuser"
           << "-Ppw"
           << "Demo:ABC0001";
    EXPECT_EQ(Run("talq-dde-peer", second), 0);
    EXPECT_EQ(Log("second.log"), "HANDED OVER\n");

    // An empty command line only brings the first to the front.
    QStringList third = viewer_;
    third << "--log" << QString::fromStdString(LogOf("third.log"));
    EXPECT_EQ(Run("talq-dde-peer", third), 0);

    EXPECT_EQ(Log("first.log"),
              "READY\nLINK\nEXECUTE CmdLine,-Nuser -Ppw Demo:ABC0001\nLINK\nFRONT\n");
}

TEST_F(DdeProcesses, CrashedFirstInstanceLeavesNothingThatBlocksTheNext) {
    QProcess* crashed = StartPeer(viewer_, "crashed.log");
    crashed->kill();  // no chance to remove its socket or release anything by hand
    crashed->waitForFinished(5000);
    struct stat st {};
    ASSERT_EQ(stat(platform::DdeSocketPath("talqvyn", "Level2Server").c_str(), &st), 0);
    ASSERT_EQ(stat(platform::DdeLockPath("talqvyn").c_str(), &st), 0);

    StartPeer(viewer_, "next.log");
    QStringList second = viewer_;
    second << "--log" << QString::fromStdString(LogOf("second.log")) << "ABC0002";
    EXPECT_EQ(Run("talq-dde-peer", second), 0);
    EXPECT_EQ(Log("next.log"), "READY\nLINK\nEXECUTE CmdLine,ABC0002\n");
}

TEST_F(DdeProcesses, TalqDdeReportsSuccessAndFailureThroughItsExitCode) {
    StartPeer({"--app", "talqvyn", "--topic", "Level2Server", "--refuse", "NOPE=6:Key not found"},
              "viewer.log");

    EXPECT_EQ(Run("talq-dde", {"execute", "VIEW,ABC0001"}), 0);
    EXPECT_EQ(Run("talq-dde", {"poke", "View", "ABC0002"}), 0);
    std::string err;
    EXPECT_EQ(Run("talq-dde", {"execute", "VIEW,NOPE"}, &err), 1);
    EXPECT_NE(err.find("error 6: Key not found"), std::string::npos) << err;
    EXPECT_EQ(Run("talq-dde", {"--app", "DocDB", "--timeout", "500", "execute", "x"}, &err), 1);
    EXPECT_NE(err.find("No program answered"), std::string::npos) << err;
    EXPECT_EQ(Run("talq-dde", {"execute"}), 2);

    EXPECT_EQ(Log("viewer.log"),
              "READY\nLINK\nEXECUTE VIEW,ABC0001\nLINK\nPOKE View ABC0002\nLINK\n"
              "EXECUTE VIEW,NOPE\n");
}

TEST_F(DdeProcesses, PeerPlayingTheDatabaseRecordsTheLinkExecutesByteForByte) {
    StartPeer({"--app", "DocDB", "--topic", "Cases"}, "docdb.log");
    platform::DdeClient client;
    ASSERT_TRUE(client.Link("DocDB|*").ok);
    ASSERT_TRUE(client.Execute(std::string("goto DOCID = ABC0001\0", 21)).ok);
    ASSERT_TRUE(client.Execute("repaint").ok);
    client.Close();
    EXPECT_EQ(Log("docdb.log"), "READY\nLINK\nEXECUTE goto DOCID = ABC0001%00\nEXECUTE repaint\n");
}

}  // namespace
