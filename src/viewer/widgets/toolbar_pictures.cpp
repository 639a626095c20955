#include "viewer/widgets/toolbar_pictures.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <algorithm>

namespace viewer {
namespace {

// Accents that read on both light and dark backgrounds.
const QColor kYellow(245, 200, 40);
const QColor kRed(215, 50, 40);
const QColor kBlue(50, 120, 215);
const QColor kGreen(40, 160, 80);

struct Pen {
    QPainter& p;
    QColor fg;

    void Stroke(QColor c = QColor(), qreal width = 1.3) {
        QPen pen(c.isValid() ? c : fg, width);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
    }
    void Fill(QColor c) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
    }
    void Outline(QColor fill, qreal width = 1.2) {
        QPen pen(fg, width);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(fill);
    }
    void Polygon(std::initializer_list<QPointF> points) {
        p.drawPolygon(points.begin(), int(points.size()));
    }
    void Triangle(bool right, qreal x, qreal y, qreal w, qreal h) {
        if (right) {
            Polygon({{x, y}, {x + w, y + h / 2}, {x, y + h}});
        } else {
            Polygon({{x + w, y}, {x, y + h / 2}, {x + w, y + h}});
        }
    }
    void Page(qreal x, qreal y, qreal w, qreal h) {
        Outline(QColor(255, 255, 255));
        Polygon({{x, y}, {x + w - 3, y}, {x + w, y + 3}, {x + w, y + h}, {x, y + h}});
    }
    void Magnifier(qreal cx, qreal cy, qreal r) {
        Outline(Qt::transparent, 1.5);
        p.drawEllipse(QPointF(cx, cy), r, r);
        Stroke(QColor(), 2.2);
        p.drawLine(QPointF(cx + r * 0.7, cy + r * 0.7), QPointF(15, 15));
    }
    void Cross(qreal x, qreal y, qreal s, QColor c = QColor()) {
        Stroke(c, 1.8);
        p.drawLine(QPointF(x, y), QPointF(x + s, y + s));
        p.drawLine(QPointF(x + s, y), QPointF(x, y + s));
    }
    void Tag(qreal x, qreal y, QColor c) {
        Outline(c);
        Polygon({{x, y}, {x + 6, y}, {x + 11, y + 5}, {x + 6, y + 10}, {x, y + 4}});
        Fill(fg);
        p.drawEllipse(QPointF(x + 2.5, y + 2.5), 1, 1);
    }
    // Three quarters of a circle ending at its top, the arrowhead there
    // pointing the way of the turn.
    void Turn(bool clockwise) {
        Stroke(kBlue, 1.8);
        QPainterPath arc;
        const QRectF circle(3, 3, 10, 10);
        arc.arcMoveTo(circle, clockwise ? 0 : 180);
        arc.arcTo(circle, clockwise ? 0 : 180, clockwise ? -270 : 270);
        p.drawPath(arc);
        Fill(kBlue);
        if (clockwise) {
            Polygon({{11, 3}, {7, 0}, {7, 6}});
        } else {
            Polygon({{5, 3}, {9, 0}, {9, 6}});
        }
    }
    void Text(const QRectF& box, const QString& text, qreal size) {
        QFont font = p.font();
        font.setPixelSize(std::max(1, int(size)));
        font.setBold(true);
        p.setFont(font);
        p.setPen(fg);
        p.drawText(box, Qt::AlignCenter, text);
    }
};

void Draw(Picture picture, Pen& d) {
    QPainter& p = d.p;
    switch (picture) {
        case Picture::OpenProject:
            d.Outline(kYellow);
            d.Polygon({{1, 3}, {6, 3}, {7.5, 5}, {15, 5}, {15, 13}, {1, 13}});
            break;
        case Picture::Print:
            d.Page(4, 1, 8, 6);
            d.Outline(QColor(170, 170, 170));
            p.drawRoundedRect(QRectF(1, 6, 14, 6), 1, 1);
            d.Page(4, 10, 8, 5);
            break;
        case Picture::TagPalette:
            d.Tag(1, 1, kYellow);
            d.Tag(4, 5, kGreen);
            break;
        case Picture::TagQuery:
            d.Tag(1, 1, kYellow);
            d.Stroke();
            for (qreal y : {10.0, 12.5, 15.0}) p.drawLine(QPointF(7, y), QPointF(15, y));
            break;
        case Picture::SearchNotes:
            d.Outline(kYellow);
            p.drawRect(QRectF(1, 1, 8, 8));
            d.Magnifier(9, 9, 3.5);
            break;
        case Picture::FitWidth:
        case Picture::FitPage: {
            d.Page(2, 1, 12, 14);
            d.Stroke(kBlue, 1.5);
            const bool width = picture == Picture::FitWidth;
            if (width) {
                p.drawLine(QPointF(4, 8), QPointF(12, 8));
                d.Fill(kBlue);
                d.Triangle(false, 3, 5.5, 3, 5);
                d.Triangle(true, 10, 5.5, 3, 5);
            } else {
                p.drawLine(QPointF(8, 4), QPointF(8, 12));
                d.Fill(kBlue);
                d.Polygon({{5.5, 6}, {8, 3}, {10.5, 6}});
                d.Polygon({{5.5, 10}, {8, 13}, {10.5, 10}});
            }
            break;
        }
        case Picture::RotateLeft:
            d.Turn(false);
            break;
        case Picture::RotateRight:
            d.Turn(true);
            break;
        case Picture::ZoomOut:
        case Picture::ZoomIn:
            d.Magnifier(6.5, 6.5, 5);
            d.Stroke(QColor(), 1.6);
            p.drawLine(QPointF(4, 6.5), QPointF(9, 6.5));
            if (picture == Picture::ZoomIn) p.drawLine(QPointF(6.5, 4), QPointF(6.5, 9));
            break;
        case Picture::StickyNote:
            d.Outline(kYellow);
            d.Polygon({{2, 2}, {14, 2}, {14, 10}, {10, 14}, {2, 14}});
            d.Stroke();
            p.drawLine(QPointF(10, 14), QPointF(10, 10));
            p.drawLine(QPointF(10, 10), QPointF(14, 10));
            break;
        case Picture::TextNote:
            d.Outline(QColor(255, 255, 255));
            p.drawRect(QRectF(1, 1, 14, 14));
            d.Text(QRectF(1, 0, 14, 16), QStringLiteral("T"), 12);
            break;
        case Picture::Redact:
            d.Page(2, 1, 12, 14);
            d.Fill(QColor(20, 20, 20));
            p.drawRect(QRectF(3.5, 5, 9, 3));
            p.drawRect(QRectF(3.5, 10, 6, 2.5));
            break;
        case Picture::Highlight:
            d.Fill(kYellow);
            p.drawRect(QRectF(1, 9, 14, 5));
            d.Outline(kGreen);
            d.Polygon({{7, 10}, {14, 3}, {15.5, 4.5}, {8.5, 11.5}, {6, 12}});
            break;
        case Picture::Markup:
            d.Stroke(kRed, 1.8);
            p.drawLine(QPointF(2, 13), QPointF(13, 2));
            d.Stroke(kRed, 1.2);
            p.drawEllipse(QPointF(5, 5), 3, 3);
            p.drawLine(QPointF(9, 14), QPointF(15, 14));
            break;
        case Picture::Clip: {
            d.Stroke(QColor(), 1.4);
            QPainterPath clip;
            clip.moveTo(10, 5);
            clip.lineTo(10, 12);
            clip.arcTo(6, 10, 4, 4, 0, -180);
            clip.lineTo(6, 3);
            clip.arcTo(6, 1, 6, 4, 180, -180);
            clip.lineTo(12, 13);
            p.drawPath(clip);
            break;
        }
        case Picture::ZoomWindow:
            d.Outline(QColor(255, 255, 255));
            p.drawRect(QRectF(1, 1, 14, 14));
            d.Stroke();
            p.drawLine(QPointF(1, 9), QPointF(15, 9));
            d.Fill(kBlue);
            p.drawRect(QRectF(2, 10, 12, 4));
            break;
        case Picture::ProjectTree:
            d.Stroke();
            p.drawLine(QPointF(3.5, 4), QPointF(3.5, 13));
            p.drawLine(QPointF(3.5, 8.5), QPointF(8, 8.5));
            p.drawLine(QPointF(3.5, 13), QPointF(8, 13));
            d.Outline(kYellow);
            p.drawRect(QRectF(1, 1, 5, 4));
            p.drawRect(QRectF(8, 6.5, 6, 4));
            p.drawRect(QRectF(8, 11, 6, 4));
            break;
        case Picture::ConceptSearch:
            d.Magnifier(6.5, 6.5, 5);
            d.Fill(kRed);
            p.drawEllipse(QPointF(5, 5), 1.3, 1.3);
            d.Fill(kBlue);
            p.drawEllipse(QPointF(8, 7.5), 1.3, 1.3);
            d.Fill(kGreen);
            p.drawEllipse(QPointF(5, 8.5), 1.1, 1.1);
            break;
        case Picture::OriginalFile:
            d.Page(2, 1, 12, 14);
            d.Stroke(kBlue, 1.2);
            for (qreal y : {6.0, 8.5, 11.0}) p.drawLine(QPointF(4.5, y), QPointF(11.5, y));
            break;
        case Picture::PreviousPage:
        case Picture::DatabasePrevious:
            d.Outline(picture == Picture::PreviousPage ? kBlue : kGreen);
            d.Triangle(false, 3, 2, 10, 12);
            break;
        case Picture::NextPage:
        case Picture::DatabaseNext:
            d.Outline(picture == Picture::NextPage ? kBlue : kGreen);
            d.Triangle(true, 3, 2, 10, 12);
            break;
        case Picture::PreviousSet:
            d.Outline(kBlue, 1.0);
            d.Triangle(false, 1, 3, 7, 10);
            d.Triangle(false, 8, 3, 7, 10);
            break;
        case Picture::NextSet:
        case Picture::QuickScroll:
            d.Outline(picture == Picture::NextSet ? kBlue : kGreen, 1.0);
            d.Triangle(true, 1, 3, 7, 10);
            d.Triangle(true, 8, 3, 7, 10);
            break;
        case Picture::KeyEntry:
            d.Outline(kYellow);
            p.drawEllipse(QPointF(5, 8), 3.5, 3.5);
            d.Stroke(QColor(), 1.8);
            p.drawLine(QPointF(8.5, 8), QPointF(15, 8));
            p.drawLine(QPointF(13, 8), QPointF(13, 11));
            p.drawLine(QPointF(11, 8), QPointF(11, 10.5));
            break;
        case Picture::SaveList:
            d.Page(2, 1, 12, 14);
            d.Stroke(kGreen, 1.8);
            p.drawLine(QPointF(8, 4), QPointF(8, 11));
            p.drawLine(QPointF(5, 8.5), QPointF(8, 11.5));
            p.drawLine(QPointF(11, 8.5), QPointF(8, 11.5));
            break;
        case Picture::Close:
            d.Cross(3, 3, 10, kRed);
            break;
        case Picture::SaveToIssue:
            d.Tag(1, 1, kYellow);
            d.Stroke(kGreen, 1.8);
            p.drawLine(QPointF(12, 9), QPointF(12, 15));
            p.drawLine(QPointF(9, 12), QPointF(15, 12));
            break;
        case Picture::SortByDate:
            d.Outline(QColor(255, 255, 255));
            p.drawRect(QRectF(1, 2.5, 14, 12.5));
            d.Fill(kRed);
            p.drawRect(QRectF(1.5, 3, 13, 3));
            d.Fill(d.fg);
            for (int r = 0; r < 2; ++r) {
                for (int c = 0; c < 4; ++c) p.drawRect(QRectF(3 + c * 2.8, 8 + r * 3, 1.6, 1.6));
            }
            break;
        case Picture::EditPalette:
            d.Outline(kYellow);
            d.Polygon({{2, 14}, {3, 10}, {12, 1}, {15, 4}, {6, 13}});
            d.Stroke();
            p.drawLine(QPointF(3, 10), QPointF(6, 13));
            break;
        case Picture::DatabaseShow:
            d.Outline(kGreen);
            p.drawRect(QRectF(2, 4, 12, 9));
            p.drawEllipse(QRectF(2, 1.5, 12, 5));
            d.Outline(kGreen);
            p.drawEllipse(QRectF(2, 10.5, 12, 5));
            break;
    }
}

// Paints on demand with the palette of the moment, so a theme change shows at once.
class DrawnIcon : public QIconEngine {
  public:
    DrawnIcon(Picture picture, int number, bool next)
        : picture_(picture), number_(number), next_(next) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        const QPalette palette = QGuiApplication::palette();
        Pen pen{*painter,
                palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active,
                              QPalette::WindowText)};
        if (number_ >= 0) {
            DrawBoundary(pen);
        } else {
            Draw(picture_, pen);
        }
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new DrawnIcon(*this); }

  private:
    void DrawBoundary(Pen& d) const {
        d.Outline(kBlue, 1.0);
        d.Triangle(next_, next_ ? 10 : 0, 3, 6, 10);
        d.Text(QRectF(next_ ? 0 : 5, 0, 11, 16), QString::number(number_), number_ > 9 ? 8 : 11);
    }

    Picture picture_;
    int number_;
    bool next_;
};

// Names of the desktop icon theme that fit a picture; empty where none fits.
const char* ThemeName(Picture picture) {
    switch (picture) {
        case Picture::OpenProject:
            return "document-open";
        case Picture::Print:
            return "document-print";
        case Picture::RotateLeft:
            return "object-rotate-left";
        case Picture::RotateRight:
            return "object-rotate-right";
        case Picture::ZoomOut:
            return "zoom-out";
        case Picture::ZoomIn:
            return "zoom-in";
        case Picture::PreviousPage:
            return "go-previous";
        case Picture::NextPage:
            return "go-next";
        case Picture::Close:
            return "window-close";
        case Picture::SaveList:
            return "document-save";
        default:
            return "";
    }
}

}  // namespace

QIcon ToolbarPicture(Picture picture) {
    QIcon ours(new DrawnIcon(picture, -1, false));
    const char* name = ThemeName(picture);
    if (*name == '\0') return ours;
    return QIcon::fromTheme(QString::fromLatin1(name), ours);
}

QIcon BoundaryPicture(bool next, int iconNumber) {
    return QIcon(new DrawnIcon(Picture::PreviousPage, std::clamp(iconNumber, 0, 10), next));
}

}  // namespace viewer
