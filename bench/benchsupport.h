#pragma once

#include <QList>
#include <QTcpServer>

class QTcpSocket;

// Processor time (user and system) this process has used so far, in seconds.
double ProcessCpuSeconds();

// A loopback server that accepts every connection and never says a word:
// the slowest SMTP server there is.
class SilentServer : public QTcpServer {
    Q_OBJECT
public:
    explicit SilentServer(QObject *parent = nullptr);
    // Listens on 127.0.0.1, on a port of the system's choosing.
    bool Listen();

private:
    QList<QTcpSocket *> m_accepted;
};
