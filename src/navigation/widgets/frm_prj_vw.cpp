#include "navigation/widgets/frm_prj_vw.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>

#include <array>

#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"

namespace navigation {
namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kTagRole = Qt::UserRole + 1;

// Twelve pictures (elsewhere: ImageList1): 1 a page, 2 to 12 the boundary
// levels' units.
std::array<QIcon, 12> MakePictures() {
    std::array<QIcon, 12> made;
    {
        for (int i = 0; i < 12; ++i) {
            QPixmap pixmap(16, 16);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            if (i == 0) {
                painter.setBrush(Qt::white);
                painter.setPen(Qt::darkGray);
                painter.drawRect(3, 1, 10, 13);
            } else {
                painter.setBrush(QColor::fromHsv((i * 33) % 360, 140, 230));
                painter.setPen(Qt::darkGray);
                painter.drawRect(1, 4, 14, 10);
                painter.drawRect(1, 2, 6, 2);
            }
            made[static_cast<std::size_t>(i)] = QIcon(pixmap);
        }
    }
    return made;
}

// The hourglass and frozen drawing while nodes load.
class LoadingNodes {
  public:
    explicit LoadingNodes(QWidget* tree) : tree_(tree) {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            cursor_ = true;
        }
        tree_->setUpdatesEnabled(false);
    }
    ~LoadingNodes() {
        tree_->setUpdatesEnabled(true);
        if (cursor_) QApplication::restoreOverrideCursor();
    }
    LoadingNodes(const LoadingNodes&) = delete;
    LoadingNodes& operator=(const LoadingNodes&) = delete;

  private:
    QWidget* tree_;
    bool cursor_ = false;
};

std::string EntryKey(const std::string& nodeKey) {
    return nodeKey.empty() ? std::string() : nodeKey.substr(1);
}

int Position(const std::string& nodeKey) {
    return nodeKey.empty() ? -1 : static_cast<unsigned char>(nodeKey[0]);
}

// A description must fit the server's lists: no tab, line break or other
// control character.
bool IsStorableDescription(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 32) return false;
    }
    return true;
}

}  // namespace

frmPrjVw::frmPrjVw(QWidget* parent) : QWidget(parent), pictures_(MakePictures()) {
    setWindowTitle(QStringLiteral("Project View ..."));
    TView1 = new QTreeWidget(this);
    TView1->setHeaderHidden(true);
    TView1->setColumnCount(1);
    TView1->setExpandsOnDoubleClick(false);
    TView1->setRootIsDecorated(true);
    TView1->setUniformRowHeights(true);
    TView1->setIconSize(QSize(16, 16));
    TView1->installEventFilter(this);
    TView1->viewport()->installEventFilter(this);
    connect(TView1, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        if (LastButton != 2) TView1_NodeClick(item);
    });
    connect(TView1, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { TView1_Collapse(item); });
    connect(TView1, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        // A double click toggles a unit that has children; closing raises
        // the collapse first, which keeps the double click from reopening it.
        if (item->childCount() > 0) item->setExpanded(!item->isExpanded());
        TView1_DblClick();
    });
}

frmPrjVw::~frmPrjVw() = default;

void frmPrjVw::Form_Load() {
    if (MainView != nullptr) MainView->SetProjectViewOpen(true);
    ActivatedOnce = 0;
    ClearNodes();
}

void frmPrjVw::Form_Activate() {
    if (ActivatedOnce != 0) return;
    ActivatedOnce = 1;
    if (MainView != nullptr) SyncTreeView(MainView->CurrentImageKey());
}

void frmPrjVw::Form_Unload() {
    if (MainView != nullptr) MainView->SetProjectViewOpen(false);
}

void frmPrjVw::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Activate();
}

void frmPrjVw::closeEvent(QCloseEvent* event) {
    Form_Unload();
    QWidget::closeEvent(event);
}

void frmPrjVw::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!isMinimized()) TView1->setGeometry(0, 0, width(), height());
}

bool frmPrjVw::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TView1->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            TView1_MouseDown(static_cast<QMouseEvent*>(event)->button());
        } else if (event->type() == QEvent::MouseButtonRelease) {
            // The control reports clicks of the left button only.
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::RightButton) {
                if (QTreeWidgetItem* item = TView1->itemAt(mouse->position().toPoint())) {
                    TView1->setCurrentItem(item);
                    TView1_NodeClick(item);
                }
                return true;
            }
        }
    } else if (watched == TView1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Right) TView1_KeyDown(Qt::Key_Right);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) return TView1_KeyPress(13);
    }
    return QWidget::eventFilter(watched, event);
}

