#include "faultserver.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

const QByteArray EndOfMessage = QByteArrayLiteral("\r\n.\r\n");

// The step a command line answers to: its first word, "mail from:" and "rcpt to:" shortened.
QString StepOf(const QByteArray &line) {
    const QString lower = QString::fromLatin1(line).toLower();
    if (lower.startsWith(QStringLiteral("mail from:")))
        return QStringLiteral("mail");
    if (lower.startsWith(QStringLiteral("rcpt to:")))
        return QStringLiteral("rcpt");
    return lower.section(QLatin1Char(' '), 0, 0);
}

} // namespace

FaultServer::FaultServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this)) {
    m_answers.insert(QStringLiteral("greeting"), Say("220 fault.test ready\r\n"));
    m_answers.insert(QStringLiteral("ehlo"), Say("250 fault.test\r\n"));
    m_answers.insert(QStringLiteral("helo"), Say("250 fault.test\r\n"));
    m_answers.insert(QStringLiteral("mail"), Say("250 2.1.0 OK\r\n"));
    m_answers.insert(QStringLiteral("rcpt"), Say("250 2.1.5 OK\r\n"));
    m_answers.insert(QStringLiteral("data"), Say("354 go ahead\r\n"));
    m_answers.insert(QStringLiteral("eod"), Say("250 2.0.0 queued\r\n"));
    m_answers.insert(QStringLiteral("quit"), SayThenClose("221 2.0.0 bye\r\n"));
    connect(m_server, &QTcpServer::newConnection, this, &FaultServer::OnConnection);
}

bool FaultServer::Listen() {
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 FaultServer::Port() const {
    return m_server->serverPort();
}

quint16 FaultServer::ClosedPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void FaultServer::SetAnswer(const QString &step, const Answer &answer) {
    m_answers.insert(step, answer);
}

FaultServer::Answer FaultServer::Say(const QByteArray &bytes) {
    return Answer{{Piece{bytes, 0}}, false, 0};
}

FaultServer::Answer FaultServer::SayThenClose(const QByteArray &bytes, int closeDelayMs) {
    return Answer{{Piece{bytes, 0}}, true, closeDelayMs};
}

FaultServer::Answer FaultServer::Silence() {
    return Answer{};
}

void FaultServer::OnConnection() {
    while (QTcpSocket *client = m_server->nextPendingConnection()) {
        ++m_connections;
        m_pending.clear();
        m_inData = false;
        connect(client, &QTcpSocket::readyRead, this, [this, client] { OnReadyRead(client); });
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        Play(client, QStringLiteral("greeting"));
    }
}

void FaultServer::OnReadyRead(QTcpSocket *client) {
    m_pending += client->readAll();
    for (;;) {
        if (m_inData) {
            const qsizetype end = m_pending.indexOf(EndOfMessage);
            if (end < 0)
                return;
            m_message += m_pending.left(end + EndOfMessage.size());
            m_pending.remove(0, end + EndOfMessage.size());
            m_inData = false;
            Play(client, QStringLiteral("eod"));
            continue;
        }
        const qsizetype end = m_pending.indexOf("\r\n");
        if (end < 0)
            return;
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 2);
        m_commands.append(QString::fromUtf8(line));
        const QString step = StepOf(line);
        Play(client, step);
        if (step == QStringLiteral("data")) {
            const Answer answer = m_answers.value(step);
            m_inData = !answer.pieces.isEmpty() && answer.pieces.first().bytes.startsWith("354");
        }
    }
}

void FaultServer::Play(QTcpSocket *client, const QString &step) {
    const Answer answer = m_answers.value(step, Silence());
    const QPointer<QTcpSocket> target(client);
    int at = 0;
    for (const Piece &piece : answer.pieces) {
        at += piece.delayMs;
        if (at == 0) {
            client->write(piece.bytes);
            continue;
        }
        QTimer::singleShot(at, this, [target, bytes = piece.bytes] {
            if (target)
                target->write(bytes);
        });
    }
    if (answer.close) {
        QTimer::singleShot(at + answer.closeDelayMs, this, [target] {
            if (target)
                target->disconnectFromHost();
        });
    }
}
