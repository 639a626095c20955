#pragma once
// "Tag Palette Setup": the project's tag collections and the palette, the
// chosen ones in their order. Collections are created, renamed and deleted
// on the server at once; the palette is saved only by "All Done".

#include <cstdint>
#include <string>
#include <vector>

#include "annotations/tag_api.h"
#include "annotations/tag_collections.h"
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
    // The server's palette, or its collections; false when they could not
    // be read.
    bool ReadPalette(std::vector<std::string>& names) const;
    bool ReadPool(std::vector<std::string>& names) const;
    static std::vector<std::string> Entries(const QListWidget* list);
    std::vector<std::string> ShownPalette() const { return Entries(List2); }
    void ShowPalette(const std::vector<std::string>& names);
    void ShowAvailable(const std::vector<std::string>& names);
    // The last request's error on a line of its own; "" without one.
    std::string Why() const;
    // Shows the lists as the server has them now, the reviewer's list over
    // the stored palette, and takes them as read.
    void TakeServer(const RebasedPalette& rebased, const std::vector<std::string>& stored,
                    const std::vector<std::string>& pool);
    // What a rebase of the list read as before changed and why, a line
    // each; "" when nothing.
    static std::string Describe(const RebasedPalette& rebased,
                                const std::vector<std::string>& before,
                                const std::vector<std::string>& stored);
    // After a save that failed: stored when the palette read again holds
    // exactly the list sent (the reply was lost, not the save).
    void SaveFailed(const std::vector<std::string>& sent);

    // The palette and the collections as last read, kept in step with this
    // dialog's own collection changes: "All Done" writes only over those,
    // since others may change them, and the same login save another palette
    // from another viewer, meanwhile.
    std::vector<std::string> readPool_;
    std::vector<std::string> readPalette_;
    // Lists this dialog sent whose save was not known to have landed: found
    // stored, they are the reviewer's own, not another's change.
    std::vector<std::vector<std::string>> unknownSaves_;
};

}  // namespace annotations