std::string frmPrjVw::NodeKey(const QTreeWidgetItem* node) {
    return node == nullptr ? std::string() : node->data(0, kKeyRole).toByteArray().toStdString();
}

int frmPrjVw::NodeTag(const QTreeWidgetItem* node) {
    const QVariant tag = node == nullptr ? QVariant() : node->data(0, kTagRole);
    return tag.isValid() ? tag.toInt() : -1;
}

QTreeWidgetItem* frmPrjVw::FindNode(const std::string& nodeKey) const {
    auto it = nodes_.find(mVBUtil::UCase(nodeKey));
    return it == nodes_.end() ? nullptr : it->second;
}

QTreeWidgetItem* frmPrjVw::AddNode(QTreeWidgetItem* parent, const std::string& text, int picture,
                                   const std::string& nodeKey, int tag) {
    const std::string folded = mVBUtil::UCase(nodeKey);
    if (!nodeKey.empty() && nodes_.count(folded) != 0) return nullptr;
    auto* node = new QTreeWidgetItem();
    node->setText(0, platform::ToQString(text));
    node->setIcon(
        0, pictures_[static_cast<std::size_t>(picture >= 1 && picture <= 12 ? picture - 1 : 0)]);
    if (!nodeKey.empty()) {
        node->setData(0, kKeyRole, QByteArray::fromStdString(nodeKey));
        node->setData(0, kTagRole, tag);
        nodes_[folded] = node;
    }
    if (parent == nullptr) {
        TView1->addTopLevelItem(node);
    } else {
        parent->addChild(node);
    }
    return node;
}

void frmPrjVw::Forget(QTreeWidgetItem* node) {
    for (int i = 0; i < node->childCount(); ++i) Forget(node->child(i));
    const std::string key = NodeKey(node);
    if (!key.empty()) nodes_.erase(mVBUtil::UCase(key));
}

void frmPrjVw::RemoveChildren(QTreeWidgetItem* node) {
    for (QTreeWidgetItem* child : node->takeChildren()) {
        Forget(child);
        delete child;
    }
}

void frmPrjVw::ClearNodes() {
    nodes_.clear();
    TView1->clear();
}

void frmPrjVw::SelectNode(QTreeWidgetItem* node) {
    for (QTreeWidgetItem* up = node->parent(); up != nullptr; up = up->parent()) {
        up->setExpanded(true);
    }
    TView1->setCurrentItem(node);
    TView1->scrollToItem(node);
}

bool frmPrjVw::Send(ScrollDirection direction, const std::string& key, std::int32_t level,
                    ProjectTreeScrollReply& reply) {
    std::string text;
    if (!MainView->RemotePassThrough(ProjectTreeRequest(*MainView, direction, key, level), text,
                                     false))
        return false;
    reply = ParseProjectTreeScrollReply(text);
    return true;
}

QTreeWidgetItem* frmPrjVw::AddLevel(QTreeWidgetItem* parent, const ProjectTreeScrollReply& reply,
                                    int p, const ProjectTreeLevel& level, const std::string& key,
                                    int& added) {
    added = 0;
    if (reply.moreBefore) AddNode(parent, kMoreBefore, level.picture, "", 0);
    QTreeWidgetItem* chosen = nullptr;
    for (const ProjectTreeEntry& entry : reply.entries) {
        QTreeWidgetItem* node =
            AddNode(parent, entry.text.empty() ? entry.key : entry.text, level.picture,
                    ProjectTreeNodeKey(p, entry.key), level.level);
        if (node == nullptr) continue;
        ++added;
        if (mVBUtil::CompareTextNoCase(entry.key, key) <= 0) chosen = node;
    }
    if (reply.moreAfter) AddNode(parent, kMoreAfter, level.picture, "", 0);
    return chosen;
}

