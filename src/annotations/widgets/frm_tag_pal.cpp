#include "annotations/widgets/frm_tag_pal.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <vector>

#include "annotations/tag_palette.h"
#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"

namespace annotations {
namespace {

QPushButton* MakeButton(QWidget* parent, const char* caption, const char* tip = nullptr) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    if (tip != nullptr) b->setToolTip(QString::fromLatin1(tip));
    b->setAutoDefault(false);
    return b;
}

std::string Text(const QListWidgetItem* item) {
    return platform::FromQString(item->text());
}

// The non-empty names among the first count of a ","-list.
std::vector<std::string> Names(const std::string& list, std::int32_t count) {
    std::vector<std::string> names;
    int position = 1;
    for (std::int32_t i = 0; i < count; ++i) {
        std::string name = mVBUtil::NextToken(",", list, position);
        if (!name.empty()) names.push_back(std::move(name));
    }
    return names;
}

// The server matches collection names without regard to case.
std::vector<std::string>::iterator FindName(std::vector<std::string>& names,
                                            const std::string& name) {
    return std::find_if(names.begin(), names.end(), [&](const std::string& n) {
        return mVBUtil::CompareTextNoCase(n, name) == 0;
    });
}

std::string Joined(const std::vector<std::string>& names, const char* separator) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : separator) + name;
    return text;
}

// At most a few names, so that a box stays on the screen; the lists of
// the dialog show them all.
std::string Named(const std::vector<std::string>& names) {
    constexpr std::size_t kNamedAtMost = 5;
    if (names.size() <= kNamedAtMost) return Joined(names, ", ");
    const std::vector<std::string> first(names.begin(), names.begin() + kNamedAtMost);
    return Joined(first, ", ") + " and " + std::to_string(names.size() - kNamedAtMost) + " more";
}

// The names of from that to lacks, without regard to case.
std::vector<std::string> Missing(const std::vector<std::string>& from,
                                 std::vector<std::string> to) {
    std::vector<std::string> missing;
    for (const std::string& name : from)
        if (FindName(to, name) == to.end()) missing.push_back(name);
    return missing;
}

// The entries both lists hold, in the order of the first.
std::vector<std::string> Common(const std::vector<std::string>& first,
                                std::vector<std::string> second) {
    std::vector<std::string> common;
    for (const std::string& name : first)
        if (FindName(second, name) != second.end()) common.push_back(mVBUtil::UCase(name));
    return common;
}

// The session's reasons for a request that found no server.
bool OutOfReach(const std::string& why) {
    return why == "Unable to Send Data Request" || why == "Error Connecting TCP/IP Socket" ||
           why == "Could Not ReConnect Socket";
}

