#include "module1.h"

#include "messagetext.h"
#include "sessionview.h"
#include "winsock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <array>
#include <limits>

using namespace std::chrono_literals;

namespace {

// Texts of the Events box and the result line.
const QString ConnectingText = QStringLiteral(" Connecting to: ");
const QString ConnectedText = QStringLiteral(": Connected.");
const QString DisconnectingText = QStringLiteral(" TCP: Disconnecting....");
const QString MsgsSentText = QStringLiteral(" Msgs Sent: ");
const QString TcpStatusText = QStringLiteral(" Error on Tcp status: ");
const QString LineBreak = QStringLiteral("\r\n");
const QString OverflowText = QStringLiteral("Overflow");

// Reasons of a failed session; each begins with a blank, as the result line expects.
const QString TimeOutText = QStringLiteral(" Server Time Out.");
const QString NotDeliveredText = QStringLiteral(" Mail not delivered: ");
const QString PeerClosedText = QStringLiteral(" Connection closed by the server.");
const QString NotSmtpText = QStringLiteral(" Not an SMTP reply: ");
const QString TooLongText = QStringLiteral(" Reply too long: ");
const QString AbandonedText = QStringLiteral(" Session abandoned.");

// Notes in the Events box when "quit" goes wrong after the mail was accepted.
const QString QuitUnansweredText = QStringLiteral(" Server did not answer quit.");
const QString QuitReplyText = QStringLiteral(" Reply to quit: ");

// The commands, in the lower case the program has always sent.
const QByteArray EhloCommand = QByteArrayLiteral("ehlo MailerDaemon\r\n");
const QByteArray HeloCommand = QByteArrayLiteral("helo MailerDaemon\r\n");
const QByteArray MailFromCommand = QByteArrayLiteral("mail from:");
const QByteArray RcptToCommand = QByteArrayLiteral("rcpt to:");
const QByteArray DataCommand = QByteArrayLiteral("data\r\n");
const QByteArray QuitCommand = QByteArrayLiteral("quit\r\n");
const QByteArray CommandEnd = QByteArrayLiteral("\r\n");

constexpr int SmtpPort = 25;

// Reply codes awaited.
constexpr int GreetingCode = 220;
constexpr int OkCode = 250;
constexpr int StartDataCode = 354;
constexpr int ClosingCode = 221;
// A server that does not know EHLO answers it with one of these and is then greeted with HELO
// (RFC 5321, 3.2).
constexpr std::array<int, 2> EhloUnknownCodes{500, 502};

// The lamps of the progress row.
constexpr int ResultLamp = 8;
constexpr int LastStepLamp = 7;

using Out = Exchange::Out;

// The whole dialogue, in order. The first failed wait ends it: nothing more is sent or awaited.
constexpr std::array<Exchange, 8> Dialogue{{
    {Out::Connect, GreetingCode, 1, Lamp::Passed},
    {Out::Ehlo, OkCode, 2, Lamp::Passed},
    {Out::MailFrom, OkCode, 3, Lamp::Passed},
    {Out::RcptTo, OkCode, 4, Lamp::Passed},
    {Out::Data, StartDataCode, 5, Lamp::Passed},
    {Out::Message, 0, LastStepLamp, Lamp::BodySent},
    {Out::EndOfData, OkCode, 6, Lamp::Passed},
    {Out::Quit, ClosingCode, LastStepLamp, Lamp::Passed},
}};

// The lamp lit again once a part of the header has gone out, if any.
int LampAfter(MessagePart part) {
    switch (part) {
    case MessagePart::Date:
    case MessagePart::From:
    case MessagePart::To:
        return 5;
    case MessagePart::Subject:
        return 6;
    default:
        return -1;
    }
}

// Whether a reply with `code` is what a step waiting for `expected` wants: the steps that wait
// for 250 take any positive completion (2yz, RFC 5321 4.2.1), the others only their own code.
bool Answers(int code, int expected) {
    return expected == OkCode ? code / 100 == 2 : code == expected;
}

bool OneOf(int code, std::span<const int> codes) {
    return std::ranges::find(codes, code) != codes.end();
}

// The address of a mail from / rcpt to command in angle brackets. When the user typed a
// bracketed address ("Name <a@b>"), that part is taken as it stands.
QByteArray EnvelopeAddress(const QString &typed) {
    const QString safe = MessageText::HeaderSafe(typed);
    const qsizetype open = safe.indexOf(u'<');
    const qsizetype close = open < 0 ? -1 : safe.indexOf(u'>', open);
    if (close > open)
        return safe.mid(open, close - open + 1).toUtf8();
    return '<' + safe.trimmed().toUtf8() + '>';
}

} // namespace

