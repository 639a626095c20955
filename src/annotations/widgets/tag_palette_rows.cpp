#include "annotations/widgets/tag_palette_rows.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "platform/draw_surface.h"
#include "platform/rounding.h"
#include "platform/text_codec.h"

namespace annotations {
namespace {

int PixelsX(std::int32_t twips) {
    return platform::RoundToInt(twips / platform::ScreenTwipsPerPixel().x);
}
int PixelsY(std::int32_t twips) {
    return platform::RoundToInt(twips / platform::ScreenTwipsPerPixel().y);
}

// A box, ticked when the tag is on.
QPixmap StatePicture(bool on) {
    const int side = PixelsX(255);
    QPixmap picture(side, side);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(1, 1, side - 3, side - 3);
    if (on) {
        p.setPen(QPen(QColor(0, 128, 0), 2));
        p.drawLine(QPointF(side * 0.25, side * 0.5), QPointF(side * 0.45, side * 0.72));
        p.drawLine(QPointF(side * 0.45, side * 0.72), QPointF(side * 0.78, side * 0.25));
    }
    return picture;
}

constexpr char kRowProperty[] = "tagRow";

}  // namespace

TagPaletteRows::TagPaletteRows(QWidget* pane) : QObject(pane), pane_(pane) {
    Tag_ON = StatePicture(true);
    Tag_OFF = StatePicture(false);
    // The template row, never shown.
    Tag_BMP[0] = new QLabel(pane_);
    Tag_BMP[0]->setGeometry(PixelsX(60), PixelsY(420), PixelsX(255), PixelsY(255));
    Tag_DESC[0] = new QLabel(pane_);
    Tag_DESC[0]->setGeometry(PixelsX(360), PixelsY(420), 0, PixelsY(252));
    Tag_DESC[0]->setFont(QFont("Tahoma", 8));
    Tag_BMP[0]->hide();
    Tag_DESC[0]->hide();
    VScroll2 = new QScrollBar(Qt::Vertical, pane_);
    VScroll2->hide();
    connect(VScroll2, &QScrollBar::valueChanged, this, [this] { emit scrolled(); });
}

void TagPaletteRows::CreateRows() {
    if (RowsCreated()) return;
    for (int i = 1; i <= kTagPaletteMaxRows; ++i) {
        auto* picture = new QLabel(pane_);
        picture->setGeometry(Tag_BMP[0]->geometry());
        auto* label = new QLabel(pane_);
        label->setGeometry(Tag_DESC[0]->geometry());
        label->setFont(Tag_DESC[0]->font());
        // A name is shown as it is: "&" is no access key.
        label->setTextFormat(Qt::PlainText);
        for (QLabel* part : {picture, label}) {
            part->setProperty(kRowProperty, i);
            part->installEventFilter(this);
            part->hide();
        }
        Tag_BMP[static_cast<size_t>(i)] = picture;
        Tag_DESC[static_cast<size_t>(i)] = label;
    }
}

void TagPaletteRows::RemoveRows() {
    for (int i = kTagPaletteMaxRows; i >= 1; --i) {
        const auto r = static_cast<size_t>(i);
        // Later, not now: a row's own click may be on the stack.
        if (Tag_BMP[r] != nullptr) Tag_BMP[r]->deleteLater();
        if (Tag_DESC[r] != nullptr) Tag_DESC[r]->deleteLater();
        Tag_BMP[r] = Tag_DESC[r] = nullptr;
    }
}

void TagPaletteRows::FillRows(const TagPalette& model) {
    if (!RowsCreated()) return;
    for (int i = 1; i <= kTagPaletteMaxRows; ++i) {
        const auto r = static_cast<size_t>(i);
        const bool used = i <= model.Count();
        if (used) {
            Tag_DESC[r]->setText(platform::ToQString(model.Caption(i)));
            Tag_BMP[r]->setPixmap(Tag_OFF);
        }
        Tag_DESC[r]->setVisible(used);
        Tag_BMP[r]->setVisible(used);
    }
}

void TagPaletteRows::ShowStates(const TagPalette& model) {
    if (!RowsCreated()) return;
    for (int i = 1; i <= model.Count(); ++i)
        Tag_BMP[static_cast<size_t>(i)]->setPixmap(model.IsOn(i) ? Tag_ON : Tag_OFF);
}

void TagPaletteRows::PlaceRow(int row, std::int32_t top, std::int32_t labelWidth) {
    const auto r = static_cast<size_t>(row);
    const QRect label = Tag_DESC[0]->geometry();
    Tag_DESC[r]->setGeometry(label.x(), PixelsY(top), PixelsX(labelWidth), label.height());
    const QRect picture = Tag_BMP[0]->geometry();
    Tag_BMP[r]->setGeometry(picture.x(), PixelsY(top), picture.width(), picture.height());
}

void TagPaletteRows::PlaceRows(const TagPalette& model, const TagPaletteLayout& layout) {
    if (!layout.scrollBar) {
        VScroll2->hide();
    } else {
        VScroll2->setGeometry(PixelsX(layout.barLeft), PixelsY(layout.barTop),
                              VScroll2->sizeHint().width(), PixelsY(layout.barHeight));
        {
            // Moving the rows is this routine's own work, not a scroll.
            const QSignalBlocker quiet(VScroll2);
            VScroll2->setMaximum(layout.barMaximum);
            VScroll2->setValue(0);
        }
        VScroll2->setPageStep(layout.barLargeChange);
        VScroll2->show();
    }
    if (!RowsCreated()) return;
    for (int i = 1; i <= model.Count(); ++i) {
        PlaceRow(i, TagRowTop(i, 0), layout.labelWidth);
        const bool fits = i <= layout.rowsFit;
        Tag_DESC[static_cast<size_t>(i)]->setVisible(fits);
        Tag_BMP[static_cast<size_t>(i)]->setVisible(fits);
    }
}

void TagPaletteRows::ScrollRows(const TagPalette& model) {
    if (!RowsCreated()) return;
    const std::int32_t labelWidth = ScrolledLabelWidth(InnerWidth(), BarWidth());
    for (int i = 1; i <= model.Count(); ++i) {
        const std::int32_t top = TagRowTop(i, VScroll2->value());
        const auto r = static_cast<size_t>(i);
        const bool shown = top >= kTagRowFirstTop;
        if (shown) PlaceRow(i, top, labelWidth);
        Tag_DESC[r]->setVisible(shown);
        Tag_BMP[r]->setVisible(shown);
    }
}

std::int32_t TagPaletteRows::InnerWidth() const {
    return platform::RoundToInt(pane_->width() * platform::ScreenTwipsPerPixel().x);
}
std::int32_t TagPaletteRows::InnerHeight() const {
    return platform::RoundToInt(pane_->height() * platform::ScreenTwipsPerPixel().y);
}
std::int32_t TagPaletteRows::BarWidth() const {
    return platform::RoundToInt(VScroll2->sizeHint().width() * platform::ScreenTwipsPerPixel().x);
}

bool TagPaletteRows::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const QVariant row = watched->property(kRowProperty);
        if (row.isValid()) {
            emit rowClicked(row.toInt());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace annotations
