// Each program answers --help and names what is wrong on its command line.

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <string>
#include <utility>

#include "engine/command_engine.h"
#include "support/scoped_env.h"

namespace {

struct Ended {
    int code = -1;  // -1: still running after the wait, or crashed
    std::string out;
    std::string err;
};

Ended RunProgram(const std::string& program, const QStringList& args) {
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + "/" + QString::fromStdString(program), args);
    Ended ended;
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished(5000);
        return ended;
    }
    if (p.exitStatus() == QProcess::NormalExit) ended.code = p.exitCode();
    ended.out = p.readAllStandardOutput().toStdString();
    ended.err = p.readAllStandardError().toStdString();
    return ended;
}

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ProgramCommandLines : public ::testing::Test {
  protected:
    // A viewer that took --help for a command line would find no other.
    testsupport::ScopedUserStores stores_;
    QString Folder(const char* name) const {
        return QString::fromStdString(stores_.Root()) + "/" + name;
    }
};

TEST_F(ProgramCommandLines, HelpPrintsTheUsageAndExitsZero) {
    for (const std::string program : {"talqvyn", "talq-server", "talq-demo", "talq-demo-config",
                                      "talq-viewer-shot", "talq-dde", "talq-dde-peer"}) {
        const Ended help = RunProgram(program, {"--help"});
        EXPECT_EQ(help.code, 0) << program;
        EXPECT_TRUE(Holds(help.out, "usage: " + program)) << program << ": " << help.out;
    }
    EXPECT_TRUE(Holds(RunProgram("talqvyn", {"-h"}).out, "PROJECT:KEY"));
}

TEST_F(ProgramCommandLines, AWrongValueIsNamedWithWhatIsAllowed) {
    const Ended port = RunProgram("talq-server", {"--system", Folder("none"), "--port", "99999"});
    EXPECT_EQ(port.code, 2);
    EXPECT_TRUE(Holds(port.err, "--port 99999: give a whole number from 0 to 65535")) << port.err;

    const Ended workers = RunProgram("talq-server", {"--workers", "0"});
    EXPECT_EQ(workers.code, 2);
    EXPECT_TRUE(Holds(workers.err, "--workers 0: give a whole number from 1 to 256"))
        << workers.err;

    // A folder without a system is a wrong value of --system, told before anything opens.
    ASSERT_TRUE(QDir().mkpath(Folder("empty")));
    for (const QString& folder : {Folder("empty"), Folder("missing")}) {
        const Ended none = RunProgram("talq-server", {"--system", folder, "--port", "0"});
        EXPECT_EQ(none.code, 2) << folder.toStdString();
        EXPECT_TRUE(Holds(none.err, "--system " + folder.toStdString() + ": give a folder"))
            << none.err;
        EXPECT_TRUE(Holds(none.err, "talq-server --init " + folder.toStdString())) << none.err;
    }

    // The address is checked first, whatever the folder holds.
    for (const char* address : {"999.1.1.1", "203.0.113.9"}) {
        const Ended wrong =
            RunProgram("talq-server", {"--system", Folder("empty"), "--address", address});
        EXPECT_EQ(wrong.code, 2) << address;
        EXPECT_TRUE(Holds(wrong.err, std::string("--address ") + address +
                                         ": give an IPv4 address of this machine"))
            << wrong.err;
    }
    // A first user whose login could not be sent would lock everyone out.
    const Ended comma = RunProgram("talq-server", {"--init", Folder("split"), "--password", "a,b"});
    EXPECT_EQ(comma.code, 2);
    EXPECT_TRUE(Holds(comma.err, "--password (3 characters): a password holds no comma"))
        << comma.err;
    EXPECT_FALSE(QFile::exists(Folder("split") + "/system.db"));
    // Nor is the user of every right made without a password.
    const Ended open = RunProgram("talq-server", {"--init", Folder("open"), "--password", ""});
    EXPECT_EQ(open.code, 2);
    EXPECT_TRUE(Holds(open.err, "--password (0 characters): a password is required")) << open.err;
    EXPECT_FALSE(QFile::exists(Folder("open") + "/system.db"));
}