Module1::Module1(Winsock &socket, SessionView &view, Clock now)
    : m_socket(socket)
    , m_view(view)
    , m_now(std::move(now)) {
    m_socketEvents = {
        QObject::connect(&socket, &Winsock::Connected, &socket, [this] { Winsock1_Connect(); }),
        QObject::connect(&socket, &Winsock::DataArrival, &socket,
                         [this] { Winsock1_DataArrival(); }),
        QObject::connect(&socket, &Winsock::Error, &socket,
                         [this](int number, const QString &text) { Winsock1_Error(number, text); }),
        QObject::connect(&socket, &Winsock::PeerClosed, &socket, [this] { Winsock1_PeerClosed(); }),
    };
}

Module1::~Module1() {
    for (const QMetaObject::Connection &connection : std::as_const(m_socketEvents))
        QObject::disconnect(connection);
}

// What one session carries, as it goes on the wire.
struct Module1::Session {
    QString server;
    QByteArray mailFrom;
    QByteArray rcptTo;
    MessageInput message;
};

MailOutcome Module1::SendMail(const QString &server, const QString &headerSender,
                              const QString &envelopeSender, const QString &recipient,
                              const QString &subject, const QString &body) {
    if (m_running)
        return {false, AbandonedText}; // one session at a time; the caller keeps it so
    m_running = true;
    const auto notRunning = qScopeGuard([this] { m_running = false; });

    try {
        m_view.SetLamp(0, Lamp::Passed);
        MailOutcome outcome;
        if (const int state = m_socket.State(); state != Winsock::sckClosed) {
            // A connection is still open: report it and close it so the next session can run.
            outcome.reason =
                TimeStamp(m_now()) + TcpStatusText + QLatin1Char(' ') + QString::number(state);
            AppendEvent(outcome.reason);
            m_view.SetLamp(ResultLamp, Lamp::Failed);
        } else {
            Session session{server,
                            EnvelopeAddress(envelopeSender),
                            EnvelopeAddress(recipient),
                            {headerSender, recipient, subject, body, {}, {}, {}}};
            Prepare(session);
            const bool accepted = RunDialogue(session);
            QCoreApplication::processEvents();
            outcome = Judge(accepted);
        }
        m_socket.Close();
        for (int lamp = 0; lamp <= LastStepLamp; ++lamp)
            m_view.SetLamp(lamp, Lamp::Idle);
        return outcome;
    } catch (const WinsockFault &fault) {
        // The control refused a property or the connect: the session ends here, and the next
        // one finds the socket in whatever state this left it.
        AppendEvent(fault.Description);
        return {MailDelivered, fault.Description};
    }
}

void Module1::Prepare(Session &session) {
    const QDateTime start = m_now();
    DateHeaderText = MessageText::DateHeaderText(start);
    SessionOk = true;
    ErrorText.clear();
    m_parser.Clear();
    ServerReply.clear();
    m_peerClosed = false;
    m_view.SetEventsText(DateTimeStamp(start) + ConnectingText + session.server);
    m_view.EventsCaretToEnd();
    session.message.localHostName = Winsock::LocalHostName();
    session.message.dateHeaderText = DateHeaderText;
}

bool Module1::RunDialogue(Session &session) {
    // Once the server has accepted the end of data the mail is its own: nothing after that
    // may count as a failure, or the mail would be sent again at the next tick.
    bool accepted = false;
    for (const Exchange &exchange : Dialogue) {
        if (!SessionOk)
            break;
        Perform(exchange, session);
        m_view.SetLamp(exchange.lamp, exchange.colour);
        if (exchange.out == Out::EndOfData)
            accepted = SessionOk;
    }
    return accepted;
}

