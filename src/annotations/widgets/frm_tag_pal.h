#pragma once
// "Tag Palette Setup": the project's tag collections and the palette, the
// chosen ones in their order. Collections are created, renamed and deleted
// on the server at once; the palette is saved only by "All Done".

#include <cstdint>
#include <string>
#include <vector>

#include "annotations/tag_api.h"
#include "foundation/widgets/form_dialog.h"

class QListWidget;
class QPushButton;

namespace annotations {

class frmTagPal : public FormDialog {
    Q_OBJECT
  public:
    explicit frmTagPal(QWidget* parent = nullptr);

    // The main window's session; set before the dialog loads.
    TagApi* ClientAPI = nullptr;

    QListWidget* List1;  // Available Tags, kept in alphabetical order
    QListWidget* List2;  // Tags On Palette, in palette order
    QPushButton* Cmd_New;
    QPushButton* cmd_modify;
    QPushButton* Cmd_Delete;
    QPushButton* cmd_addall;
    QPushButton* Cmd_Up;
    QPushButton* Cmd_Down;
    QPushButton* Cmd_Done;
    QPushButton* cmd_cancel;

    // An editor that could not read the palette has said so and closed
    // while loading; it is not shown.
    using FormDialog::IsUnloaded;
    int exec() override;

    bool LoadAvailableTags();
    // False when the palette could not be read.
    bool LoadPaletteTags();
    // A failed read, with the server's reason.
    void TellReadFailed();
    void Cmd_New_Click();
    void cmd_modify_Click();
    void Cmd_Delete_Click();
    void cmd_addall_Click();
    void List1_DblClick();
    void List2_DblClick();
    void Cmd_Up_Click();
    void Cmd_Down_Click();
    void Cmd_Done_Click();
    void cmd_cancel_Click();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmd_cancel_Click(); }

  private:
    // The selected entry of a list; "" with none.
    static std::string Selected(const QListWidget* list);
    static int FindExact(const QListWidget* list, const std::string& name);
    // Adds a name to Available Tags at its alphabetical place.
    void AddAvailable(const std::string& name);
    bool IsAvailable(const std::string& name) const;
    // Beeps and says why when the name would break the server's lists.
    static bool RefuseName(const std::string& name);
    void Move(int step);
    // The server's palette; false when it could not be read.
    bool ReadPalette(std::vector<std::string>& names) const;
    static std::vector<std::string> Entries(const QListWidget* list);
    std::vector<std::string> ShownPalette() const { return Entries(List2); }
    void ShowPalette(const std::vector<std::string>& names);
    // The last request's error on a line of its own; "" without one.
    std::string Why() const;
    // After the palette changed meanwhile or a save was refused: the
    // collections as the server has them now, the reviewer's list over the
    // stored palette. What that changed of the reviewer's list, in words,
    // is added to changes, with the stored palette when tellStored and it
    // changed meanwhile. False, with both lists as they were, when the
    // collections could not be read.
    bool FollowServer(const std::vector<std::string>& stored, std::string& changes,
                      bool tellStored);

    // The palette as last read, kept in step with this dialog's own
    // collection changes: "All Done" writes only over that, since the same
    // login may save another palette from another viewer meanwhile.
    std::vector<std::string> readPalette_;
};

}  // namespace annotations
