// Sends one notification mail (or --count N of them, one session each) to an SMTP server on
// 127.0.0.1:PORT and prints the wall time of every session.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

#include "smtp_session.h"

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: %s PORT [COUNT]\n", argv[0]);
        return 2;
    }
    const auto port = quint16(args.at(1).toUInt());
    const int count = args.size() > 2 ? args.at(2).toInt() : 1;

    BenchSession session;
    session.socket.setPortOverride(port);
    int delivered = 0;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer wall;
        wall.start();
        const bool sent =
            session.Send(QStringLiteral("127.0.0.1"), QStringLiteral("Bench <bench@example.org>"),
                         QStringLiteral("rcpt@example.org"), QStringLiteral("Reminder"),
                         QStringLiteral(" Water the plants."));
        std::printf("SendMail: %.2f ms %s\n", wall.nsecsElapsed() / 1e6,
                    sent ? "delivered" : "NOT delivered");
        delivered += sent ? 1 : 0;
    }
    std::printf("result line: %s\n", qPrintable(session.view.result));
    return delivered == count ? 0 : 1;
}