void frmPrjVw::SyncTreeView(std::string key) {
    if (MainView == nullptr) return;
    // A tree built before the window first shows needs no second build then.
    ActivatedOnce = 1;
    TreeBusy = 1;
    LastNodeKey.clear();
    {
        LoadingNodes loading(TView1);
        ClearNodes();
        if (key.empty()) MainView->FirstKey(key);
        const int count = MainView->BndryNbr();
        const std::string levels = MainView->BndryLvls(), icons = MainView->BndryIcons();
        QTreeWidgetItem* parent = nullptr;
        QTreeWidgetItem* chosen = nullptr;
        for (int p = 0; p <= count; ++p) {
            const ProjectTreeLevel level = ProjectTreeLevelAt(levels, icons, count, p);
            chosen = nullptr;
            ProjectTreeScrollReply reply;
            if (!Send(ScrollDirection::Around, key, level.level, reply)) break;
            int added = 0;
            chosen = AddLevel(p == 0 ? nullptr : parent, reply, p, level, key, added);
            if (chosen != nullptr) parent = chosen;
        }
        if (chosen != nullptr) SelectNode(chosen);
    }
    TreeBusy = 0;
}

void frmPrjVw::FocusTreeView(const std::string& key) {
    if (InTreeEvent == -1 || TreeBusy != 0 || MainView == nullptr) return;
    LastNodeKey.clear();
    if (!key.empty()) {
        if (QTreeWidgetItem* node = FindNode(ProjectTreeNodeKey(MainView->BndryNbr(), key))) {
            SelectNode(node);
            return;
        }
    }
    SyncTreeView(key);
}

void frmPrjVw::ExpandSelectedNode() {
    if (MainView == nullptr) return;
    if (MainView->IsRequestInProcess()) {
        platform::Beep();
        return;
    }
    QTreeWidgetItem* selected = TView1->currentItem();
    if (TView1->topLevelItemCount() == 0 || selected == nullptr) return;
    if (selected->text(0) == QLatin1String(kMoreBefore)) return LoadScrollPage(2);
    if (selected->text(0) == QLatin1String(kMoreAfter)) return LoadScrollPage(1);
    const std::string nodeKey = NodeKey(selected);
    const int count = MainView->BndryNbr();
    const int p = Position(nodeKey);
    if (p < 0 || p >= count) return;
    const int c = p + 1;
    const ProjectTreeLevel level =
        ProjectTreeLevelAt(MainView->BndryLvls(), MainView->BndryIcons(), count, c);
    const std::string unitKey = EntryKey(nodeKey);
    QTreeWidgetItem* chosen = nullptr;
    TreeBusy = 1;
    {
        LoadingNodes loading(TView1);
        ProjectTreeScrollReply reply;
        if (Send(ScrollDirection::Around, unitKey, level.level, reply)) {
            int added = 0;
            chosen = AddLevel(selected, reply, c, level, unitKey, added);
            if (selected->childCount() > 0) selected->setExpanded(true);
        }
    }
    TreeBusy = 0;
    if (chosen != nullptr) {
        SelectNode(chosen);
        ShowEntry(chosen);
    }
}

void frmPrjVw::LoadScrollPage(int direction) {
    QTreeWidgetItem* paging = TView1->currentItem();
    if (paging == nullptr) return;
    QTreeWidgetItem* parent = paging->parent();
    const int index =
        parent != nullptr ? parent->indexOfChild(paging) : TView1->indexOfTopLevelItem(paging);
    const int at = direction == 1 ? index - 1 : index + 1;
    QTreeWidgetItem* neighbour = parent != nullptr ? parent->child(at) : TView1->topLevelItem(at);
    // Only an entry tells where the next page starts.
    const std::string neighbourKey = NodeKey(neighbour);
    if (neighbourKey.empty()) return;
    const int count = MainView->BndryNbr();
    int p = Position(neighbourKey);
    const std::string startKey = EntryKey(neighbourKey);
    QTreeWidgetItem* chosen = nullptr;
    TreeBusy = 1;
    {
        LoadingNodes loading(TView1);
        if (p == 0) {
            parent = nullptr;
            ClearNodes();
        } else if (parent != nullptr) {
            RemoveChildren(parent);
        }
        if (p >= count) p = count;
        const ProjectTreeLevel level =
            ProjectTreeLevelAt(MainView->BndryLvls(), MainView->BndryIcons(), count, p);
        ProjectTreeScrollReply reply;
        if (Send(direction == 1 ? ScrollDirection::After : ScrollDirection::Before, startKey,
                 level.level, reply)) {
            int added = 0;
            chosen = AddLevel(parent, reply, p, level, startKey, added);
            if (chosen == nullptr && added > 0) {
                chosen = FindNode(ProjectTreeNodeKey(p, reply.entries.front().key));
            }
        }
    }
    TreeBusy = 0;
    if (chosen != nullptr) {
        SelectNode(chosen);
        ShowEntry(chosen);
    }
}

