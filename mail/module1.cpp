#include "module1.h"

#include "mailaddress.h"
#include "messagetext.h"
#include "sessionview.h"
#include "winsock.h"

#include <QTimer>

#include <algorithm>
#include <array>
#include <limits>
#include <span>

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

using Out = Exchange::Out;
using Reason = DeliveryOutcome::Reason;

// The whole dialogue, in order. The first failed wait ends it: nothing more is sent or awaited.
constexpr std::array<Exchange, 8> Dialogue{{
    {Out::Connect, GreetingCode, ProgressLamp::Greeting, Lamp::Passed},
    {Out::Ehlo, OkCode, ProgressLamp::Greeted, Lamp::Passed},
    {Out::MailFrom, OkCode, ProgressLamp::Sender, Lamp::Passed},
    {Out::RcptTo, OkCode, ProgressLamp::Recipient, Lamp::Passed},
    {Out::Data, StartDataCode, ProgressLamp::Data, Lamp::Passed},
    {Out::Message, 0, ProgressLamp::Body, Lamp::BodySent},
    {Out::EndOfData, OkCode, ProgressLamp::Header, Lamp::Passed},
    {Out::Quit, ClosingCode, ProgressLamp::Body, Lamp::Passed},
}};

// The row of the dialogue that sends `out`.
constexpr std::size_t RowOf(Out out) {
    std::size_t row = 0;
    while (row < Dialogue.size() && Dialogue[row].out != out)
        ++row;
    return row;
}

