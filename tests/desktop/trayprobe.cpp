// A window hidden to the tray the way the main window hides itself, for the
// real run under Xvfb and trayer. Prints what happens; exits 0 once a double
// click on the tray icon has brought the window back, 1 after the time-out.
// Also says how many left double clicks the icon reported.
#include "icons.h"
#include "module2.h"
#include "traycallbackevent.h"
#include "trayshell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSystemTrayIcon>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

constexpr int PollMs = 50;
constexpr int TrayWaitMs = 5000;
// After the window is back, late callbacks of the same gesture still count.
constexpr int SettleMs = 1000;

// Counts the left double clicks that the icon reports to the window.
class DoubleClickCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == TrayCallbackEvent::EventType() &&
            static_cast<TrayCallbackEvent *>(event)->lParam == WM_LBUTTONDBLCLK)
            ++count;
        return false;
    }
};

void Say(const QString &line) {
    QTextStream out(stdout);
    out << line << Qt::endl;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int timeoutMs = args.size() > 1 ? args.at(1).toInt() * 1000 : 20000;

    // The tray host may still be taking its selection when we start.
    QElapsedTimer waited;
    waited.start();
    while (!QSystemTrayIcon::isSystemTrayAvailable() && waited.elapsed() < TrayWaitMs)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, PollMs);
    Say(QSystemTrayIcon::isSystemTrayAvailable() ? QStringLiteral("tray: system")
                                                 : QStringLiteral("tray: stand-in"));

    const auto shell = TrayShell::CreateDefault();
    Module2 module(*shell);
    QWidget window;
    window.setWindowTitle(QStringLiteral("trayprobe"));
    window.resize(200, 100);
    window.show();

    if (module.QueryTaskbar() != 1) {
        Say(QStringLiteral("no tray"));
        return 1;
    }
    DoubleClickCounter counter;
    window.installEventFilter(&counter);
    module.InstallHook(&window);
    module.TrayIconData.cbSize = NotifyIconDataSize;
    module.TrayIconData.uFlags = NotifyIconAllFlags;
    module.TrayIconData.uCallbackMessage = TrayCallbackMessage;
    module.TrayIconData.szTip = QString(TipFieldLength, QLatin1Char(' '));
    module.TrayIconData.hWnd = &window;

    // Hide as the main window does: disable, hide, then show the icon.
    window.setEnabled(false);
    window.hide();
    module.AddTrayIcon(1, QStringLiteral("Tallowick32"), QIcon(Icons::Monitor(false)));
    Say(QStringLiteral("icon added"));

    int result = 1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (result != 0 && window.isVisible() && window.isEnabled()) {
            Say(QStringLiteral("restored"));
            result = 0;
            QTimer::singleShot(SettleMs, &app, &QApplication::quit);
        }
    });
    poll.start(PollMs);
    QTimer::singleShot(timeoutMs, &app, [&] {
        if (result != 0) {
            Say(QStringLiteral("timed out"));
            app.quit();
        }
    });
    app.exec();
    Say(QStringLiteral("double clicks: %1").arg(counter.count));

    module.DeleteTrayIcons(1);
    module.RemoveHook(&window);
    return result;
}
