// Prints the processor time the program spends while one SMTP session waits for a greeting
// that never comes. The wait should sleep in the event loop, well under 1 % of a core.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <cstdio>

#include "benchsupport.h"
#include "smtp_session.h"

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int waitSeconds = argc > 1 ? QByteArray(argv[1]).toInt() : 10;

    // A server that accepts the connection and then says nothing.
    SilentServer silent;
    if (!silent.Listen()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }

    BenchSession session;
    session.module.ReplyTimeoutOverride = std::chrono::seconds(waitSeconds);
    session.socket.setPortOverride(silent.serverPort());

    QElapsedTimer wall;
    const double cpuBefore = ProcessCpuSeconds();
    wall.start();
    session.Send(QStringLiteral("127.0.0.1"), QStringLiteral("a@example.org"),
                 QStringLiteral("b@example.org"), QStringLiteral("bench"),
                 QStringLiteral(" bench"));
    const double wallSeconds = wall.nsecsElapsed() / 1e9;
    const double cpu = ProcessCpuSeconds() - cpuBefore;

    std::printf("greeting wait: %.3f s wall, %.3f s CPU = %.2f %% of a core (target < 1 %%)\n",
                wallSeconds, cpu, 100.0 * cpu / wallSeconds);
    std::printf("result line: %s\n", qPrintable(session.view.result));
    return 0;
}