// The lamp lit again once a part of the header has gone out, if any.
std::optional<ProgressLamp> LampAfter(MessagePart part) {
    switch (part) {
    case MessagePart::Date:
    case MessagePart::From:
    case MessagePart::To:
        return ProgressLamp::Data;
    case MessagePart::Subject:
        return ProgressLamp::Header;
    default:
        return std::nullopt;
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
    connect(m_deadline, &QTimer::timeout, this, &Module1::deadlinePassed);
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
    if (m_phase != Phase::Idle) {
        // One session at a time: the caller's mail never started.
        QMetaObject::invokeMethod(
            this,
            [done = std::move(done), outcome = DeliveryOutcome::Failed(
                                         m_now(), Reason::Busy, AbandonedText)] { done(outcome); },
            Qt::QueuedConnection);
        return;
    }
    m_phase = Phase::Sending;
    m_row = 0;
    m_failure.reset();
    m_done = std::move(done);
    setLamp(ProgressLamp::Started, Lamp::Passed);
    if (const int state = m_socket.State(); state != Winsock::sckClosed) {
        // A connection is still open: report it and close it so the next session can run.
        const QDateTime now = m_now();
        const QString what = TcpStatusText + QLatin1Char(' ') + QString::number(state);
        appendEvent(timeStamp(now) + what);
        setLamp(ProgressLamp::Result, Lamp::Failed);
        closeSession(DeliveryOutcome::Failed(now, Reason::SocketBusy, what));
        return;
    }
    const MailAddress::Envelope from = MailAddress::EnvelopeOf(envelopeSender);
    const MailAddress::Envelope to = MailAddress::EnvelopeOf(recipient);
    m_session = Session{};
    m_session.server = server;
    m_session.mailFrom = from.address;
    m_session.rcptTo = to.address;
    m_session.message = {headerSender, recipient, subject, body, {}, {}, {}};
    beginSession();
    m_session.needsSmtpUtf8 =
        from.needsSmtpUtf8 || to.needsSmtpUtf8 || HeaderNeedsSmtpUtf8(m_session.message);
    sendExchange();
}

void Module1::beginSession() {
    const QDateTime start = m_now();
    m_parser.Clear();
    m_view.SetEventsText(DeliveryOutcome::Stamp(start) + ConnectingText + m_session.server);
    m_view.EventsCaretToEnd();
    m_session.message.localHostName = Winsock::LocalHostName();
    m_session.message.dateHeaderText = MessageText::DateHeaderText(start);
}

void Module1::sendExchange() {
    switch (Dialogue[m_row].out) {
    case Out::Connect:
        try {
            m_socket.LocalPort = 0;
            m_socket.Protocol = Winsock::sckTCPProtocol;
            m_socket.RemoteHost = m_session.server;
            m_socket.RemotePort = SmtpPort;
            m_socket.Connect();
        } catch (const WinsockFault &fault) {
            endAtFault(fault.Description);
            return;
        }
        break;
    case Out::Ehlo:
        SendLine(EhloCommand);
        break;
    case Out::MailFrom:
        if (m_session.needsSmtpUtf8 && !m_session.smtpUtf8Offered) {
            // RFC 6531: addresses and headers beyond ASCII go only to a server that offers
            // SMTPUTF8. This one did not: the mail is not offered to it at all.
            sayGoodbye();
            fail(NoSmtpUtf8Text, Reason::NeedsSmtpUtf8);
            appendEvent(DeliveryOutcome::Stamp(m_now()) + NoSmtpUtf8Text);
            endSession();
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
            if (const std::optional<ProgressLamp> lamp = LampAfter(send.part))
                setLamp(*lamp, Lamp::Passed);
        }
        endExchange();
        return;
    case Out::EndOfData:
        SendLine(MessageText::EndOfData());
        break;
    case Out::Quit:
        sayGoodbye();
        break;
    }
    WaitReply();
}

void Module1::WaitReply(Phase phase) {
    if (m_failure) {
        endExchange();
        return;
    }
    m_phase = phase;
    m_waitClock.start();
    m_deadline->start(waitLimit());
    checkForReply();
}

void Module1::checkForReply() {
    if (!awaiting())
        return;
    const ReplyParser::Reply reply = m_parser.Take();
    switch (reply.status) {
    case ReplyParser::Status::Complete:
        replyArrived(reply);
        return;
    case ReplyParser::Status::NotSmtp:
        fail(NotSmtpText + reply.reason, Reason::NotSmtp);
        break;
    case ReplyParser::Status::TooLong:
        fail(TooLongText + reply.reason, Reason::NotSmtp);
        m_parser.Clear();
        break;
    case ReplyParser::Status::Incomplete:
        if (m_failure)
            break;
        if (m_socket.State() == Winsock::sckClosing) {
            fail(PeerClosedText, Reason::PeerClosed);
        } else if (std::chrono::nanoseconds(m_waitClock.nsecsElapsed()) > waitLimit()) {
            // A missing reply to "quit" comes after the server has taken the mail: it is
            // only noted.
            fail(mailAccepted() ? QuitUnansweredText : TimeOutText, Reason::TimedOut);
            m_parser.Clear();
        } else {
            return; // the reply is still to come
        }
        break;
    }
    endExchange();
}

void Module1::replyArrived(const ReplyParser::Reply &reply) {
    const Exchange &exchange = Dialogue[m_row];
    const bool toEhlo = m_phase == Phase::AwaitingReply && exchange.out == Out::Ehlo;
    if (Answers(reply.code, exchange.awaited)) {
        if (toEhlo)
            m_session.smtpUtf8Offered = OffersSmtpUtf8(reply.text);
    } else if (toEhlo && OneOf(reply.code, EhloUnknownCodes)) {
        // A server that does not know ehlo is greeted once more, with helo.
        if (!m_failure) {
            sendHelo();
            return;
        }
    } else if (mailAccepted()) {
        // Only "quit" is left to answer: the mail is the server's whatever the reply says.
        fail(QuitReplyText + OneLine(reply.text), Reason::Refused);
    } else {
        // Any other answer ends the session; the server is told goodbye if it still listens.
        if (m_socket.State() == Winsock::sckConnected)
            sayGoodbye();
        fail(NotDeliveredText + OneLine(reply.text), Reason::Refused);
    }
    endExchange();
}

void Module1::sayGoodbye() {
    SendLine(QuitCommand);
}

void Module1::sendHelo() {
    SendLine(HeloCommand);
    WaitReply(Phase::AwaitingHelo);
}

void Module1::endExchange() {
    m_deadline->stop();
    m_phase = Phase::Sending;
    const Exchange &exchange = Dialogue[m_row];
    setLamp(exchange.lamp, exchange.colour);
    // A failed row stays the current one: whether the mail was accepted depends on it.
    if (!m_failure && ++m_row < Dialogue.size())
        sendExchange();
    else
        endSession();
}

bool Module1::mailAccepted() const {
    // Once the server has accepted the end of data the mail is its own: nothing after that
    // may count as a failure, or the mail would be sent again at the next tick.
    return m_row > RowOf(Out::EndOfData);
}

std::chrono::milliseconds Module1::waitLimit() const {
    if (m_phase == Phase::AwaitingReply && Dialogue[m_row].out == Out::EndOfData)
        return EndOfDataTimeout;
    if (ReplyTimeoutOverride > 0ms)
        return ReplyTimeoutOverride;
    return std::chrono::seconds(ReplyTimeout);
}

void Module1::deadlinePassed() {
    if (!awaiting())
        return;
    const auto left = waitLimit() - std::chrono::milliseconds(m_waitClock.elapsed());
    if (left >= 0ms) {
        // Early by a hair: the limit itself has not yet passed.
        m_deadline->start(left + 1ms);
        return;
    }
    checkForReply();
}

void Module1::endSession() {
    const QDateTime now = m_now();
    const QString stamp = DeliveryOutcome::Stamp(now);
    const Failure failure = m_failure.value_or(Failure{});
    if (!mailAccepted()) {
        const DeliveryOutcome outcome = DeliveryOutcome::Failed(now, failure.reason, failure.text);
        m_view.SetResultLine(outcome.text);
        setLamp(ProgressLamp::Result, Lamp::Failed);
        closeSession(outcome);
        return;
    }
    if (m_failure) // "quit" went wrong, or the socket did afterwards
        appendEvent(stamp + failure.text);
    if (MsgsSent == std::numeric_limits<qint32>::max()) {
        appendEvent(OverflowText);
        closeSession(DeliveryOutcome::Delivered(OverflowText));
        return;
    }
    ++MsgsSent;
    const QString line = stamp + MsgsSentText + QString::number(MsgsSent);
    m_view.SetResultLine(line);
    m_view.SetEventsText(m_view.EventsText() + LineBreak + stamp + DisconnectingText);
    m_view.EventsCaretToEnd();
    setLamp(ProgressLamp::Result, Lamp::Succeeded);
    closeSession(DeliveryOutcome::Delivered(line));
}

void Module1::closeSession(DeliveryOutcome outcome) {
    m_socket.Close();
    for (int lamp = int(ProgressLamp::Started); lamp <= int(ProgressLamp::Body); ++lamp)
        m_view.SetLamp(lamp, Lamp::Idle);
    reportOutcome(std::move(outcome));
}

void Module1::endAtFault(const QString &description) {
    appendEvent(description);
    reportOutcome(DeliveryOutcome::Failed(m_now(), Reason::Fault, description));
}

void Module1::reportOutcome(DeliveryOutcome outcome) {
    m_deadline->stop();
    m_phase = Phase::Idle;
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
    if (m_phase != Phase::Idle)
        m_view.SetEventsText(m_view.EventsText() + ConnectedText);
}

void Module1::Winsock1_DataArrival() {
    m_parser.Append(m_socket.GetData());
    checkForReply();
}

void Module1::Winsock1_Error(int number, const QString &description) {
    Q_UNUSED(number);
    if (m_phase == Phase::Idle)
        return;
    fail(QLatin1Char(' ') + description, Reason::SocketError);
    checkForReply();
}

void Module1::Winsock1_PeerClosed() {
    checkForReply();
}

void Module1::Abandon() {
    if (m_phase == Phase::Idle)
        return;
    if (!m_failure)
        fail(AbandonedText, Reason::Abandoned);
    checkForReply();
}

void Module1::SendLine(const QByteArray &text) {
    if (m_failure)
        return;
    try {
        m_socket.SendData(text);
    } catch (const WinsockFault &fault) {
        appendEvent(fault.Description);
    }
}

void Module1::fail(const QString &text, Reason reason) {
    m_failure = Failure{reason, text};
}

void Module1::setLamp(ProgressLamp lamp, Lamp colour) {
    m_view.SetLamp(int(lamp), colour);
}

void Module1::appendEvent(const QString &line) {
    const QString text = m_view.EventsText();
    m_view.SetEventsText(text.isEmpty() ? line : text + LineBreak + line);
    m_view.EventsCaretToEnd();
}

QString Module1::timeStamp(const QDateTime &now) const {
    const QTime time = now.time();
    return QString::asprintf("%02d:%02d:%02d", time.hour(), time.minute(), time.second());
}
