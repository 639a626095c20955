#pragma once
// The project tree: the project's boundary units level by level, down to the
// pages of a document, loaded lazily. Only the path to the page on display
// is read when the tree is built; a unit gets its children when the user
// opens it and forgets them when it is closed; each level is read in pages
// of 200 entries with paging nodes at either end. The main window docks it
// into its tree pane and reaches it through SyncTreeView and FocusTreeView.

#include <QWidget>

#include <QIcon>

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "navigation/project_tree.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace navigation {

class frmPrjVw : public QWidget {
    Q_OBJECT
  public:
    explicit frmPrjVw(QWidget* parent = nullptr);
    ~frmPrjVw() override;

    // Set by the host before Form_Load.
    ProjectTreeHost* MainView = nullptr;

    void Form_Load();
    void Form_Activate();
    void Form_Unload();

    // Rebuilds the whole tree down to key ("" = the project's first key).
    void SyncTreeView(std::string key);
    // Selects the page node of key; rebuilds when it is not in the tree.
    void FocusTreeView(const std::string& key);

    // Tree events, as the control delivers them.
    void TView1_MouseDown(Qt::MouseButton Button);
    void TView1_NodeClick(QTreeWidgetItem* Node);
    void TView1_Collapse(QTreeWidgetItem* Node);
    void TView1_DblClick();
    // Right arrow; the key then goes on to the control.
    void TView1_KeyDown(int KeyCode);
    // Enter; true when the key was swallowed.
    bool TView1_KeyPress(int KeyAscii);

    // A node's key (char(position) & entry key; "" for a paging node) and
    // tag (the level number; -1 for a paging node).
    static std::string NodeKey(const QTreeWidgetItem* node);
    static int NodeTag(const QTreeWidgetItem* node);
    QTreeWidgetItem* FindNode(const std::string& nodeKey) const;

    QTreeWidget* TView1;

    static constexpr const char* kMoreBefore = "<< More Before >>";
    static constexpr const char* kMoreAfter = "<< More After >>";

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ExpandSelectedNode();
    // direction 1 the page after, 2 the page before.
    void LoadScrollPage(int direction);
    // ExpandSelectedNode with the tree's drawing frozen, as a tree event.
    void ExpandFromEvent();
    // Adds a reply's paging and entry nodes under parent (roots when null)
    // at tree position p; gives the last entry whose key sorts at or before
    // key, or null, and counts the entries added.
    QTreeWidgetItem* AddLevel(QTreeWidgetItem* parent, const ProjectTreeScrollReply& reply, int p,
                              const ProjectTreeLevel& level, const std::string& key, int& added);
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const std::string& text, int picture,
                             const std::string& nodeKey, int tag);
    void RemoveChildren(QTreeWidgetItem* node);
    void ClearNodes();
    void Forget(QTreeWidgetItem* node);
    void SelectNode(QTreeWidgetItem* node);
    bool Send(ScrollDirection direction, const std::string& key, std::int32_t level,
              ProjectTreeScrollReply& reply);
    // Shows the entry's page unless it is the one on display.
    void ShowEntry(QTreeWidgetItem* node);
    void EditFolderDescription(QTreeWidgetItem* node, std::int32_t level);

    std::int16_t ActivatedOnce = 0;
    std::int16_t LastButton = 0;
    // Elsewhere: LastNodeIndex; the node last collapsed, "" for none.
    std::string LastNodeKey;
    std::int16_t TreeBusy = 0;
    std::int16_t InTreeEvent = 0;
    // Node keys are unique in the tree; upper-cased key -> node.
    std::unordered_map<std::string, QTreeWidgetItem*> nodes_;
    std::array<QIcon, 12> pictures_;
};

}  // namespace navigation
