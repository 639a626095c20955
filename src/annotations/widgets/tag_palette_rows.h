#pragma once
// The rows of the tag palette pane: for each palette tag a picture of its
// state (Tag_BMP) and its name (Tag_DESC), and the pane's scroll bar
// (VScroll2). Made once inside the pane and afterwards only shown, hidden,
// moved and recaptioned from the row model. Positions are twips.

#include <QObject>
#include <QPixmap>

#include <array>

#include "annotations/tag_palette.h"

class QLabel;
class QScrollBar;
class QWidget;

namespace annotations {

class TagPaletteRows : public QObject {
    Q_OBJECT
  public:
    // The rows and the scroll bar are children of the pane.
    explicit TagPaletteRows(QWidget* pane);

    // Rows 1 to 200; row 0 is the template the others follow.
    void CreateRows();
    // Removes rows 200 down to 1.
    void RemoveRows();
    bool RowsCreated() const { return Tag_BMP[1] != nullptr; }

    // Captions of the model's rows, every row shown off; rows past them hidden.
    void FillRows(const TagPalette& model);
    // Each row's picture from its state.
    void ShowStates(const TagPalette& model);
    // Rows placed for the layout: those that fit shown, the others hidden.
    void PlaceRows(const TagPalette& model, const TagPaletteLayout& layout);
    // Rows placed for the scroll bar's value; rows scrolled above the first
    // row's place are hidden, those below the pane stay and are cut off.
    void ScrollRows(const TagPalette& model);

    // The pane's inner size and the scroll bar's width.
    std::int32_t InnerWidth() const;
    std::int32_t InnerHeight() const;
    std::int32_t BarWidth() const;

    std::array<QLabel*, kTagPaletteMaxRows + 1> Tag_BMP{};
    std::array<QLabel*, kTagPaletteMaxRows + 1> Tag_DESC{};
    QScrollBar* VScroll2 = nullptr;
    QPixmap Tag_ON, Tag_OFF;

  signals:
    // A click on a row's picture or name (1-based).
    void rowClicked(int index);
    void scrolled();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void PlaceRow(int row, std::int32_t top, std::int32_t labelWidth);

    QWidget* pane_;
};

}  // namespace annotations
