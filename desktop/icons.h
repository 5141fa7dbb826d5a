#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

#include <array>

// The program's pictures, drawn at run time in a few flat colours.
class Icons {
public:
    // The sizes the program's own picture is drawn at, for menus, docks and
    // the desktop's icon theme.
    static constexpr std::array MainSizes{16, 24, 32, 48, 64, 128, 256};
    // The main window: a letter half drawn out of its envelope, at every one
    // of MainSizes.
    static QIcon MainWindow();
    // That picture at `side` px: pixel art at 16 px, shapes on whole pixels above.
    static QPixmap MainPicture(int side);
    // The same picture as a scalable SVG document.
    static QString MainSvg();
    // `icon` with its largest picture added again at whole multiples of its
    // size, up to MaxEnlarged px, pixels enlarged without smoothing: a tray
    // that wants a larger icon then shows the art sharp.
    static QIcon Enlarged(const QIcon &icon);
    static constexpr int MaxEnlarged = 64;
    // The notice window: a hand writing on a sheet with a red pen (16 and 32 px).
    static QIcon Notice();
    // The tray picture: a monitor in a yellow-dotted frame, 16 x 16, with a
    // blue screen or (greenScreen) a green one.
    static QPixmap Monitor(bool greenScreen);
    // The month calendar's page buttons: a white arrow on a green disc,
    // pointing forward (right) or back (left) (16 and 32 px).
    static QIcon PageArrow(bool forward);
    // The menu bar's button for items that do not fit: two chevrons pointing
    // right, or (back) left (16 and 32 px).
    static QIcon MoreItems(bool back);

    // Writes every picture as a PNG file into dir, and the main picture as
    // tallowick.svg too; false if any write fails.
    static bool SaveAll(const QString &dir);
};