void Module1::Perform(const Exchange &exchange, Session &session) {
    switch (exchange.out) {
    case Out::Connect:
        m_socket.LocalPort = 0;
        m_socket.Protocol = Winsock::sckTCPProtocol;
        m_socket.RemoteHost = session.server;
        m_socket.RemotePort = SmtpPort;
        m_socket.Connect();
        break;
    case Out::Ehlo:
        SendLine(EhloCommand);
        // A server that does not know ehlo is greeted once more with helo.
        if (OneOf(WaitReply(exchange.awaited, ReplyLimit(), EhloUnknownCodes), EhloUnknownCodes))
            SendLine(HeloCommand);
        else
            return;
        break;
    case Out::MailFrom:
        SendLine(MailFromCommand + session.mailFrom + CommandEnd);
        break;
    case Out::RcptTo:
        SendLine(RcptToCommand + session.rcptTo + CommandEnd);
        break;
    case Out::Data:
        SendLine(DataCommand);
        break;
    case Out::Message:
        session.message.messageIdTime = m_now();
        for (const MessageSend &send : MessageText::Sends(session.message)) {
            SendLine(send.bytes);
            if (const int lamp = LampAfter(send.part); lamp >= 0)
                m_view.SetLamp(lamp, Lamp::Passed);
        }
        break;
    case Out::EndOfData:
        SendLine(MessageText::EndOfData());
        WaitReply(exchange.awaited, EndOfDataTimeout);
        return;
    case Out::Quit:
        SendLine(QuitCommand);
        break;
    }
    if (exchange.awaited != 0)
        WaitReply(exchange.awaited);
}

MailOutcome Module1::Judge(bool accepted) {
    const QDateTime end = m_now();
    if (!accepted) {
        m_view.SetResultLine(DateTimeStamp(end) + ErrorText);
        MailDelivered = false;
        m_view.SetLamp(ResultLamp, Lamp::Failed);
        return {false, ErrorText};
    }
    if (!SessionOk) // "quit" went wrong, or the socket did afterwards
        AppendEvent(DateTimeStamp(end) + ErrorText);
    MailDelivered = true;
    if (MsgsSent == std::numeric_limits<qint32>::max()) {
        AppendEvent(OverflowText);
        return {true, OverflowText};
    }
    ++MsgsSent;
    m_view.SetResultLine(DateTimeStamp(end) + MsgsSentText + QString::number(MsgsSent));
    m_view.SetEventsText(m_view.EventsText() + LineBreak + DateTimeStamp(end) + DisconnectingText);
    m_view.EventsCaretToEnd();
    m_view.SetLamp(ResultLamp, Lamp::Succeeded);
    return {true, {}};
}

void Module1::Winsock1_Connect() {
    m_view.SetEventsText(m_view.EventsText() + ConnectedText);
}

void Module1::Winsock1_DataArrival() {
    m_parser.Append(m_socket.GetData());
    ServerReply = m_parser.Buffer();
    WakeWait();
}

void Module1::Winsock1_Error(int number, const QString &description) {
    Q_UNUSED(number);
    ErrorText = QLatin1Char(' ') + description;
    SessionOk = false;
    WakeWait();
}

void Module1::Winsock1_PeerClosed() {
    m_peerClosed = true;
    WakeWait();
}

void Module1::Abandon() {
    if (!m_running)
        return;
    if (SessionOk)
        Fail(AbandonedText);
    WakeWait();
}

void Module1::SendLine(const QByteArray &text) {
    if (!SessionOk)
        return;
    try {
        m_socket.SendData(text);
    } catch (const WinsockFault &fault) {
        AppendEvent(fault.Description);
    }
}

int Module1::WaitReply(int expected) {
    return WaitReply(expected, ReplyLimit());
}

