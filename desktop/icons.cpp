#include "icons.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPolygon>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// A small fixed palette, as the old 16-colour icons had.
const QColor Black(0x00, 0x00, 0x00);
const QColor White(0xff, 0xff, 0xff);
const QColor Grey(0x80, 0x80, 0x80);
const QColor LightGrey(0xc0, 0xc0, 0xc0);
const QColor Navy(0x00, 0x00, 0x80);
const QColor Blue(0x00, 0x00, 0xff);
const QColor Green(0x00, 0xc0, 0x00);
const QColor DarkGreen(0x00, 0x80, 0x00);
const QColor Yellow(0xff, 0xff, 0x00);
const QColor Red(0xff, 0x00, 0x00);
const QColor Maroon(0x80, 0x00, 0x00);
const QColor Olive(0x80, 0x80, 0x00);
const QColor Skin(0xff, 0xc8, 0x90);
const QColor Brown(0x80, 0x40, 0x00);

constexpr int Grid = 16; // every picture is laid out on a 16 x 16 grid

// A transparent picture of side px with the painter scaled to the grid.
QPixmap Blank(int side) {
    QPixmap picture(side, side);
    picture.fill(Qt::transparent);
    return picture;
}

void Cells(QPainter &p, int x, int y, int w, int h, const QColor &colour) {
    p.fillRect(QRect(x, y, w, h), colour);
}

void Frame(QPainter &p, int x, int y, int w, int h, const QColor &colour) {
    Cells(p, x, y, w, 1, colour);
    Cells(p, x, y + h - 1, w, 1, colour);
    Cells(p, x, y, 1, h, colour);
    Cells(p, x + w - 1, y, 1, h, colour);
}

QPixmap Envelope(int side) {
    QPixmap picture = Blank(side);
    QPainter p(&picture);
    p.scale(double(side) / Grid, double(side) / Grid);
    // The letter, pulled halfway out of the envelope.
    Cells(p, 4, 1, 8, 9, White);
    Frame(p, 4, 1, 8, 9, Grey);
    Cells(p, 6, 3, 4, 1, Navy);
    Cells(p, 6, 5, 3, 1, Navy);
    // The envelope's front and its open flap.
    Cells(p, 1, 7, 14, 8, Skin);
    Frame(p, 1, 7, 14, 8, Brown);
    for (int i = 0; i < 6; ++i) {
        Cells(p, 2 + i, 8 + i / 2, 1, 1, Brown);
        Cells(p, 13 - i, 8 + i / 2, 1, 1, Brown);
    }
    return picture;
}

// The envelope drawn as shapes on the 16 x 16 grid, for every size above the
// 16 px pixel art: boxes with an outline one grid cell wide, and the flap as
// two strokes. Box edges land on whole pixels at every size, so that nothing
// but the flap's slant is smoothed.
struct Box {
    QRectF cells;
    QColor fill;
    QColor outline; // invalid: none
};
struct Stroke {
    QPolygonF points; // through the middle of the cells
    QColor colour;
};

const std::array<Box, 4> EnvelopeBoxes{{
    {QRectF(4, 1, 8, 9), White, Grey},  // the letter
    {QRectF(6, 3, 4, 1), Navy, {}},     // its first line of writing
    {QRectF(6, 5, 3, 1), Navy, {}},     // and its second
    {QRectF(1, 7, 14, 8), Skin, Brown}, // the envelope's front
}};
const Stroke EnvelopeFlap{QPolygonF({QPointF(2.5, 8.5), QPointF(8, 10.75), QPointF(13.5, 8.5)}),
                          Brown};