TEST_F(ProgramCommandLines, AnOptionOfTheOtherUseIsRefusedNotIgnored) {
    const struct {
        QStringList args;
        const char* told;
    } cases[] = {
        {{"--init", Folder("made"), "--system", Folder("other")}, "--system is for serving"},
        {{"--init", Folder("made"), "--port", "7200"}, "--port is for serving"},
        {{"--port", "7200", "--init", Folder("made")}, "--port is for serving"},
        {{"--system", Folder("made"), "--user", "ANN"}, "--user is for the user --init makes"},
        {{"--password", "x", "--system", Folder("made")}, "--password is for the user --init"},
    };
    for (const auto& c : cases) {
        const Ended ended = RunProgram("talq-server", c.args);
        EXPECT_EQ(ended.code, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(Holds(ended.err, c.told)) << ended.err;
        EXPECT_FALSE(QFile::exists(Folder("made") + "/system.db"));
    }
}

// The command line comes in the locale's encoding and a login in the
// viewer's code page: the first user is stored as the viewer sends it, or
// refused when the code page cannot carry it; its limit counts characters.
TEST_F(ProgramCommandLines, AFirstUserBeyondAsciiLogsInAsTheViewerSendsIt) {
    ASSERT_EQ(RunProgram("talq-server",
                         {"--init", Folder("accented"), "--user", QString::fromUtf8("Jürgen"),
                          "--password", QString::fromUtf8("pässwörd")})
                  .code,
              0);
    std::string error;
    auto engine = docserver::CommandEngine::Open(Folder("accented").toStdString(), error);
    ASSERT_TRUE(engine) << error;
    docserver::ConnectionState state;
    EXPECT_EQ(engine->Execute(state, "TALQRequiredLogin,J\xfcrgen,p\xe4ssw\xf6rd,,DOM,1,8.6,1")
                  .substr(0, 1),
              "1");

    const Ended user = RunProgram(
        "talq-server", {"--init", Folder("user"), "--user", QString::fromUtf8("Łukasz")});
    EXPECT_EQ(user.code, 2);
    EXPECT_TRUE(Holds(user.err,
                      "--user Łukasz: a user id holds only characters of the "
                      "Windows-1252 code page"))
        << user.err;
    EXPECT_FALSE(QFile::exists(Folder("user") + "/system.db"));
    EXPECT_EQ(RunProgram("talq-server",
                         {"--init", Folder("longest"), "--user", QString(128, QChar(0xfc))})
                  .code,
              0);
}

TEST_F(ProgramCommandLines, DemoConfigRefusesAFolderWithoutASystemSayingWhy) {
    ASSERT_TRUE(QDir().mkpath(Folder("empty")));
    ASSERT_TRUE(QDir().mkpath(Folder("damaged")));
    {
        QFile damaged(Folder("damaged") + "/system.db");
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(4096, 'x'));
    }
    const std::pair<QString, std::string> cases[] = {
        {Folder("missing"), " does not exist"},
        {Folder("empty"), " holds no system"},
        // Never taken for a folder to make a new system in.
        {Folder("damaged"),
         " holds a system.db that is not a database (damaged, or another kind of file): "
         "file is not a database"},
    };
    for (const auto& [folder, why] : cases) {
        const Ended refused = RunProgram("talq-demo-config", {folder});
        EXPECT_EQ(refused.code, 2) << folder.toStdString();
        EXPECT_TRUE(Holds(refused.err, "DIR " + folder.toStdString() + why)) << refused.err;
    }
    EXPECT_FALSE(Holds(RunProgram("talq-demo-config", {Folder("damaged")}).err, "--init"));
    const std::string registry = stores_.Root() + "/config/talq/registry.txt";
    EXPECT_FALSE(QFile::exists(QString::fromStdString(registry)))
        << testsupport::ReadFile(registry);

    ASSERT_EQ(RunProgram("talq-server", {"--init", Folder("system")}).code, 0);
    EXPECT_EQ(RunProgram("talq-demo-config", {Folder("system")}).code, 0);
}

TEST_F(ProgramCommandLines, DemoConfigRefusesAWrongOptionNamingIt) {
    ASSERT_EQ(RunProgram("talq-server", {"--init", Folder("system")}).code, 0);
    const Ended typo =
        RunProgram("talq-demo-config", {Folder("system"), "--frist-key", "Demo Project"});
    EXPECT_EQ(typo.code, 2);
    EXPECT_TRUE(Holds(typo.err, "unknown option --frist-key")) << typo.err;
    const Ended bare = RunProgram("talq-demo-config", {Folder("system"), "--first-key"});
    EXPECT_EQ(bare.code, 2);
    EXPECT_TRUE(Holds(bare.err, "--first-key: give a project's name")) << bare.err;
    const std::string registry = stores_.Root() + "/config/talq/registry.txt";
    EXPECT_FALSE(QFile::exists(QString::fromStdString(registry))) << "stored on a wrong line";
}

}  // namespace
