#pragma once

#include <QByteArray>
#include <QList>

#include <functional>

// Which window system Tallowick runs on, decided before the application
// object is made (Qt reads its platform then, once).
//
// In a Wayland session that also offers an X display (Xwayland: GNOME, KDE
// Plasma), Tallowick runs as an X11 client. A native Wayland client cannot
// map a window without the compositor handing it the keyboard, nor keep a
// window above the others: there is no request for either. Through Xwayland
// the window manager's X11 rules hold: a notice comes up above the window the
// person types in and leaves the keyboard there, and the stand-in icon window
// stays on top. The person's own choice of platform always wins.
class PlatformChoice {
public:
    enum class Platform {
        AsQtChooses, // nothing set: Qt picks, natively on Wayland
        Xwayland,    // run through the session's X display
    };

    // What the choice reads: the process's environment and command line.
    struct Environment {
        QByteArray qpaPlatform;      // QT_QPA_PLATFORM
        QByteArray sessionType;      // XDG_SESSION_TYPE
        QByteArray waylandDisplay;   // WAYLAND_DISPLAY
        QByteArray display;          // DISPLAY
        QList<QByteArray> arguments; // the command line, the program's name first
    };

    // Whether an X server answers on the display named; tests give their own.
    using DisplayAnswers = std::function<bool(const QByteArray &display)>;

    // Xwayland in a Wayland session whose X display answers, unless the
    // person chose a platform; asks `answers` only when that is all it lacks.
    static Platform Choose(const Environment &environment, const DisplayAnswers &answers);

    // This process's environment and command line.
    static Environment ThisProcess(int argc, char **argv);

    // Chooses for this process and, for Xwayland, sets QT_QPA_PLATFORM=xcb in
    // its environment; call before the application object is made.
    static Platform Apply(int argc, char **argv, const DisplayAnswers &answers = XDisplayAnswers);

    // Connects to the X display named and disconnects again: true when the
    // server accepted the connection (authorisation included).
    static bool XDisplayAnswers(const QByteArray &display);
};
