#include "benchsupport.h"

#include <QTcpSocket>

#include <sys/resource.h>

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return double(t.tv_sec) + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

SilentServer::SilentServer(QObject *parent)
    : QTcpServer(parent) {
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *client = nextPendingConnection())
            m_accepted << client;
    });
}

bool SilentServer::Listen() {
    return listen(QHostAddress::LocalHost, 0);
}
