#include "platformchoice.h"

#if TALLOWICK_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

constexpr char QpaVariable[] = "QT_QPA_PLATFORM";
constexpr char Xcb[] = "xcb";

// The person named a platform on the command line, as Qt reads it: "-platform
// NAME" or "--platform NAME" (Qt takes no "-platform=NAME"), wherever it stands.
bool PlatformArgument(const QList<QByteArray> &arguments) {
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        const QByteArray &argument = arguments.at(i);
        if (argument == "-platform" || argument == "--platform")
            return true;
    }
    return false;
}

} // namespace

PlatformChoice::Platform PlatformChoice::Choose(const Environment &environment,
                                                const DisplayAnswers &answers) {
    // Qt takes an empty QT_QPA_PLATFORM as unset, and so does the choice.
    if (!environment.qpaPlatform.isEmpty() || PlatformArgument(environment.arguments))
        return Platform::AsQtChooses;
    const bool waylandSession =
        !environment.waylandDisplay.isEmpty() || environment.sessionType == "wayland";
    if (!waylandSession || environment.display.isEmpty())
        return Platform::AsQtChooses;
    // Xwayland may be started only when a client connects (GNOME does that):
    // a display that is set but does not answer leaves Qt its own choice.
    return answers(environment.display) ? Platform::Xwayland : Platform::AsQtChooses;
}

PlatformChoice::Environment PlatformChoice::ThisProcess(int argc, char **argv) {
    Environment environment{qgetenv(QpaVariable),
                            qgetenv("XDG_SESSION_TYPE"),
                            qgetenv("WAYLAND_DISPLAY"),
                            qgetenv("DISPLAY"),
                            {}};
    for (int i = 0; i < argc && argv[i] != nullptr; ++i)
        environment.arguments.append(QByteArray(argv[i]));
    return environment;
}

PlatformChoice::Platform PlatformChoice::Apply(int argc, char **argv,
                                               const DisplayAnswers &answers) {
    const Platform platform = Choose(ThisProcess(argc, argv), answers);
    if (platform == Platform::Xwayland)
        qputenv(QpaVariable, Xcb);
    return platform;
}

bool PlatformChoice::XDisplayAnswers(const QByteArray &display) {
    // The connection Qt's X11 platform makes right after, with the same
    // authorisation (XAUTHORITY): made once more here, it costs one connection
    // setup, and an X server that refuses shows here rather than as a program
    // that cannot start.
#if TALLOWICK_HAVE_XCB
    xcb_connection_t *connection = xcb_connect(display.constData(), nullptr);
    const bool answered = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answered;
#else
    Q_UNUSED(display);
    return false; // built without X11: nothing to run through
#endif
}
