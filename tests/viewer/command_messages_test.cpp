#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/scoped_env.h"
#include "viewer/command_messages.h"

namespace {

using modView::CommandMessage;
using modView::ParseCommandMessage;

TEST(CommandMessageQueue, HoldsTenInOrderAndRefusesTheEleventh) {
    modView::MessageQueue queue;
    for (int i = 1; i <= 10; ++i) EXPECT_TRUE(queue.Append("M" + std::to_string(i)));
    EXPECT_FALSE(queue.Append("M11"));
    EXPECT_EQ(queue.Count(), 10);
    EXPECT_EQ(queue.TakeFirst(), "M1");
    EXPECT_TRUE(queue.Append("M11"));
    queue.RemoveFirst();
    EXPECT_EQ(queue.First(), "M3");
    queue.Clear();
    queue.RemoveFirst();  // never below empty
    EXPECT_TRUE(queue.Empty());
}

TEST(CommandMessageExecute, KnownCommandsQueueInTheirOwnCaseAndExitNeedsNoComma) {
    using V = std::vector<std::string>;
    EXPECT_EQ(modView::MessagesForExecute("view,abc0001"), V{"DDE,view,abc0001"});
    EXPECT_EQ(modView::MessagesForExecute("ListCreate,/Home/Keys.txt"),
              V{"DDE,ListCreate,/Home/Keys.txt"});
    EXPECT_EQ(modView::MessagesForExecute("EXIT,now"), V{});
    EXPECT_EQ(modView::MessagesForExecute("OPEN,x"), V{});
    EXPECT_EQ(modView::MessagesForExecute("please exit"), V{"DDE,EXIT"});
    EXPECT_EQ(modView::MessagesForExecute("exit closeapp"), (V{"DDE,EXIT", "DDE,EXIT"}));
    EXPECT_EQ(modView::MessagesForExecute("hello"), V{});
}

TEST(CommandMessagePoke, ItemsNameTheirCommandAndEmptyTextsQueueNothing) {
    std::string message;
    EXPECT_TRUE(modView::MessageForPoke("view", "k1", message));
    EXPECT_EQ(message, "DDE,VIEW,k1");
    EXPECT_TRUE(modView::MessageForPoke("ProjView", "", message));
    EXPECT_EQ(message, "");
    EXPECT_TRUE(modView::MessageForPoke("CloseApp", "x", message));
    EXPECT_EQ(message, "DDE,EXIT");
    EXPECT_FALSE(modView::MessageForPoke("Exit", "x", message));
}

TEST(CommandMessageParse, ArgumentsAreUpperCasedButFilePathsKeepTheirCase) {
    CommandMessage view = ParseCommandMessage("DDE,view,abc0001,ignored");
    EXPECT_EQ(view.command, "VIEW");
    EXPECT_EQ(view.key, "ABC0001");
    EXPECT_TRUE(view.keyGiven);
    EXPECT_EQ(view.errorCode, 0);

    CommandMessage list = ParseCommandMessage("DDE,listcreate,/home/Ann/Keys.txt");
    EXPECT_EQ(list.listFile, "/home/Ann/Keys.txt");
    EXPECT_TRUE(list.listGiven);

    CommandMessage line =
        ParseCommandMessage("DDE,CmdLine,-Nann -Psecret acme:k0002 -L/tmp/Mixed.lst");
    EXPECT_EQ(line.userId, "ANN");
    EXPECT_EQ(line.password, "SECRET");
    EXPECT_EQ(line.project, "ACME");
    EXPECT_EQ(line.key, "K0002");
    EXPECT_TRUE(line.projectGiven && line.keyGiven && line.userGiven && line.listGiven);
    EXPECT_EQ(line.listFile, "/tmp/Mixed.lst");

    CommandMessage file = ParseCommandMessage("DDE,CMDLINE,\"/tmp/My Run.tlq\"");
    EXPECT_EQ(file.parameterFile, "/tmp/My Run.tlq");

    CommandMessage words = ParseCommandMessage("DDE,KEYWORDS,oil|gas");
    EXPECT_EQ(words.keywords, "OIL GAS");
    EXPECT_TRUE(words.keywordsGiven);

    CommandMessage multi = ParseCommandMessage("DDE,MULTVIEW, k1 ;;k2;");
    EXPECT_EQ(multi.listKeys, (std::vector<std::string>{"K1", "K2"}));
}

TEST(CommandMessageParse, KeysHoldingWireSeparatorsAreRefused) {
    EXPECT_TRUE(ParseCommandMessage(std::string("DDE,VIEW,K1\x1EK2")).keyRefused);
    EXPECT_FALSE(ParseCommandMessage("DDE,VIEW,K1").keyRefused);
    EXPECT_EQ(ParseCommandMessage(std::string("DDE,MULTVIEW,K1;K\x18;K3")).listKeys,
              (std::vector<std::string>{"K1", "K3"}));
}

TEST(CommandMessageFiles, NewFilesNeverReplaceOneThatExists) {
    testsupport::ScopedTempDir dir;
    testsupport::WriteFile(dir.Path() + "/RUN.TMP", "theirs");
    const std::string made = modView::CreateNewFile(dir.Path(), "RUN.TMP", "K1\r\n");
    EXPECT_EQ(made, dir.Path() + "/RUN_1.TMP");
    EXPECT_EQ(testsupport::ReadFile(dir.Path() + "/RUN.TMP"), "theirs");
    EXPECT_EQ(testsupport::ReadFile(made), "K1\r\n");
    struct stat st {};
    ASSERT_EQ(stat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(modView::CreateNewFile(dir.Path() + "/missing", "A.TMP", ""), "");
    EXPECT_EQ(modView::MultViewFileName(42, 9, 5, 7), "MV0042090507.TMP");
}

}  // namespace
