#include "winsock.h"

#include <QHostInfo>
#include <QTcpSocket>

namespace {

// Numbers the control reports in its Error event, with the texts shown to the user.
constexpr int sckConnectionRefused = 10061;
constexpr int sckHostNotFound = 11001;
constexpr int sckTimedout = 10060;
constexpr int sckNetworkUnreachable = 10051;
constexpr int sckAccessDenied = 10013;
constexpr int sckAddressInUse = 10048;
constexpr int sckAddressNotAvailable = 10049;
constexpr int sckNoBufferSpace = 10055;
constexpr int sckUnsupported = 40018;
constexpr int sckUnknownError = 10000;

struct ErrorEntry {
    QAbstractSocket::SocketError qtError;
    int number;
    const char16_t *description;
};

constexpr ErrorEntry ErrorTable[] = {
    {QAbstractSocket::ConnectionRefusedError, sckConnectionRefused, u"Connection refused"},
    {QAbstractSocket::HostNotFoundError, sckHostNotFound, u"Host not found"},
    {QAbstractSocket::SocketTimeoutError, sckTimedout, u"Connection timed out"},
    {QAbstractSocket::NetworkError, sckNetworkUnreachable, u"Network is unreachable"},
    {QAbstractSocket::SocketAccessError, sckAccessDenied, u"Permission denied"},
    {QAbstractSocket::AddressInUseError, sckAddressInUse, u"Address in use"},
    {QAbstractSocket::SocketAddressNotAvailableError, sckAddressNotAvailable,
     u"Address not available"},
    {QAbstractSocket::SocketResourceError, sckNoBufferSpace, u"No buffer space is available"},
    {QAbstractSocket::UnsupportedSocketOperationError, sckUnsupported,
     u"The operation is not supported"},
};

const QString BadStateText =
    QStringLiteral("Wrong protocol or connection state for the requested transaction or request");
const QString BadProtocolText = QStringLiteral("Only the TCP protocol is supported");
const QString BadPortText = QStringLiteral("Invalid port number");
const QString SendFailedText = QStringLiteral("The data could not be queued for sending");

} // namespace

Winsock::Winsock(QObject *parent)
    : QObject(parent)
    , m_socket(new QTcpSocket(this)) {
    // Every socket notification is re-posted so that the control's events reach the program
    // only from the event loop, never from inside Connect or Close, and so that whatever was
    // still queued for a connection that has since been closed is dropped.
    connect(m_socket, &QTcpSocket::connected, this,
            [this] { Post([this] { Q_EMIT Connected(); }); });
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        Post([this] {
            if (const qint64 waiting = m_socket->bytesAvailable(); waiting > 0)
                Q_EMIT DataArrival(waiting);
        });
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { Post([this] { OnPeerGone(); }); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError) {
            Post([this] { OnPeerGone(); });
            return;
        }
        const QString qtText = m_socket->errorString();
        Post([this, error, qtText] { OnSocketError(error, qtText); });
    });
}

Winsock::~Winsock() = default;

int Winsock::State() const {
    if (m_failed)
        return sckError;
    if (m_peerClosed)
        return sckClosing;
    switch (m_socket->state()) {
    case QAbstractSocket::UnconnectedState:
        return sckClosed;
    case QAbstractSocket::HostLookupState:
        return sckResolvingHost;
    case QAbstractSocket::ConnectingState:
        return sckConnecting;
    case QAbstractSocket::ConnectedState:
        return sckConnected;
    case QAbstractSocket::BoundState:
        return sckOpen;
    case QAbstractSocket::ListeningState:
        return sckListening;
    case QAbstractSocket::ClosingState:
        return sckClosing;
    }
    return sckError;
}

void Winsock::Connect() {
    if (State() != sckClosed)
        throw WinsockFault{BadStateText};
    if (Protocol != sckTCPProtocol)
        throw WinsockFault{BadProtocolText};
    const int port = m_portOverride != 0 ? m_portOverride : RemotePort;
    if (port <= 0 || port > 65535 || LocalPort < 0 || LocalPort > 65535)
        throw WinsockFault{BadPortText};
    if (LocalPort != 0 && !m_socket->bind(QHostAddress::AnyIPv4, quint16(LocalPort)))
        throw WinsockFault{m_socket->errorString()};
    m_socket->connectToHost(RemoteHost, quint16(port));
}

void Winsock::SendData(const QByteArray &data) {
    if (State() != sckConnected)
        throw WinsockFault{BadStateText};
    if (m_socket->write(data) != data.size())
        throw WinsockFault{SendFailedText};
}

QByteArray Winsock::GetData() {
    if (!m_socket->isOpen())
        return {};
    return m_socket->readAll();
}

void Winsock::Close() {
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        // Hand what is still queued (a last "quit") to the system, and read what is left so
        // the close goes out as an orderly end of the connection rather than a reset.
        m_socket->flush();
        m_socket->readAll();
        m_socket->disconnectFromHost();
    }
    m_socket->abort();
    m_failed = false;
    m_peerClosed = false;
    // Notifications of the connection just closed, still waiting in the queue, are void.
    ++m_generation;
}

QString Winsock::LocalHostName() {
    return QHostInfo::localHostName();
}

void Winsock::Post(std::function<void()> event) {
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, event = std::move(event)] {
            if (generation == m_generation)
                event();
        },
        Qt::QueuedConnection);
}

void Winsock::OnPeerGone() {
    if (m_failed || m_peerClosed)
        return;
    m_peerClosed = true;
    Q_EMIT PeerClosed();
}

void Winsock::OnSocketError(int qtError, const QString &qtText) {
    m_failed = true;
    for (const ErrorEntry &entry : ErrorTable) {
        if (entry.qtError == qtError) {
            Q_EMIT Error(entry.number, QString::fromUtf16(entry.description));
            return;
        }
    }
    Q_EMIT Error(sckUnknownError, qtText.isEmpty() ? BadStateText : qtText);
}