QPixmap EnvelopeShapes(int side) {
    QPixmap picture = Blank(side);
    QPainter p(&picture);
    const double cell = double(side) / Grid;
    const int line = std::max(1, int(std::lround(cell)));
    const auto snap = [cell](double at) {
        return int(std::lround(at * cell));
    };
    for (const Box &box : EnvelopeBoxes) {
        const QRect r(QPoint(snap(box.cells.left()), snap(box.cells.top())),
                      QPoint(snap(box.cells.right()) - 1, snap(box.cells.bottom()) - 1));
        p.fillRect(r, box.fill);
        if (box.outline.isValid()) {
            p.fillRect(QRect(r.left(), r.top(), r.width(), line), box.outline);
            p.fillRect(QRect(r.left(), r.bottom() - line + 1, r.width(), line), box.outline);
            p.fillRect(QRect(r.left(), r.top(), line, r.height()), box.outline);
            p.fillRect(QRect(r.right() - line + 1, r.top(), line, r.height()), box.outline);
        }
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(EnvelopeFlap.colour, line, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.scale(cell, cell);
    QPen pen = p.pen();
    pen.setWidthF(line / cell);
    p.setPen(pen);
    p.drawPolyline(EnvelopeFlap.points);
    return picture;
}

QPixmap MainPicture(int side) {
    // At 16 px the pixel art itself; above it, the shapes.
    return side <= Grid ? Envelope(side) : EnvelopeShapes(side);
}

QPixmap Writing(int side) {
    QPixmap picture = Blank(side);
    QPainter p(&picture);
    p.scale(double(side) / Grid, double(side) / Grid);
    // The sheet with three lines already written.
    Cells(p, 1, 1, 10, 14, White);
    Frame(p, 1, 1, 10, 14, Grey);
    Cells(p, 3, 4, 6, 1, Navy);
    Cells(p, 3, 6, 5, 1, Navy);
    Cells(p, 3, 8, 3, 1, Navy);
    // The red pen, slanting down to where the writing goes on.
    for (int i = 0; i < 6; ++i)
        Cells(p, 13 - i, 2 + i, 2, 1, Red);
    Cells(p, 7, 8, 1, 1, Maroon);
    Cells(p, 6, 9, 1, 1, Black);
    // The hand that holds it.
    const QPolygon hand(
        {QPoint(8, 7), QPoint(12, 6), QPoint(15, 9), QPoint(14, 14), QPoint(9, 14), QPoint(7, 10)});
    p.setPen(Brown);
    p.setBrush(Skin);
    p.drawPolygon(hand);
    Cells(p, 9, 9, 3, 1, Brown); // the fingers round the pen
    Cells(p, 9, 11, 3, 1, Brown);
    return picture;
}

QPixmap PageBack(int side) {
    QPixmap picture = Blank(side);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(double(side) / Grid, double(side) / Grid);
    p.setPen(QPen(DarkGreen, 1));
    p.setBrush(Green);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    // The arrow: a head pointing left and its shaft.
    const QPolygonF arrow({QPointF(3, 8), QPointF(8, 3), QPointF(8, 6), QPointF(13, 6),
                           QPointF(13, 10), QPointF(8, 10), QPointF(8, 13)});
    p.setPen(Qt::NoPen);
    p.setBrush(White);
    p.drawPolygon(arrow);
    return picture;
}

QPixmap PageForward(int side) {
    return PageBack(side).transformed(QTransform().scale(-1, 1));
}

QPixmap Chevrons(int side) {
    QPixmap picture = Blank(side);
    QPainter p(&picture);
    p.scale(double(side) / Grid, double(side) / Grid);
    for (const int left : {4, 9})
        for (int i = 0; i < 4; ++i) {
            Cells(p, left + i, 4 + i, 2, 1, Black);
            Cells(p, left + i, 11 - i, 2, 1, Black);
        }
    return picture;
}

QPixmap ChevronsBack(int side) {
    return Chevrons(side).transformed(QTransform().scale(-1, 1));
}

QIcon TwoSizes(QPixmap (*draw)(int)) {
    QIcon icon;
    icon.addPixmap(draw(16));
    icon.addPixmap(draw(32));
    return icon;
}

} // namespace

QIcon Icons::MainWindow() {
    QIcon icon;
    for (const int side : MainSizes)
        icon.addPixmap(MainPicture(side));
    return icon;
}

QPixmap Icons::MainPicture(int side) {
    return ::MainPicture(side);
}

QString Icons::MainSvg() {
    // The same shapes on a 16-unit canvas; outlines lie inside their boxes.
    QString svg =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" "
                       "viewBox=\"0 0 16 16\" shape-rendering=\"crispEdges\">\n"
                       "  <title>Tallowick</title>\n");
    const auto number = [](double v) {
        return QString::number(v, 'g', 6);
    };
    for (const Box &box : EnvelopeBoxes) {
        const QRectF r = box.cells;
        if (box.outline.isValid())
            svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" "
                                  "fill=\"%5\" stroke=\"%6\" stroke-width=\"1\"/>\n")
                       .arg(number(r.x() + 0.5), number(r.y() + 0.5), number(r.width() - 1),
                            number(r.height() - 1), box.fill.name(), box.outline.name());
        else
            svg += QStringLiteral(
                       "  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"/>\n")
                       .arg(number(r.x()), number(r.y()), number(r.width()), number(r.height()),
                            box.fill.name());
    }
    QStringList points;
    for (const QPointF &point : EnvelopeFlap.points)
        points << number(point.x()) + QLatin1Char(',') + number(point.y());
    svg += QStringLiteral("  <polyline points=\"%1\" fill=\"none\" stroke=\"%2\" "
                          "stroke-width=\"1\" shape-rendering=\"geometricPrecision\"/>\n")
               .arg(points.join(QLatin1Char(' ')), EnvelopeFlap.colour.name());
    svg += QStringLiteral("</svg>\n");
    return svg;
}