struct WaitPointer {
    WaitPointer() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitPointer() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

frmTagPal::frmTagPal(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Tag Palette Setup");
    setModal(true);
    setFont(QFont("Tahoma", 8));
    List1 = new QListWidget(this);
    List2 = new QListWidget(this);
    for (QListWidget* list : {List1, List2}) list->setMinimumSize(217, 173);
    Cmd_New =
        MakeButton(this, "C&reate New Tag Collection", "Create a New Issue Tag for the Collection");
    cmd_modify =
        MakeButton(this, "&Modify Tag Description", "Modify the Selected Tag's Description");
    Cmd_Delete =
        MakeButton(this, "De&lete Tag Collection", "Remove an Issue Tag from the Collection");
    cmd_addall =
        MakeButton(this, "Add All &Tags to Palette", "Add All Available Tags to the Tag Palette.");
    Cmd_Up = MakeButton(this, "Move &Up");
    Cmd_Down = MakeButton(this, "Move &Down");
    Cmd_Done = MakeButton(this, "&All Done");
    cmd_cancel = MakeButton(this, "&Cancel");

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Available Tags", this), 0, 0);
    grid->addWidget(new QLabel("Tags On Palette", this), 0, 1);
    grid->addWidget(List1, 1, 0);
    grid->addWidget(List2, 1, 1);
    grid->addWidget(new QLabel("(Dbl Clk to Add to Palette)", this), 2, 0);
    grid->addWidget(new QLabel("(Dbl Clk to Remove from Palette)", this), 2, 1);
    grid->addWidget(Cmd_New, 3, 0);
    grid->addWidget(cmd_modify, 4, 0);
    grid->addWidget(Cmd_Delete, 5, 0);
    grid->addWidget(cmd_addall, 6, 0);
    auto* order = new QHBoxLayout;
    order->addWidget(Cmd_Up);
    order->addWidget(Cmd_Down);
    grid->addLayout(order, 3, 1);
    grid->addWidget(Cmd_Done, 4, 1);
    grid->addWidget(cmd_cancel, 6, 1, Qt::AlignRight);

    connect(Cmd_New, &QPushButton::clicked, this, [this] { Cmd_New_Click(); });
    connect(cmd_modify, &QPushButton::clicked, this, [this] { cmd_modify_Click(); });
    connect(Cmd_Delete, &QPushButton::clicked, this, [this] { Cmd_Delete_Click(); });
    connect(cmd_addall, &QPushButton::clicked, this, [this] { cmd_addall_Click(); });
    connect(Cmd_Up, &QPushButton::clicked, this, [this] { Cmd_Up_Click(); });
    connect(Cmd_Down, &QPushButton::clicked, this, [this] { Cmd_Down_Click(); });
    connect(Cmd_Done, &QPushButton::clicked, this, [this] { Cmd_Done_Click(); });
    connect(cmd_cancel, &QPushButton::clicked, this, [this] { cmd_cancel_Click(); });
    connect(List1, &QListWidget::itemDoubleClicked, this, [this] { List1_DblClick(); });
    connect(List2, &QListWidget::itemDoubleClicked, this, [this] { List2_DblClick(); });
}

void frmTagPal::Form_Load() {
    if (ClientAPI != nullptr) ClientAPI->TakeUntoldTransportError();
    const std::int32_t security = ClientAPI != nullptr ? ClientAPI->UserProjectSecurity() : 0;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QSize size = sizeHint();
        move(area.x() + (area.width() - size.width()) / 2,
             area.y() + (area.height() - size.height()) / 2);
    }
    const bool mayChange = ClientAPI != nullptr && ClientAPI->IsProjectValid() &&
                           (security & kTagCollectionRights) != 0;
    for (QPushButton* b : {Cmd_New, Cmd_Delete, cmd_modify}) b->setEnabled(mayChange);
    // An empty list in place of one that was not read would be stored over
    // the palette, or offer no collections where there are some.
    if (!LoadAvailableTags() || !LoadPaletteTags()) {
        TellReadFailed();
        Unload(QDialog::Rejected);
    }
}

void frmTagPal::TellReadFailed() {
    platform::BeepWarning("Error Reading Tag Palette" + Why());
}

int frmTagPal::exec() {
    Load();
    // Shown after closing, it would wait for ever.
    return IsUnloaded() ? result() : FormDialog::exec();
}

bool frmTagPal::LoadAvailableTags() {
    std::vector<std::string> pool;
    if (!ReadPool(pool)) return false;
    ShowAvailable(pool);
    readPool_ = std::move(pool);
    return true;
}

bool frmTagPal::ReadPool(std::vector<std::string>& names) const {
    std::string list;
    if (ClientAPI == nullptr || !ClientAPI->ReadTagPool(list)) return false;
    names = Names(list, mVBUtil::CountFields(",", list));
    return true;
}

void frmTagPal::ShowAvailable(const std::vector<std::string>& names) {
    List1->clear();
    for (const std::string& name : names) AddAvailable(name);
}

bool frmTagPal::LoadPaletteTags() {
    readPalette_.clear();
    const bool read = ReadPalette(readPalette_);
    ShowPalette(readPalette_);
    return read;
}

std::vector<std::string> frmTagPal::Entries(const QListWidget* list) {
    std::vector<std::string> names;
    for (int i = 0; i < list->count(); ++i) names.push_back(Text(list->item(i)));
    return names;
}

