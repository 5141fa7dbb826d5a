#pragma once

#include "form1controls.h"
#include "notificationqueue.h"

class QFont;
class QMenuBar;
class QObject;
class QPoint;
class QSize;
class QWidget;

// The main window's controls as designed: one row a control, with its kind,
// its place in twips, its caption or first text, its tab index and the name
// a screen reader gives it.
struct DesignedControl {
    enum class Kind {
        Calendar,
        Label,   // a descriptive label: cyan, boxed
        Header,  // a column header: green, boxed, centred
        Lamp,    // a cell of the mail transfer's lamp strip
        Picture, // a tray picture, hidden under the lamps
        LineEdit,
        TextBox, // multi-line
        Events,  // the multi-line, read-only Events box
        Combo,   // editable drop-down
        Button,
        Option,
        Check,
        Column, // a column of the queue table
    };
    enum class Font { Dialog, Small, Bold };

    const char *name;
    Kind kind;
    int left, top, width, height; // twips
    const char *text = "";        // caption or first text
    int tabIndex = -1;            // -1: takes no focus
    const char *accessible = "";
    bool enabled = true;
    bool centred = false;
    Font font = Font::Dialog;
    const char *toolTip = "";
    int column = 0; // Column: the queue's column; Picture: 2 for the green screen
};

namespace Form1Layout {

// Builds every control of the table on `client`, in the table's order, chains
// the focusable ones in tab-index order, and points `controls` at them.
void Build(QWidget *client, NotificationQueue &queue, Form1Controls &controls);

// The menu bar: File with Exit, and Help on its own.
void BuildMenu(QMenuBar *bar, Form1Controls &controls);
// The three timers, owned by `owner`: Timer1 (the clock caption, every second, coarse like
// Timer3, so the two share one wake-up), Timer2 (the scheduler tick, every ten seconds) and
// Timer3 (every second, idle).
void BuildTimers(QObject *owner, Form1Controls &controls);

// The client area's size and the window's place on the screen, as designed.
QSize ClientSize();
QPoint Position();

// The main window's own font; the design's dialog font stands in as Liberation or DejaVu Sans.
QFont WindowFont();

} // namespace Form1Layout
