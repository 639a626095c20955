// The project tree against the stand-in server's engine on a project of
// 30,000 pages: built lazily down to a key, paged, opened and closed,
// clicked, and describing folders.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTreeWidget>

#include <functional>
#include <map>
#include <memory>

#include "../docserver/test_system.h"
#include "engine/command_engine.h"
#include "engine/system_db.h"
#include "engine/system_init.h"
#include "navigation/widgets/frm_prj_vw.h"
#include "platform/scripted_prompts.h"
#include "support/scoped_env.h"

namespace {

using navigation::frmPrjVw;
using testsupport::PageKey;

// 30,000 pages: two boxes of 15,000 pages, folders of 50 pages, documents
// of 5, and one long document K22501..K23000 alone in its folder.
const char* const kPagesSql =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000) "
    "INSERT INTO pages(project_id, seq, image_key, bndry_level) "
    "SELECT 1, i, 'K' || substr('0000' || i, -5, 5), "
    "CASE WHEN (i - 1) % 15000 = 0 THEN 3 "
    "WHEN i > 22500 AND i <= 23000 THEN (CASE WHEN i = 22501 THEN 2 ELSE 0 END) "
    "WHEN (i - 1) % 50 = 0 THEN 2 WHEN (i - 1) % 5 = 0 THEN 1 ELSE 0 END FROM n;";

// The main window as the tree sees it, answered by the engine.
class EngineTreeHost : public navigation::ProjectTreeHost {
  public:
    explicit EngineTreeHost(const std::string& dir) {
        std::string error;
        engine_ = docserver::CommandEngine::Open(dir, error);
        EXPECT_TRUE(engine_) << error;
        engine_->Execute(state_, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    }
    bool RemotePassThrough(const std::string& command, std::string& reply, bool) override {
        // Verb and level: "TALQGetScroll 2".
        const std::string verb = command.substr(0, command.find(','));
        const auto end = command.rfind(",200,1");
        ++requests[verb + " " +
                   command.substr(command.rfind(',', end - 1) + 1,
                                  end - command.rfind(',', end - 1) - 1)];
        if (script && script(command, reply)) return reply.rfind("ERROR", 0) != 0;
        reply = engine_->Execute(state_, command);
        return reply.rfind("ERROR", 0) != 0;
    }
    std::string UserName() override { return "ADMIN"; }
    std::string UserPswrd() override { return "SECRET"; }
    std::string ProjectName() override { return "Big"; }
    bool ReadTagPool(std::string& list) override {
        list.clear();
        return true;
    }
    bool IsRequestInProcess() override { return busy; }
    int BndryNbr() override { return 3; }
    std::string BndryLvls() override { return "3|2|1"; }
    std::string BndryIcons() override { return "1|2|3"; }
    bool FirstKey(std::string& key) override {
        key = engine_->Execute(state_, "TALQNextKey,ADMIN,SECRET,Big,,0");
        return key != "NONE";
    }
    std::string GetFolderDescription(const std::string& key, std::int32_t level) override {
        descriptionsRead.push_back(key);
        if (beforeRead) beforeRead();
        const std::string text =
            engine_->Execute(state_, "TALQGetFolderDescription,ADMIN,SECRET,Big," + key + "," +
                                         std::to_string(level));
        return text == "NONE" ? "" : text;
    }
    bool PutFolderDescription(const std::string& key, std::int32_t level,
                              const std::string& text) override {
        descriptionsPut.push_back(key + "|" + std::to_string(level) + "|" + text);
        return engine_->Execute(state_, "TALQPutFolderDescription,ADMIN,SECRET,Big," + key + "," +
                                            std::to_string(level) + "," + text) == "OK";
    }
    std::string CurrentImageKey() override { return current; }
    std::int32_t AnnotFeatureMask() override { return mask; }
    void SetProjectViewOpen(bool open) override { this->open = open; }
    bool DisplayImage(const std::string& key) override {
        shown.push_back(key);
        current = key;
        return true;
    }

    std::map<std::string, int> requests;
    std::function<bool(const std::string&, std::string&)> script;
    std::function<void()> beforeRead;
    std::vector<std::string> shown, descriptionsRead, descriptionsPut;
    std::string current;
    std::int32_t mask = 0;
    bool busy = false, open = false;

  private:
    std::unique_ptr<docserver::CommandEngine> engine_;
    docserver::ConnectionState state_;
};

class ProjectTree : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::ScopedTempDir();
        const std::string sys = dir_->Path() + "/sys";
        std::string error;
        ASSERT_TRUE(docserver::InitSystem(sys, "ADMIN", "SECRET", error)) << error;
        docserver::SystemDb db;
        ASSERT_TRUE(db.Open(sys + "/system.db", false, error)) << error;
        std::string sql =
            "BEGIN;INSERT INTO projects(project_id, name) VALUES (1, 'Big');"
            "INSERT INTO boundary_levels(project_id, position, level, description) VALUES "
            "(1, 1, 3, 'Box'), (1, 2, 2, 'Folder'), (1, 3, 1, 'Document');"
            "INSERT INTO user_projects(user_id, project_id, security) VALUES ('ADMIN', 1, 1);";
        ASSERT_TRUE(db.Exec(sql + kPagesSql + "COMMIT;", error)) << error;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    ProjectTree() : host(dir_->Path() + "/sys"), scoped_(prompts) {
        tree.MainView = &host;
        tree.Form_Load();
        tree.resize(300, 600);
        tree.show();
        QApplication::processEvents();
        host.requests.clear();
    }