void frmTagPal::ShowPalette(const std::vector<std::string>& names) {
    const std::string selected = Selected(List2);
    List2->clear();
    for (const std::string& name : names) List2->addItem(platform::ToQString(name));
    if (const int row = selected.empty() ? -1 : FindExact(List2, selected); row >= 0)
        List2->setCurrentRow(row);
}

bool frmTagPal::ReadPalette(std::vector<std::string>& names) const {
    std::string list;
    if (ClientAPI == nullptr || !ClientAPI->ReadTagPalette(list)) return false;
    names = Names(list, mVBUtil::CountFields(",", list));
    return true;
}

std::string frmTagPal::Selected(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item != nullptr && item->isSelected() ? Text(item) : std::string();
}

int frmTagPal::FindExact(const QListWidget* list, const std::string& name) {
    for (int i = 0; i < list->count(); ++i)
        if (Text(list->item(i)) == name) return i;
    return -1;
}

void frmTagPal::AddAvailable(const std::string& name) {
    int row = 0;
    while (row < List1->count() && mVBUtil::CompareTextNoCase(Text(List1->item(row)), name) <= 0)
        ++row;
    List1->insertItem(row, platform::ToQString(name));
}

bool frmTagPal::IsAvailable(const std::string& name) const {
    for (int i = 0; i < List1->count(); ++i)
        if (mVBUtil::CompareTextNoCase(Text(List1->item(i)), name) == 0) return true;
    return false;
}

bool frmTagPal::RefuseName(const std::string& name) {
    const std::string fault = TagNameFault(name);
    if (fault.empty()) return false;
    platform::Beep();
    platform::MsgBox(fault, platform::vbCritical, "Error");
    return true;
}

void frmTagPal::Cmd_New_Click() {
    const std::string name =
        CleanTagName(platform::InputBox("Enter Name of New TAG Collection", " ", ""));
    if (name.empty() || RefuseName(name)) return;
    if (IsAvailable(name)) {
        platform::Beep();
        platform::MsgBox("This TAG Collection Already Exists", platform::vbCritical, "Error");
        return;
    }
    if (ClientAPI != nullptr && ClientAPI->NewTagDesc(name)) {
        AddAvailable(name);
        readPool_.push_back(name);
        Cmd_Done->setFocus();
    } else {
        platform::Beep();
        platform::MsgBox("Error Adding New Issue Tag", platform::vbCritical, "Error");
    }
}

void frmTagPal::cmd_modify_Click() {
    const std::string old = Selected(List1);
    if (old.empty()) {
        platform::Beep();
        return;
    }
    const std::string name =
        CleanTagName(platform::InputBox("Enter New TAG Collection Name", " ", old));
    // A rename in case alone is a rename: the server takes it.
    if (name.empty() || name == old || RefuseName(name)) return;
    if (mVBUtil::CompareTextNoCase(name, old) != 0 && IsAvailable(name)) {
        platform::Beep();
        platform::MsgBox(name, platform::vbCritical, "This Tag Description Already Exists");
        return;
    }
    if (ClientAPI == nullptr || !ClientAPI->ModifyTagDesc(old, name)) {
        platform::Beep();
        platform::MsgBox("Error Modifying Tag Description", platform::vbCritical, "Error");
        return;
    }
    delete List1->takeItem(FindExact(List1, old));
    AddAvailable(name);
    if (const auto read = std::find(readPool_.begin(), readPool_.end(), old);
        read != readPool_.end())
        *read = name;
    if (const auto stored = FindName(readPalette_, old); stored != readPalette_.end())
        *stored = name;
    if (const int onPalette = FindExact(List2, old); onPalette >= 0)
        List2->item(onPalette)->setText(platform::ToQString(name));
}

