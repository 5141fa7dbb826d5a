#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QTcpSocket;

// The program's TCP socket control: one client connection at a time, with the
// operations and numbered states the mail session was written against. Connect
// and SendData return at once; outcomes arrive as signals on the GUI thread
// while events are processed.
class Winsock : public QObject {
    Q_OBJECT
public:
    // The control's State numbers.
    enum StateValue : int {
        sckClosed = 0,
        sckOpen = 1,
        sckListening = 2,
        sckConnectionPending = 3,
        sckResolvingHost = 4,
        sckHostResolved = 5,
        sckConnecting = 6,
        sckConnected = 7,
        sckClosing = 8,
        sckError = 9,
    };
    enum ProtocolValue : int { sckTCPProtocol = 0 };

    explicit Winsock(QObject *parent = nullptr);
    ~Winsock() override;

    // 0 when no connection is open; the numbers above otherwise.
    int State() const;

    int LocalPort = 0;
    int Protocol = sckTCPProtocol;
    QString RemoteHost;
    int RemotePort = 0;

    // Where Connect really goes when set (non-zero): lets tests and the test
    // fixtures put a loopback server in place of port 25. 0 uses RemotePort.
    void setPortOverride(quint16 port) { m_portOverride = port; }
    quint16 portOverride() const { return m_portOverride; }

    // Starts connecting to RemoteHost:RemotePort; returns at once.
    void Connect();
    // Queues the bytes for sending; returns at once. Throws WinsockFault when
    // the socket is not connected.
    void SendData(const QByteArray &data);
    // Everything received and not yet read.
    QByteArray GetData();
    // Back to state 0.
    void Close();

    // The local machine's host name; possibly empty.
    static QString LocalHostName();

Q_SIGNALS:
    void Connected();
    void DataArrival(qint64 bytesTotal);
    // Number is the Winsock-style error number, Description the text to show.
    void Error(int Number, const QString &Description);
    // The peer closed the connection (state 8).
    void PeerClosed();

private:
    // Delivers a socket notification from the event loop, unless the connection it belongs
    // to has been closed in the meantime.
    void Post(std::function<void()> event);
    void OnPeerGone();
    void OnSocketError(int qtError, const QString &qtText);

    QTcpSocket *m_socket;
    quint16 m_portOverride = 0;
    bool m_failed = false;
    bool m_peerClosed = false;
    quint64 m_generation = 0; // grows at every Close
};

// A socket operation the control refuses (SendData on a closed socket, say).
struct WinsockFault {
    QString Description;
};