int Module1::WaitReply(int expected, std::chrono::milliseconds limit,
                       std::span<const int> tolerated) {
    if (!SessionOk)
        return 0;
    // The reply to "quit" comes after the server has taken the mail: there is nothing left to
    // refuse or to say goodbye to, and what ends this wait badly is only noted.
    const bool farewell = expected == ClosingCode;

    // The wait sleeps in an event loop ended by this module when the socket has something to
    // say, or by a precise timer at the deadline: the window stays responsive, nothing polls.
    QEventLoop loop;
    QTimer deadline;
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.setSingleShot(true);
    bool deadlinePassed = false;
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        deadlinePassed = true;
        loop.quit();
    });
    m_loop = &loop;
    const auto noLoop = qScopeGuard([this] { m_loop = nullptr; });

    // A monotonic clock: neither midnight nor a change of the system time moves the deadline.
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 limitNs = std::chrono::nanoseconds(limit).count();

    for (;;) {
        const ReplyParser::Reply reply = m_parser.Take();
        ServerReply = m_parser.Buffer();
        if (const std::optional<int> code = Settle(reply, expected, tolerated))
            return *code;
        if (!SessionOk)
            return 0;
        if (m_peerClosed) {
            Fail(PeerClosedText);
            return 0;
        }
        const qint64 leftNs = limitNs - elapsed.nsecsElapsed();
        if (leftNs < 0) {
            Fail(farewell ? QuitUnansweredText : TimeOutText);
            m_parser.Clear();
            ServerReply.clear();
            return 0;
        }
        constexpr qint64 NsPerMs = 1'000'000;
        const qint64 leftMs = std::clamp<qint64>((leftNs + NsPerMs - 1) / NsPerMs, 1,
                                                 std::numeric_limits<int>::max());
        deadline.start(int(leftMs));
        m_woken = false;
        deadlinePassed = false;
        loop.exec();
        deadline.stop();
        if (!m_woken && !deadlinePassed) {
            // Something else ended every event loop: the program is on its way out.
            Fail(AbandonedText);
            return 0;
        }
    }
}

std::chrono::milliseconds Module1::ReplyLimit() const {
    if (ReplyTimeoutOverride > 0ms)
        return ReplyTimeoutOverride;
    return std::chrono::seconds(ReplyTimeout);
}

std::optional<int> Module1::Settle(const ReplyParser::Reply &reply, int expected,
                                   std::span<const int> tolerated) {
    switch (reply.status) {
    case ReplyParser::Status::Complete:
        if (Answers(reply.code, expected) || OneOf(reply.code, tolerated))
            return reply.code;
        if (expected == ClosingCode) {
            Fail(QuitReplyText + QString::fromUtf8(reply.text).trimmed());
            return reply.code;
        }
        // Any other answer ends the session; the server is told goodbye if it still listens.
        ErrorText = NotDeliveredText + QString::fromUtf8(reply.text);
        if (m_socket.State() == Winsock::sckConnected)
            SendLine(QuitCommand);
        SessionOk = false;
        return reply.code;
    case ReplyParser::Status::NotSmtp:
        Fail(NotSmtpText + reply.reason);
        return 0;
    case ReplyParser::Status::TooLong:
        Fail(TooLongText + reply.reason);
        m_parser.Clear();
        ServerReply.clear();
        return 0;
    case ReplyParser::Status::Incomplete:
        break;
    }
    return std::nullopt;
}

void Module1::WakeWait() {
    if (m_loop == nullptr)
        return;
    m_woken = true;
    m_loop->quit();
}

void Module1::Fail(const QString &reason) {
    ErrorText = reason;
    SessionOk = false;
}

void Module1::AppendEvent(const QString &line) {
    const QString text = m_view.EventsText();
    m_view.SetEventsText(text.isEmpty() ? line : text + LineBreak + line);
    m_view.EventsCaretToEnd();
}

QString Module1::DateTimeStamp(const QDateTime &now) const {
    const QDate date = now.date();
    return QString::asprintf("%02d-%02d-%04d ", date.month(), date.day(), date.year()) +
           TimeStamp(now);
}

QString Module1::TimeStamp(const QDateTime &now) const {
    const QTime time = now.time();
    return QString::asprintf("%02d:%02d:%02d", time.hour(), time.minute(), time.second());
}
