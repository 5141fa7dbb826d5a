#include <QHostInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "faultserver.h"
#include "winsock.h"

namespace {

constexpr int WaitMs = 5000;

} // namespace

class TestWinsock : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void startsClosed();
    void localHostNameIsTheMachines();
    void connectsAndExchangesData();
    void connectReturnsBeforeAnyEvent();
    void refusedConnectionIsAnError();
    void unknownHostIsAnError();
    void peerCloseIsReported();
    void sendDataNeedsAConnection();
    void refusedSettings_data();
    void refusedSettings();

private:
    // Connects `socket` to m_server and returns the server's end.
    QTcpSocket *ConnectToServer(Winsock &socket);

    QTcpServer *m_server = nullptr;
};

void TestWinsock::init() {
    m_server = new QTcpServer(this);
    QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
}

void TestWinsock::cleanup() {
    delete m_server;
    m_server = nullptr;
}

QTcpSocket *TestWinsock::ConnectToServer(Winsock &socket) {
    QSignalSpy connected(&socket, &Winsock::Connected);
    socket.RemoteHost = QStringLiteral("127.0.0.1");
    socket.RemotePort = 25;
    socket.setPortOverride(m_server->serverPort());
    socket.Connect();
    if (!connected.wait(WaitMs))
        return nullptr;
    if (!m_server->hasPendingConnections() && !m_server->waitForNewConnection(WaitMs))
        return nullptr;
    return m_server->nextPendingConnection();
}

void TestWinsock::startsClosed() {
    Winsock socket;
    QCOMPARE(socket.State(), 0);
    QCOMPARE(socket.GetData(), QByteArray());
    socket.Close();
    QCOMPARE(socket.State(), 0);
}

void TestWinsock::localHostNameIsTheMachines() {
    QCOMPARE(Winsock::LocalHostName(), QHostInfo::localHostName());
}

void TestWinsock::connectsAndExchangesData() {
    Winsock socket;
    QTcpSocket *peer = ConnectToServer(socket);
    QVERIFY(peer);
    QCOMPARE(socket.State(), int(Winsock::sckConnected));

    socket.SendData("ehlo MailerDaemon\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(19), WaitMs);
    QCOMPARE(peer->readAll(), QByteArray("ehlo MailerDaemon\r\n"));

    QSignalSpy arrival(&socket, &Winsock::DataArrival);
    peer->write("250 OK\r\n");
    QVERIFY(arrival.wait(WaitMs));
    QCOMPARE(arrival.first().first().toLongLong(), qint64(8));
    QCOMPARE(socket.GetData(), QByteArray("250 OK\r\n"));
    QCOMPARE(socket.GetData(), QByteArray());

    socket.Close();
    QCOMPARE(socket.State(), 0);
    QVERIFY(peer->state() == QAbstractSocket::UnconnectedState ||
            peer->waitForDisconnected(WaitMs));
}

void TestWinsock::connectReturnsBeforeAnyEvent() {
    Winsock socket;
    QSignalSpy connected(&socket, &Winsock::Connected);
    QSignalSpy error(&socket, &Winsock::Error);
    socket.RemoteHost = QStringLiteral("127.0.0.1");
    socket.setPortOverride(FaultServer::ClosedPort());
    socket.Connect();
    QCOMPARE(connected.count() + error.count(), 0);
    QVERIFY(socket.State() == Winsock::sckResolvingHost ||
            socket.State() == Winsock::sckConnecting || socket.State() == Winsock::sckClosed);
    QVERIFY(error.wait(WaitMs));
}

void TestWinsock::refusedConnectionIsAnError() {
    Winsock socket;
    QSignalSpy error(&socket, &Winsock::Error);
    socket.RemoteHost = QStringLiteral("127.0.0.1");
    socket.setPortOverride(FaultServer::ClosedPort());
    socket.Connect();
    QVERIFY(error.wait(WaitMs));
    QCOMPARE(error.first().at(0).toInt(), 10061);
    QCOMPARE(error.first().at(1).toString(), QStringLiteral("Connection refused"));
    QCOMPARE(socket.State(), int(Winsock::sckError));
    socket.Close();
    QCOMPARE(socket.State(), 0);
}

void TestWinsock::unknownHostIsAnError() {
    Winsock socket;
    QSignalSpy error(&socket, &Winsock::Error);
    socket.RemoteHost = QStringLiteral("no-such-host.invalid");
    socket.RemotePort = 25;
    socket.Connect();
    QVERIFY(error.wait(30000));
    QCOMPARE(error.first().at(0).toInt(), 11001);
    QCOMPARE(error.first().at(1).toString(), QStringLiteral("Host not found"));
    QCOMPARE(socket.State(), int(Winsock::sckError));
    socket.Close();
    QCOMPARE(socket.State(), 0);
}

void TestWinsock::peerCloseIsReported() {
    Winsock socket;
    QTcpSocket *peer = ConnectToServer(socket);
    QVERIFY(peer);
    QSignalSpy closed(&socket, &Winsock::PeerClosed);
    QSignalSpy arrival(&socket, &Winsock::DataArrival);
    QSignalSpy error(&socket, &Winsock::Error);
    peer->write("221 bye\r\n");
    peer->disconnectFromHost();
    QVERIFY(closed.wait(WaitMs));
    QCOMPARE(closed.count(), 1);
    QCOMPARE(error.count(), 0);
    // What the server said before closing is still there to read.
    QCOMPARE(arrival.count(), 1);
    QCOMPARE(socket.GetData(), QByteArray("221 bye\r\n"));
    QCOMPARE(socket.State(), int(Winsock::sckClosing));
    QVERIFY_THROWS_EXCEPTION(WinsockFault, socket.SendData("quit\r\n"));
    socket.Close();
    QCOMPARE(socket.State(), 0);
}

void TestWinsock::sendDataNeedsAConnection() {
    Winsock socket;
    try {
        socket.SendData("quit\r\n");
        QFAIL("SendData on a closed socket was accepted");
    } catch (const WinsockFault &fault) {
        QCOMPARE(fault.Description,
                 QStringLiteral("Wrong protocol or connection state for the requested "
                                "transaction or request"));
    }
    // A second Connect on a connected socket is refused too.
    QTcpSocket *peer = ConnectToServer(socket);
    QVERIFY(peer);
    QVERIFY_THROWS_EXCEPTION(WinsockFault, socket.Connect());
    QCOMPARE(socket.State(), int(Winsock::sckConnected));
}

void TestWinsock::refusedSettings_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("remotePort");
    QTest::addColumn<int>("localPort");
    QTest::newRow("UDP") << 1 << 25 << 0;
    QTest::newRow("remote port 0") << 0 << 0 << 0;
    QTest::newRow("remote port too large") << 0 << 70000 << 0;
    QTest::newRow("negative local port") << 0 << 25 << -1;
}

void TestWinsock::refusedSettings() {
    QFETCH(int, protocol);
    QFETCH(int, remotePort);
    QFETCH(int, localPort);
    Winsock socket;
    socket.Protocol = protocol;
    socket.RemotePort = remotePort;
    socket.LocalPort = localPort;
    socket.RemoteHost = QStringLiteral("127.0.0.1");
    QVERIFY_THROWS_EXCEPTION(WinsockFault, socket.Connect());
    QCOMPARE(socket.State(), 0);
}

QTEST_GUILESS_MAIN(TestWinsock)
#include "tst_winsock.moc"
