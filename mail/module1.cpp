#include "module1.h"

#include "mailaddress.h"
#include "messagetext.h"
#include "sessionview.h"
#include "winsock.h"

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
const QString NoSmtpUtf8Text = QStringLiteral(
    " Mail not sent: its addresses are not plain ASCII and the server does not offer SMTPUTF8.");

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
const QByteArray SmtpUtf8Parameter = QByteArrayLiteral(" SMTPUTF8");

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

// A server's reply as one line of text: its lines joined with a blank, no CR or LF left.
QString OneLine(const QByteArray &reply) {
    QString text = QString::fromUtf8(reply);
    text.replace(u'\r', u'\n');
    return text.split(u'\n', Qt::SkipEmptyParts).join(u' ').trimmed();
}

// Whether the header lines of the message carry bytes beyond ASCII (an address the envelope
// does not name, say): such a header may go only to a server that takes SMTPUTF8.
bool HeaderNeedsSmtpUtf8(const MessageInput &message) {
    for (const MessageSend &send : MessageText::Sends(message)) {
        if (send.part > MessagePart::ContentType)
            break;
        if (std::ranges::any_of(send.bytes, [](char c) { return uchar(c) >= 0x80; }))
            return true;
    }
    return false;
}

// Whether an EHLO reply lists the SMTPUTF8 extension (RFC 6531) on one of its lines.
bool OffersSmtpUtf8(const QByteArray &ehloReply) {
    for (const QByteArray &line : ehloReply.split('\n')) {
        const QByteArray keyword = line.mid(4).trimmed().split(' ').value(0);
        if (keyword.compare("SMTPUTF8", Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

Module1::Module1(Winsock &socket, SessionView &view, Clock now, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_view(view)
    , m_now(std::move(now))
    , m_deadline(new QTimer(this)) {
    m_deadline->setTimerType(Qt::PreciseTimer);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, &Module1::OnDeadline);
    connect(&socket, &Winsock::Connected, this, &Module1::Winsock1_Connect);
    connect(&socket, &Winsock::DataArrival, this, &Module1::Winsock1_DataArrival);
    connect(&socket, &Winsock::Error, this, &Module1::Winsock1_Error);
    connect(&socket, &Winsock::PeerClosed, this, &Module1::Winsock1_PeerClosed);
}

// A session still running when the window goes simply stops: nobody is left to tell.
Module1::~Module1() = default;

void Module1::SendMail(const QString &server, const QString &headerSender,
                       const QString &envelopeSender, const QString &recipient,
                       const QString &subject, const QString &body, Done done) {
    if (m_running) {
        // One session at a time: the caller's mail never started.
        QMetaObject::invokeMethod(
            this,
            [done = std::move(done)] {
                done({false, MailOutcome::Reason::Busy, AbandonedText, {}});
            },
            Qt::QueuedConnection);
        return;
    }
    m_running = true;
    m_done = std::move(done);
    MailDelivered = false;
    SessionOk = false;
    ErrorText.clear();
    ServerReply.clear();
    m_view.SetLamp(0, Lamp::Passed);
    if (const int state = m_socket.State(); state != Winsock::sckClosed) {
        // A connection is still open: report it and close it so the next session can run.
        const QString report =
            TimeStamp(m_now()) + TcpStatusText + QLatin1Char(' ') + QString::number(state);
        AppendEvent(report);
        m_view.SetLamp(ResultLamp, Lamp::Failed);
        End({false, MailOutcome::Reason::SocketBusy, report, {}});
        return;
    }
    const MailAddress::Envelope from = MailAddress::EnvelopeOf(envelopeSender);
    const MailAddress::Envelope to = MailAddress::EnvelopeOf(recipient);
    m_session = {server,
                 from.address,
                 to.address,
                 {headerSender, recipient, subject, body, {}, {}, {}},
                 false};
    Prepare();
    m_session.needsSmtpUtf8 =
        from.needsSmtpUtf8 || to.needsSmtpUtf8 || HeaderNeedsSmtpUtf8(m_session.message);
    Perform();
}

void Module1::Prepare() {
    const QDateTime start = m_now();
    DateHeaderText = MessageText::DateHeaderText(start);
    SessionOk = true;
    m_parser.Clear();
    m_peerClosed = false;
    m_heloSent = false;
    m_smtpUtf8Offered = false;
    m_accepted = false;
    m_step = 0;
    m_why = MailOutcome::Reason::None;
    m_decidingReply.clear();
    m_view.SetEventsText(DateTimeStamp(start) + ConnectingText + m_session.server);
    m_view.EventsCaretToEnd();
    m_session.message.localHostName = Winsock::LocalHostName();
    m_session.message.dateHeaderText = DateHeaderText;
}

void Module1::Perform() {
    const Exchange &exchange = Dialogue[m_step];
    switch (exchange.out) {
    case Out::Connect:
        try {
            m_socket.LocalPort = 0;
            m_socket.Protocol = Winsock::sckTCPProtocol;
            m_socket.RemoteHost = m_session.server;
            m_socket.RemotePort = SmtpPort;
            m_socket.Connect();
        } catch (const WinsockFault &fault) {
            EndAtFault(fault.Description);
            return;
        }
        break;
    case Out::Ehlo:
        SendLine(EhloCommand);
        // A server that does not know ehlo is greeted once more with helo.
        WaitReply(exchange.awaited, ReplyLimit(), EhloUnknownCodes);
        return;
    case Out::MailFrom:
        if (m_session.needsSmtpUtf8 && !m_smtpUtf8Offered) {
            // RFC 6531: addresses and headers beyond ASCII go only to a server that offers
            // SMTPUTF8. This one did not: the mail is not offered to it at all.
            SendLine(QuitCommand);
            Fail(NoSmtpUtf8Text, MailOutcome::Reason::NeedsSmtpUtf8);
            AppendEvent(DateTimeStamp(m_now()) + NoSmtpUtf8Text);
            Judge();
            return;
        }
        SendLine(MailFromCommand + m_session.mailFrom +
                 (m_session.needsSmtpUtf8 ? SmtpUtf8Parameter : QByteArray()) + CommandEnd);
        break;
    case Out::RcptTo:
        SendLine(RcptToCommand + m_session.rcptTo + CommandEnd);
        break;
    case Out::Data:
        SendLine(DataCommand);
        break;
    case Out::Message:
        m_session.message.messageIdTime = m_now();
        for (const MessageSend &send : MessageText::Sends(m_session.message)) {
            SendLine(send.bytes);
            if (const int lamp = LampAfter(send.part); lamp >= 0)
                m_view.SetLamp(lamp, Lamp::Passed);
        }
        Next();
        return;
    case Out::EndOfData:
        SendLine(MessageText::EndOfData());
        WaitReply(exchange.awaited, EndOfDataTimeout);
        return;
    case Out::Quit:
        SendLine(QuitCommand);
        break;
    }
    WaitReply(exchange.awaited, ReplyLimit());
}

void Module1::Next() {
    const Exchange &exchange = Dialogue[m_step];
    m_view.SetLamp(exchange.lamp, exchange.colour);
    if (exchange.out == Out::EndOfData)
        // Once the server has accepted the end of data the mail is its own: nothing after
        // that may count as a failure, or the mail would be sent again at the next tick.
        m_accepted = SessionOk;
    ++m_step;
    if (SessionOk && m_step < Dialogue.size())
        Perform();
    else
        Judge();
}

void Module1::WaitReply(int expected, std::chrono::milliseconds limit,
                        std::span<const int> tolerated) {
    if (!SessionOk) {
        ReplyEnded(0);
        return;
    }
    m_wait.emplace();
    m_wait->expected = expected;
    m_wait->tolerated = tolerated;
    m_wait->limit = limit;
    m_wait->elapsed.start();
    m_deadline->start(limit);
    Examine();
}

void Module1::Examine() {
    if (!m_wait)
        return;
    const ReplyParser::Reply reply = m_parser.Take();
    ServerReply = m_parser.Buffer();
    if (const std::optional<int> code = Settle(reply)) {
        ReplyEnded(*code);
        return;
    }
    if (!SessionOk) {
        ReplyEnded(0);
        return;
    }
    if (m_peerClosed) {
        Fail(PeerClosedText, MailOutcome::Reason::PeerClosed);
        ReplyEnded(0);
        return;
    }
    if (std::chrono::nanoseconds(m_wait->elapsed.nsecsElapsed()) > m_wait->limit) {
        // The reply to "quit" comes after the server has taken the mail: there is nothing
        // left to refuse, and a missing one is only noted.
        const bool farewell = m_wait->expected == ClosingCode;
        Fail(farewell ? QuitUnansweredText : TimeOutText, MailOutcome::Reason::TimedOut);
        m_parser.Clear();
        ServerReply.clear();
        ReplyEnded(0);
    }
}

void Module1::OnDeadline() {
    if (!m_wait)
        return;
    const auto left = m_wait->limit - std::chrono::milliseconds(m_wait->elapsed.elapsed());
    if (left >= 0ms) {
        // Early by a hair: the limit itself has not yet passed.
        m_deadline->start(left + 1ms);
        return;
    }
    Examine();
}

void Module1::ReplyEnded(int code) {
    const bool wasEhlo = Dialogue[m_step].out == Out::Ehlo && !m_heloSent;
    m_wait.reset();
    m_deadline->stop();
    if (wasEhlo && SessionOk && OneOf(code, EhloUnknownCodes)) {
        m_heloSent = true;
        SendLine(HeloCommand);
        WaitReply(Dialogue[m_step].awaited, ReplyLimit());
        return;
    }
    Next();
}

std::chrono::milliseconds Module1::ReplyLimit() const {
    if (ReplyTimeoutOverride > 0ms)
        return ReplyTimeoutOverride;
    return std::chrono::seconds(ReplyTimeout);
}

std::optional<int> Module1::Settle(const ReplyParser::Reply &reply) {
    const int expected = m_wait->expected;
    switch (reply.status) {
    case ReplyParser::Status::Complete:
        if (Answers(reply.code, expected) || OneOf(reply.code, m_wait->tolerated)) {
            if (Dialogue[m_step].out == Out::Ehlo && !m_heloSent)
                m_smtpUtf8Offered = Answers(reply.code, OkCode) && OffersSmtpUtf8(reply.text);
            return reply.code;
        }
        m_decidingReply = reply.text;
        if (expected == ClosingCode) {
            Fail(QuitReplyText + OneLine(reply.text), MailOutcome::Reason::Refused);
            return reply.code;
        }
        // Any other answer ends the session; the server is told goodbye if it still listens.
        if (m_socket.State() == Winsock::sckConnected)
            SendLine(QuitCommand);
        Fail(NotDeliveredText + OneLine(reply.text), MailOutcome::Reason::Refused);
        return reply.code;
    case ReplyParser::Status::NotSmtp:
        Fail(NotSmtpText + reply.reason, MailOutcome::Reason::NotSmtp);
        return 0;
    case ReplyParser::Status::TooLong:
        Fail(TooLongText + reply.reason, MailOutcome::Reason::NotSmtp);
        m_parser.Clear();
        ServerReply.clear();
        return 0;
    case ReplyParser::Status::Incomplete:
        break;
    }
    return std::nullopt;
}

void Module1::Judge() {
    const QDateTime end = m_now();
    if (!m_accepted) {
        m_view.SetResultLine(DateTimeStamp(end) + ErrorText);
        m_view.SetLamp(ResultLamp, Lamp::Failed);
        End({false, m_why, ErrorText, m_decidingReply});
        return;
    }
    if (!SessionOk) // "quit" went wrong, or the socket did afterwards
        AppendEvent(DateTimeStamp(end) + ErrorText);
    MailDelivered = true;
    if (MsgsSent == std::numeric_limits<qint32>::max()) {
        AppendEvent(OverflowText);
        End({true, MailOutcome::Reason::None, OverflowText, {}});
        return;
    }
    ++MsgsSent;
    m_view.SetResultLine(DateTimeStamp(end) + MsgsSentText + QString::number(MsgsSent));
    m_view.SetEventsText(m_view.EventsText() + LineBreak + DateTimeStamp(end) + DisconnectingText);
    m_view.EventsCaretToEnd();
    m_view.SetLamp(ResultLamp, Lamp::Succeeded);
    End({true, MailOutcome::Reason::None, {}, {}});
}

void Module1::End(MailOutcome outcome) {
    m_socket.Close();
    for (int lamp = 0; lamp <= LastStepLamp; ++lamp)
        m_view.SetLamp(lamp, Lamp::Idle);
    Hand(std::move(outcome));
}

void Module1::EndAtFault(const QString &description) {
    AppendEvent(description);
    Hand({false, MailOutcome::Reason::Fault, description, {}});
}

void Module1::Hand(MailOutcome outcome) {
    m_wait.reset();
    m_deadline->stop();
    m_running = false;
    // From the event loop: whoever started the session may start the next one from there.
    QMetaObject::invokeMethod(
        this,
        [done = std::exchange(m_done, {}), outcome = std::move(outcome)] {
            if (done)
                done(outcome);
        },
        Qt::QueuedConnection);
}

void Module1::Winsock1_Connect() {
    if (m_running)
        m_view.SetEventsText(m_view.EventsText() + ConnectedText);
}

void Module1::Winsock1_DataArrival() {
    m_parser.Append(m_socket.GetData());
    ServerReply = m_parser.Buffer();
    Examine();
}

void Module1::Winsock1_Error(int number, const QString &description) {
    Q_UNUSED(number);
    if (!m_running)
        return;
    Fail(QLatin1Char(' ') + description, MailOutcome::Reason::SocketError);
    Examine();
}

void Module1::Winsock1_PeerClosed() {
    m_peerClosed = true;
    Examine();
}

void Module1::Abandon() {
    if (!m_running)
        return;
    if (SessionOk)
        Fail(AbandonedText, MailOutcome::Reason::Abandoned);
    Examine();
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

void Module1::Fail(const QString &reason, MailOutcome::Reason why) {
    ErrorText = reason;
    SessionOk = false;
    m_why = why;
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