void frmPrjVw::ShowEntry(QTreeWidgetItem* node) {
    const std::string entryKey = EntryKey(NodeKey(node));
    if (mVBUtil::CompareTextNoCase(entryKey, MainView->CurrentImageKey()) != 0) {
        MainView->DisplayImage(entryKey);
    }
}

void frmPrjVw::ExpandFromEvent() {
    InTreeEvent = -1;
    {
        LoadingNodes frozen(this);
        QTreeWidgetItem* selected = TView1->currentItem();
        if (selected != nullptr && selected->childCount() == 0) ExpandSelectedNode();
    }
    InTreeEvent = 0;
}

void frmPrjVw::TView1_MouseDown(Qt::MouseButton Button) {
    LastButton = Button == Qt::RightButton ? 2 : Button == Qt::LeftButton ? 1 : 0;
}

void frmPrjVw::TView1_NodeClick(QTreeWidgetItem* Node) {
    if (TView1->topLevelItemCount() == 0 || Node == nullptr || MainView == nullptr) return;
    if (MainView->IsRequestInProcess()) {
        platform::Beep();
        LastButton = 0;
        return;
    }
    LastNodeKey.clear();
    const int level = NodeTag(Node);
    if (level >= 0) {
        InTreeEvent = -1;
        ShowEntry(Node);
        InTreeEvent = 0;
        if (LastButton == 2 && level >= 1 && (MainView->AnnotFeatureMask() & 0x800) == 0) {
            EditFolderDescription(Node, level);
        }
    }
    LastButton = 0;
}

void frmPrjVw::EditFolderDescription(QTreeWidgetItem* node, std::int32_t level) {
    // The unit clicked, whatever page the main window shows.
    const std::string unitKey = EntryKey(NodeKey(node));
    const std::string current = MainView->GetFolderDescription(unitKey, level);
    std::string prompt = "Please Enter a Folder Description";
    if (!current.empty()) prompt = current + "\n(Enter a SPACE to Remove Description)";
    const std::string answer = platform::InputBox(prompt, " ", current);
    if (answer.empty() || answer == current) return;
    if (!IsStorableDescription(answer)) {
        platform::Beep();
        platform::MsgBox(
            "A folder description may not hold tabs, line breaks or other control "
            "characters.",
            platform::vbExclamation, "Warning");
        return;
    }
    // Another reviewer may have changed it while the box was open (or the
    // first read failed): what is stored is never written over unseen.
    const std::string stored = MainView->GetFolderDescription(unitKey, level);
    if (stored != current) {
        platform::BeepWarning("The folder description was changed meanwhile. It now reads:\n" +
                              (stored.empty() ? std::string("(none)") : stored));
        node->setText(0, platform::ToQString(stored.empty() ? unitKey : stored));
        return;
    }
    const std::string described = mVBUtil::TrimSpaces(answer);
    if (!MainView->PutFolderDescription(unitKey, level, described)) {
        platform::BeepWarning("Error Updating Folder Description");
        return;
    }
    node->setText(0, platform::ToQString(described.empty() ? unitKey : described));
}

void frmPrjVw::TView1_Collapse(QTreeWidgetItem* Node) {
    LastNodeKey = NodeKey(Node);
    RemoveChildren(Node);
}

void frmPrjVw::TView1_DblClick() {
    QTreeWidgetItem* selected = TView1->currentItem();
    if (selected == nullptr) return;
    const std::string key = NodeKey(selected);
    if (!key.empty() && key == LastNodeKey) return;
    ExpandFromEvent();
}

void frmPrjVw::TView1_KeyDown(int KeyCode) {
    if (KeyCode != Qt::Key_Right) return;
    QTreeWidgetItem* selected = TView1->currentItem();
    if (selected != nullptr && (selected->childCount() == 0 || !selected->isExpanded())) {
        ExpandFromEvent();
    }
}

bool frmPrjVw::TView1_KeyPress(int KeyAscii) {
    if (KeyAscii != 13) return false;
    QTreeWidgetItem* selected = TView1->currentItem();
    if (selected != nullptr) {
        const std::string key = NodeKey(selected);
        if (key.empty() || key != LastNodeKey) {
            ExpandFromEvent();
        } else {
            LastNodeKey.clear();
        }
    }
    return true;
}

}  // namespace navigation
