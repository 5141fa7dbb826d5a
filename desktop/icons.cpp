#include "icons.h"

#include <QDir>
#include <QPainter>
#include <QPolygon>
#include <QPolygonF>

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
    return TwoSizes(&Envelope);
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
    ok = Envelope(16).save(target.filePath(QStringLiteral("tallowick-16.png"))) && ok;
    ok = Envelope(32).save(target.filePath(QStringLiteral("tallowick-32.png"))) && ok;
    ok = Writing(16).save(target.filePath(QStringLiteral("tallowick-notice-16.png"))) && ok;
    ok = Writing(32).save(target.filePath(QStringLiteral("tallowick-notice-32.png"))) && ok;
    ok = Monitor(false).save(target.filePath(QStringLiteral("tallowick-tray-blue.png"))) && ok;
    ok = Monitor(true).save(target.filePath(QStringLiteral("tallowick-tray-green.png"))) && ok;
    return ok;
}