QIcon Icons::Enlarged(const QIcon &icon) {
    QIcon enlarged;
    const QList<QSize> sizes = icon.availableSizes();
    if (sizes.isEmpty())
        return icon;
    QSize largest = sizes.constFirst();
    for (const QSize &size : sizes) {
        enlarged.addPixmap(icon.pixmap(size));
        if (size.width() > largest.width())
            largest = size;
    }
    // Whole multiples, each pixel a square of pixels: as sharp as the art.
    const QImage art = icon.pixmap(largest).toImage();
    for (int factor = 2; largest.width() * factor <= MaxEnlarged; ++factor)
        enlarged.addPixmap(QPixmap::fromImage(
            art.scaled(largest * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    return enlarged;
}

QIcon Icons::Notice() {
    return TwoSizes(&Writing);
}

QIcon Icons::PageArrow(bool forward) {
    return TwoSizes(forward ? &PageForward : &PageBack);
}

QIcon Icons::MoreItems(bool back) {
    return TwoSizes(back ? &ChevronsBack : &Chevrons);
}

QPixmap Icons::Monitor(bool greenScreen) {
    QPixmap picture = Blank(Grid);
    QPainter p(&picture);
    // The yellow-dotted frame round the edge.
    for (int i = 0; i < Grid; i += 2) {
        Cells(p, i, 0, 1, 1, Yellow);
        Cells(p, i + 1, Grid - 1, 1, 1, Yellow);
        Cells(p, 0, i + 1, 1, 1, Yellow);
        Cells(p, Grid - 1, i, 1, 1, Yellow);
    }
    // Case, screen, stand and foot.
    Cells(p, 2, 2, 12, 9, LightGrey);
    Frame(p, 2, 2, 12, 9, Black);
    Cells(p, 4, 4, 8, 5, greenScreen ? Green : Blue);
    Cells(p, 7, 11, 2, 1, Grey);
    Cells(p, 4, 12, 8, 2, LightGrey);
    Frame(p, 4, 12, 8, 2, Olive);
    return picture;
}

bool Icons::SaveAll(const QString &dir) {
    const QDir target(dir);
    if (!target.exists() && !QDir().mkpath(dir))
        return false;
    bool ok = true;
    for (const int side : MainSizes)
        ok = ::MainPicture(side).save(
                 target.filePath(QStringLiteral("tallowick-%1.png").arg(side))) &&
             ok;
    QFile svg(target.filePath(QStringLiteral("tallowick.svg")));
    ok = svg.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         svg.write(MainSvg().toUtf8()) == MainSvg().toUtf8().size() && ok;
    ok = Writing(16).save(target.filePath(QStringLiteral("tallowick-notice-16.png"))) && ok;
    ok = Writing(32).save(target.filePath(QStringLiteral("tallowick-notice-32.png"))) && ok;
    ok = Monitor(false).save(target.filePath(QStringLiteral("tallowick-tray-blue.png"))) && ok;
    ok = Monitor(true).save(target.filePath(QStringLiteral("tallowick-tray-green.png"))) && ok;
    return ok;
}