    QTreeWidgetItem* Node(int position, int page) {
        return tree.FindNode(std::string(1, static_cast<char>(position)) + PageKey(page));
    }
    std::string Key(QTreeWidgetItem* node) { return frmPrjVw::NodeKey(node).substr(1); }
    std::string Selected() { return Key(tree.TView1->currentItem()); }
    int Requests() {
        int n = 0;
        for (const auto& r : host.requests) n += r.second;
        return n;
    }
    void Mouse(QTreeWidgetItem* node, Qt::MouseButton button) {
        tree.TView1->scrollToItem(node);
        const QPointF at = tree.TView1->visualItemRect(node).center();
        QWidget* viewport = tree.TView1->viewport();
        QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), button,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &release);
    }
    void DoubleClick(QTreeWidgetItem* node) {
        Mouse(node, Qt::LeftButton);
        const QPointF at = tree.TView1->visualItemRect(node).center();
        QWidget* viewport = tree.TView1->viewport();
        QMouseEvent again(QEvent::MouseButtonDblClick, at, viewport->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &again);
        QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &release);
    }
    void Key(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(tree.TView1, &press);
    }

    static inline testsupport::ScopedTempDir* dir_ = nullptr;
    EngineTreeHost host;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    frmPrjVw tree;
};

TEST_F(ProjectTree, BuildsOnlyThePathToAKeyWithOneRequestPerLevel) {
    EXPECT_TRUE(host.open);
    tree.SyncTreeView(PageKey(22750));
    EXPECT_EQ(host.requests, (std::map<std::string, int>{{"TALQGetScroll 3", 1},
                                                         {"TALQGetScroll 2", 1},
                                                         {"TALQGetScroll 1", 1},
                                                         {"TALQGetScroll 0", 1}}));
    EXPECT_EQ(Selected(), PageKey(22750));
    // Two boxes; 200 of the second box's 300 folders with paging nodes at
    // both ends; the long document's one folder; 200 of its 500 pages.
    ASSERT_EQ(tree.TView1->topLevelItemCount(), 2);
    QTreeWidgetItem* box = Node(0, 15001);
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->childCount(), 202);
    EXPECT_EQ(box->child(0)->text(0).toStdString(), frmPrjVw::kMoreBefore);
    EXPECT_EQ(box->child(201)->text(0).toStdString(), frmPrjVw::kMoreAfter);
    EXPECT_EQ(Node(0, 1)->childCount(), 0);
    QTreeWidgetItem* document = Node(2, 22501);
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(document->childCount(), 202);
    EXPECT_TRUE(document->isExpanded() && box->isExpanded());
    EXPECT_EQ(frmPrjVw::NodeTag(document), 1);
    EXPECT_EQ(frmPrjVw::NodeTag(Node(3, 22750)), 0);

    // The page shown next is selected without a request, while a page of
    // another document rebuilds the path.
    tree.FocusTreeView(PageKey(22751));
    EXPECT_EQ(Selected(), PageKey(22751));
    EXPECT_EQ(Requests(), 4);
    tree.FocusTreeView(PageKey(7));
    EXPECT_EQ(Selected(), PageKey(7));
    EXPECT_EQ(Requests(), 8);
    // An empty key stands for the project's first page.
    tree.SyncTreeView("");
    EXPECT_EQ(Selected(), PageKey(1));
}

