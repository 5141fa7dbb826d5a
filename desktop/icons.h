#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's pictures, drawn at run time in a few flat colours.
class Icons {
public:
    // The main window: a letter half drawn out of its envelope (16 and 32 px).
    static QIcon MainWindow();
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

    // Writes every picture as a PNG file into dir; false if any write fails.
    static bool SaveAll(const QString &dir);
};
