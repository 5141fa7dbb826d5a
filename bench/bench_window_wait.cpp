// CPU of the whole program while a mail session waits 10 seconds for a
// server that accepted the connection and says nothing, with the window, its
// clock caption and the queue table live. Prints figures.
#include "benchsupport.h"
#include "benchwindow.h"
#include "form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <cstdio>

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int waitSeconds = argc > 1 ? QByteArray(argv[1]).toInt() : 10;

    SilentServer silent;
    if (!silent.Listen()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }

    BenchWindow window;
    Form1 &form = window.form();
    window.StoreDueNow(EntryMode::Mail, QStringLiteral("the mail"), silent.serverPort(),
                       std::chrono::seconds(waitSeconds));

    QElapsedTimer wall;
    const double before = ProcessCpuSeconds();
    wall.start();
    form.Timer2_Timer(); // one tick: hands over one session, whose wait times out
    while (!form.Mail().Idle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double cpu = ProcessCpuSeconds() - before;
    const double elapsed = wall.nsecsElapsed() / 1e9;

    std::printf("whole program during a %d s wait for a silent server: %.3f s CPU in %.3f s "
                "= %.2f%% of a core (target < 1%%); status %s\n",
                waitSeconds, cpu, elapsed, 100.0 * cpu / elapsed,
                qPrintable(NotificationQueue::StatusText(form.Queue().Status(0))));
    return 0;
}