void frmTagPal::Cmd_Delete_Click() {
    const std::string name = Selected(List1);
    if (name.empty()) return;
    platform::Beep();
    const int answer = platform::MsgBox(
        "Are you SURE you want to delete ALL the TAGS for collection \n" + name + " ?",
        platform::vbYesNo | platform::vbExclamation, "WARNING !!!");
    if (answer != platform::vbYes) return;
    // The lists follow the server: a refused deletion leaves the name in both.
    if (ClientAPI == nullptr || !ClientAPI->DeleteTagDesc(name)) {
        platform::Beep();
        platform::MsgBox("An Error Ocurred while Removing the TAGS", platform::vbCritical,
                         "Warning");
        return;
    }
    delete List1->takeItem(FindExact(List1, name));
    if (const auto read = std::find(readPool_.begin(), readPool_.end(), name);
        read != readPool_.end())
        readPool_.erase(read);
    if (const auto stored = FindName(readPalette_, name); stored != readPalette_.end())
        readPalette_.erase(stored);
    if (const int onPalette = FindExact(List2, name); onPalette >= 0)
        delete List2->takeItem(onPalette);
}

void frmTagPal::cmd_addall_Click() {
    if (List1->count() == 0) return;
    const WaitPointer wait;
    for (int i = 0; i < List1->count(); ++i) {
        if (List2->count() >= kTagPaletteMaxRows) break;
        const std::string name = Text(List1->item(i));
        if (FindExact(List2, name) < 0) List2->addItem(platform::ToQString(name));
    }
}

void frmTagPal::List1_DblClick() {
    const std::string name = Selected(List1);
    if (name.empty()) return;
    if (FindExact(List2, name) < 0) List2->addItem(platform::ToQString(name));
}

void frmTagPal::List2_DblClick() {
    const QListWidgetItem* item = List2->currentItem();
    if (item == nullptr || !item->isSelected()) return;
    delete List2->takeItem(List2->row(item));
}

void frmTagPal::Move(int step) {
    const QListWidgetItem* item = List2->currentItem();
    const int i = item != nullptr && item->isSelected() ? List2->row(item) : -1;
    const int to = i + step;
    if (i < 0 || to < 0 || to >= List2->count()) {
        platform::Beep();
        return;
    }
    QListWidgetItem* moving = List2->takeItem(i);
    List2->insertItem(to, moving);
    List2->setCurrentRow(to);
}

void frmTagPal::Cmd_Up_Click() {
    Move(-1);
}

void frmTagPal::Cmd_Down_Click() {
    Move(1);
}

void frmTagPal::Cmd_Done_Click() {
    // Only this save's own failures are told.
    if (ClientAPI != nullptr) ClientAPI->TakeUntoldTransportError();
    std::vector<std::string> stored, pool;
    if (!ReadPalette(stored) || !ReadPool(pool)) {
        platform::Beep();
        platform::MsgBox("Error Saving Tag Palette" + Why(), platform::vbCritical, "Error");
        return;
    }
    // An earlier All Done of this dialog whose outcome was not known landed:
    // the palette moved by the reviewer's own hand.
    for (const std::vector<std::string>& sent : unknownSaves_)
        if (stored == sent) readPalette_ = stored;
    unknownSaves_.clear();
    const RebasedPalette rebased =
        RebasePalette(readPalette_, ShownPalette(), stored, readPool_, pool);
    if (rebased.Changed()) {
        // The reviewer sees the list as it is now before anything is stored:
        // a second "All Done" stores what was seen, never a collection
        // renamed or deleted meanwhile.
        const std::string changes = Describe(rebased, readPalette_, stored);
        TakeServer(rebased, stored, pool);
        platform::BeepWarning(changes +
                              (rebased.storedChanged
                                   ? "\nPress All Done again to store yours over it."
                                   : "\nPress All Done again to store the list as shown."));
        return;
    }
    const std::vector<std::string> sent = ShownPalette();
    if (ClientAPI == nullptr || !ClientAPI->PutTagPalette(Joined(sent, "|"))) {
        SaveFailed(sent);
        return;
    }
    Unload(QDialog::Accepted);
}

