#pragma once
// The colour, font and file dialogs, taking and returning the system's own
// values. The dialogs a person answers sit behind CommonDialogRunner, so the
// rules around them (defaults, style bits, the overwrite question) can be
// driven by tests.

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/dialog_values.h"

class QFontDialog;
class QPushButton;

namespace mComDlg {

struct FontChoice {
    std::string face;
    int pointTenths = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    std::uint32_t color = 0;
};

struct FileRequest {
    std::string title;
    std::string folder;
    std::string fileName;
    std::vector<FileFilterItem> filters;
    int filterIndex = 0;  // 1-based; 0 none
    bool save = false;
};

struct FileAnswer {
    std::string path;
    int filterIndex = 0;  // 1-based index of the filter in use when the user confirmed
    // False when the chosen name holds characters the code page cannot keep:
    // path then names some other file.
    bool nameKept = true;
};

class CommonDialogRunner {
  public:
    virtual ~CommonDialogRunner() = default;
    virtual std::optional<std::uint32_t> RunColor(QWidget* owner, std::uint32_t start) = 0;
    virtual std::optional<FontChoice> RunFont(QWidget* owner, const FontChoice& start) = 0;
    virtual std::optional<FileAnswer> RunFile(QWidget* owner, const FileRequest& request) = 0;
};

// Qt's colour and file dialogs (non-native widgets) and our font dialog.
class QtCommonDialogRunner : public CommonDialogRunner {
  public:
    std::optional<std::uint32_t> RunColor(QWidget* owner, std::uint32_t start) override;
    std::optional<FontChoice> RunFont(QWidget* owner, const FontChoice& start) override;
    std::optional<FileAnswer> RunFile(QWidget* owner, const FileRequest& request) override;
};

CommonDialogRunner& CurrentDialogRunner();

class ScopedDialogRunner {
  public:
    explicit ScopedDialogRunner(CommonDialogRunner& runner);
    ~ScopedDialogRunner();
    ScopedDialogRunner(const ScopedDialogRunner&) = delete;
    ScopedDialogRunner& operator=(const ScopedDialogRunner&) = delete;

  private:
    CommonDialogRunner* previous_;
};

// Each returns true only when the user confirmed; on false the arguments keep
// their values (see the font defaults and the declined overwrite).
bool ShowColorDialog(QWidget* owner, std::uint32_t& color);
bool ShowFontDialog(QWidget* owner, std::string& face, int& size, int& style, std::uint32_t& color);
// mode 1 saves, anything else opens. Saving over a file that exists asks
// first and leaves the file alone; replaceAgreed tells whether the user
// agreed to replace it.
bool ShowFileDialog(QWidget* owner, std::string& path, const std::string& filter, int filterIndex,
                    int mode, bool* replaceAgreed = nullptr);

// Qt's font choice and a colour choice in one dialog.
class FontColorDialog : public QDialog {
    Q_OBJECT
  public:
    explicit FontColorDialog(QWidget* parent = nullptr);

    void SetChoice(const FontChoice& choice);
    FontChoice Choice() const;
    void SetColor(std::uint32_t color);

    QFontDialog* fontPicker;
    QPushButton* cmdColor;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ChooseColor();
    std::uint32_t color_ = 0;
    std::string startFace_;
    QString shownFace_;
};

}  // namespace mComDlg
