#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

// A scripted SMTP server on 127.0.0.1 for the session tests: it answers each command with
// whatever the test set up (split into delayed pieces, followed by a close, or nothing at all)
// and records what the client sent.
class FaultServer : public QObject {
    Q_OBJECT
public:
    struct Piece {
        QByteArray bytes;
        int delayMs = 0; // after the previous piece (or the command)
    };
    struct Answer {
        QList<Piece> pieces;
        bool close = false; // close the connection after the last piece
        int closeDelayMs = 0;
    };

    // The steps a test can script: "greeting", "ehlo", "helo", "mail", "rcpt", "data", "eod"
    // (the end of the message) and "quit".
    explicit FaultServer(QObject *parent = nullptr);

    bool Listen();
    // A port on 127.0.0.1 where nothing listens (it was free a moment ago).
    static quint16 ClosedPort();
    quint16 Port() const;

    void SetAnswer(const QString &step, const Answer &answer);
    static Answer Say(const QByteArray &bytes);
    static Answer SayThenClose(const QByteArray &bytes, int closeDelayMs = 0);
    static Answer Silence();

    // Command lines received outside the message, in order, without their CR LF.
    QStringList Commands() const { return m_commands; }
    // The message as received between "data" and the end of data, dots and all.
    QByteArray Message() const { return m_message; }
    int Connections() const { return m_connections; }

private:
    void OnConnection();
    void OnReadyRead(QTcpSocket *client);
    void Play(QTcpSocket *client, const QString &step);

    QTcpServer *m_server;
    QHash<QString, Answer> m_answers;
    QStringList m_commands;
    QByteArray m_pending;
    QByteArray m_message;
    bool m_inData = false;
    int m_connections = 0;
};