void frmTagPal::SaveFailed(const std::vector<std::string>& sent) {
    const std::string why = Why();
    std::vector<std::string> stored, pool;
    if (!ReadPalette(stored)) {
        unknownSaves_.push_back(sent);
        const std::string again = Why();
        platform::Beep();
        platform::MsgBox("Error Saving Tag Palette" + why +
                             "\nWhether your list was stored is not known: the tag palette "
                             "could not be read again." +
                             (again == why ? std::string() : again),
                         platform::vbCritical, "Error");
        return;
    }
    if (stored == sent) {
        Unload(QDialog::Accepted);
        return;
    }
    // Stays open: the reviewer's list is not lost with the dialog. Read
    // again, it names no collection renamed or deleted meanwhile, so the
    // next "All Done" is not refused the same way. A failed read leaves
    // both lists as they were.
    std::string changes;
    if (ReadPool(pool)) {
        const RebasedPalette rebased = RebasePalette(readPalette_, sent, stored, readPool_, pool);
        changes = Describe(rebased, readPalette_, stored);
        TakeServer(rebased, stored, pool);
        if (!changes.empty())
            changes = "\n" + changes + "\nPress All Done again to store the list as shown.";
    }
    platform::Beep();
    platform::MsgBox("Error Saving Tag Palette" + why + "\nYour list was not stored." + changes,
                     platform::vbCritical, "Error");
}

std::string frmTagPal::Why() const {
    if (ClientAPI == nullptr) return "";
    const std::string why = ClientAPI->TakeFailureOrRefusal();
    if (why.empty()) return why;
    return "\n" + why + (OutOfReach(why) ? "\nThe server could not be reached." : "");
}

void frmTagPal::TakeServer(const RebasedPalette& rebased, const std::vector<std::string>& stored,
                           const std::vector<std::string>& pool) {
    ShowAvailable(pool);
    ShowPalette(rebased.palette);
    readPool_ = pool;
    readPalette_ = stored;
}

std::string frmTagPal::Describe(const RebasedPalette& rebased,
                                const std::vector<std::string>& before,
                                const std::vector<std::string>& stored) {
    std::vector<std::string> lines;
    if (rebased.storedChanged) {
        lines.push_back("The tag palette was changed meanwhile.");
        if (const auto put = Missing(stored, before); !put.empty())
            lines.push_back("Put on it: " + Named(put) + ".");
        // Names that went are told below; an entry off the stored palette
        // is off the reviewer's list too.
        const auto off = Missing(Missing(before, stored), rebased.collections.gone);
        if (!off.empty())
            lines.push_back("Taken off it, and so off your list: " + Named(off) + ".");
        if (Common(before, stored) != Common(stored, before))
            lines.push_back("Its order was changed.");
    } else if (!rebased.collections.gone.empty() || !rebased.gone.empty())
        lines.push_back("The tag collections were changed meanwhile.");
    if (!rebased.gone.empty())
        lines.push_back("Taken off your list, renamed or deleted meanwhile: " +
                        Named(rebased.gone) + ". Choose again from the available tags.");
    std::vector<std::string> others;
    for (const std::string& name : rebased.collections.gone)
        if (std::find(rebased.gone.begin(), rebased.gone.end(), name) == rebased.gone.end())
            others.push_back(name);
    if (!others.empty()) lines.push_back("Renamed or deleted meanwhile: " + Named(others) + ".");
    if (!rebased.collections.appeared.empty() && !lines.empty())
        lines.push_back(
            "New meanwhile among the available tags: " + Named(rebased.collections.appeared) + ".");
    if (!rebased.collections.gone.empty() && !rebased.collections.appeared.empty() &&
        !rebased.added.empty())
        lines.push_back(
            "Renames meanwhile may have moved a name to another collection: check "
            "your additions " +
            Named(rebased.added) + ".");
    return Joined(lines, "\n");
}

void frmTagPal::cmd_cancel_Click() {
    Unload(QDialog::Rejected);
}

}  // namespace annotations
