// Prints the processor time the program spends while one SMTP session waits for a greeting
// that never comes. The wait should sleep in the event loop, well under 1 % of a core.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "smtp_session.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return double(t.tv_sec) + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int waitSeconds = argc > 1 ? QByteArray(argv[1]).toInt() : 10;

    // A server that accepts the connection and then says nothing.
    QTcpServer silent;
    if (!silent.listen(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    QList<QTcpSocket *> accepted;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *client = silent.nextPendingConnection())
            accepted << client;
    });

    BenchSession session;
    session.module.ReplyTimeoutOverride = std::chrono::seconds(waitSeconds);
    session.socket.setPortOverride(silent.serverPort());

    QElapsedTimer wall;
    const double cpuBefore = CpuSeconds();
    wall.start();
    session.module.SendMail(QStringLiteral("127.0.0.1"), QStringLiteral("a@example.org"),
                            QStringLiteral("a@example.org"), QStringLiteral("b@example.org"),
                            QStringLiteral("bench"), QStringLiteral(" bench"));
    const double wallSeconds = wall.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpuBefore;

    std::printf("greeting wait: %.3f s wall, %.3f s CPU = %.2f %% of a core (target < 1 %%)\n",
                wallSeconds, cpu, 100.0 * cpu / wallSeconds);
    std::printf("result line: %s\n", qPrintable(session.view.result));
    return 0;
}