TEST_F(ProjectTree, PagingNodesLoadThePageAfterAndBeforeAndShowItsEntry) {
    tree.SyncTreeView(PageKey(22750));
    QTreeWidgetItem* document = Node(2, 22501);
    tree.TView1->setCurrentItem(document->child(document->childCount() - 1));
    Key(Qt::Key_Return);
    EXPECT_EQ(host.requests["TALQGetNextScroll 0"], 1);
    document = Node(2, 22501);
    // The pages after the window's last, the first of them shown.
    const std::string first = Selected();
    EXPECT_GT(first, PageKey(22750));
    EXPECT_EQ(host.shown.back(), first);
    EXPECT_EQ(document->child(0)->text(0).toStdString(), frmPrjVw::kMoreBefore);
    EXPECT_EQ(Node(3, 22750), nullptr);

    tree.TView1->setCurrentItem(document->child(0));
    Key(Qt::Key_Return);
    EXPECT_EQ(host.requests["TALQGetPrevScroll 0"], 1);
    // The pages before, the last of them chosen.
    EXPECT_EQ(Selected(), PageKey(std::stoi(first.substr(1)) - 1));

    // Paging the first level drops every other level.
    tree.SyncTreeView(PageKey(22750));
    host.script = [](const std::string& command, std::string& reply) {
        if (command.rfind("TALQGetNextScroll", 0) != 0) return false;
        reply = "MOREBEFORE";
        return true;
    };
    QTreeWidgetItem* box = Node(0, 15001);
    tree.TView1->setCurrentItem(box->child(box->childCount() - 1));
    Key(Qt::Key_Return);
    ASSERT_EQ(box->childCount(), 1);
    // A paging node with no entry beside it does nothing.
    const int before = Requests();
    tree.TView1->setCurrentItem(box->child(0));
    Key(Qt::Key_Return);
    EXPECT_EQ(Requests(), before);
    host.script = [](const std::string& command, std::string& reply) {
        if (command.rfind("TALQGetPrevScroll", 0) != 0) return false;
        reply = "MOREBEFORE,K00000A,K00000B";
        return true;
    };
    tree.SyncTreeView(PageKey(22750));
    host.shown.clear();
    tree.TView1->setCurrentItem(tree.TView1->topLevelItem(0));
    tree.TView1->insertTopLevelItem(0, new QTreeWidgetItem(QStringList(frmPrjVw::kMoreBefore)));
    tree.TView1->setCurrentItem(tree.TView1->topLevelItem(0));
    Key(Qt::Key_Return);
    EXPECT_EQ(tree.TView1->topLevelItemCount(), 3);
    EXPECT_EQ(Node(1, 22501), nullptr);
    EXPECT_EQ(Selected(), "K00000B");
    EXPECT_EQ(host.shown, std::vector<std::string>{"K00000B"});
}

TEST_F(ProjectTree, AClickShowsThePageAndUnitsOpenLazilyAndForgetTheirChildren) {
    tree.SyncTreeView(PageKey(22750));
    host.current = PageKey(22750);
    Mouse(Node(3, 22760), Qt::LeftButton);
    EXPECT_EQ(host.shown, std::vector<std::string>{PageKey(22760)});

    // Closing a unit drops its children; a double click just after does not
    // reopen it, a second one does, with one request, and shows its first page.
    QTreeWidgetItem* folder = Node(1, 20001);
    ASSERT_NE(folder, nullptr);
    tree.TView1->setCurrentItem(folder);
    Key(Qt::Key_Return);
    EXPECT_EQ(host.requests["TALQGetScroll 1"], 2);
    ASSERT_EQ(folder->childCount(), 10);
    EXPECT_EQ(host.shown.back(), PageKey(20001));
    DoubleClick(folder);
    EXPECT_FALSE(folder->isExpanded());
    EXPECT_EQ(folder->childCount(), 0);
    EXPECT_EQ(host.requests["TALQGetScroll 1"], 2);
    DoubleClick(folder);
    ASSERT_EQ(folder->childCount(), 10);
    EXPECT_TRUE(folder->isExpanded());
    EXPECT_EQ(host.requests["TALQGetScroll 1"], 3);
    // Right arrow opens a closed document.
    QTreeWidgetItem* document = folder->child(2);
    tree.TView1->setCurrentItem(document);
    Key(Qt::Key_Right);
    EXPECT_EQ(document->childCount(), 5);
    // Pages have no children to open.
    tree.TView1->setCurrentItem(document->child(1));
    const int before = Requests();
    Key(Qt::Key_Return);
    EXPECT_EQ(Requests(), before);

    // While a request runs, clicks and opening beep and send nothing.
    host.busy = true;
    host.shown.clear();
    Mouse(Node(3, 22770), Qt::LeftButton);
    tree.TView1->setCurrentItem(Node(1, 20051));
    Key(Qt::Key_Return);
    EXPECT_TRUE(host.shown.empty());
    EXPECT_EQ(Requests(), before);
    EXPECT_EQ(prompts.Beeps(), 2);
}

TEST_F(ProjectTree, ARightClickOnAUnitEditsTheDescriptionOfThatUnit) {
    tree.SyncTreeView(PageKey(22750));
    host.current = PageKey(22750);
    QTreeWidgetItem* folder = Node(1, 20051);
    ASSERT_NE(folder, nullptr);
    prompts.QueueInput("Invoices, 1999");
    Mouse(folder, Qt::RightButton);
    // The unit clicked, not the page on display.
    EXPECT_EQ(host.descriptionsPut, std::vector<std::string>{"K20051|2|Invoices, 1999"});
    EXPECT_EQ(folder->text(0).toStdString(), "Invoices, 1999");
    ASSERT_EQ(prompts.Records().size(), 1u);
    EXPECT_EQ(prompts.Records()[0].text, "Please Enter a Folder Description");
    EXPECT_EQ(prompts.Records()[0].title, " ");

    struct Case {
        const char* answer;
        const char* put;   // "" none
        const char* text;  // the node's text afterwards
    } cases[] = {
        {"Invoices, 1999", "", "Invoices, 1999"},  // unchanged: nothing sent
        {"", "", "Invoices, 1999"},                // cancelled
        {"Bad\tname", "", "Invoices, 1999"},       // refused
        {"Two\nlines", "", "Invoices, 1999"},
        {" ", "K20051|2|", "K20051"},  // a blank removes it
    };
    for (const Case& c : cases) {
        host.descriptionsPut.clear();
        prompts.Clear();
        prompts.QueueInput(c.answer);
        Mouse(folder, Qt::RightButton);
        EXPECT_EQ(host.descriptionsPut.empty() ? "" : host.descriptionsPut[0], c.put) << c.answer;
        EXPECT_EQ(folder->text(0).toStdString(), c.text) << c.answer;
    }
    // The earlier text was offered with the hint how to remove it.
    host.descriptionsPut.clear();
    prompts.Clear();
    prompts.QueueInput("Again");
    Mouse(folder, Qt::RightButton);
    prompts.Clear();
    Mouse(folder, Qt::RightButton);
    ASSERT_FALSE(prompts.Records().empty());
    EXPECT_EQ(prompts.Records()[0].text, "Again\n(Enter a SPACE to Remove Description)");

    // Another reviewer's text, stored while the box was open, is shown, not written over.
    int reads = 0;
    host.beforeRead = [&] {
        if (++reads == 2) host.PutFolderDescription("K20051", 2, "Theirs");
    };
    host.descriptionsPut.clear();
    prompts.Clear();
    prompts.QueueInput("Mine");
    Mouse(folder, Qt::RightButton);
    host.beforeRead = nullptr;
    EXPECT_EQ(host.descriptionsPut, std::vector<std::string>{"K20051|2|Theirs"});
    EXPECT_EQ(folder->text(0).toStdString(), "Theirs");
    EXPECT_EQ(prompts.Messages().back(),
              "The folder description was changed meanwhile. It now reads:\nTheirs");

    // Pages and a window that forbids it offer no description.
    prompts.Clear();
    Mouse(Node(3, 22750), Qt::RightButton);
    host.mask = 0x800;
    Mouse(folder, Qt::RightButton);
    EXPECT_TRUE(prompts.Records().empty());
}

}  // namespace
