#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

#include "faultserver.h"
#include "messagetext.h"
#include "module1.h"
#include "sessionview.h"
#include "winsock.h"

using namespace std::chrono_literals;
using Script = QList<std::pair<QString, FaultServer::Answer>>;
Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(FaultServer::Answer)

namespace {

const QDateTime Now(QDate(2026, 12, 6), QTime(14, 5, 9));
const QString Stamp = QStringLiteral("12-06-2026 14:05:09");
const QString Server = QStringLiteral("127.0.0.1");
const QString Originator = QStringLiteral("Ann Lee <ann@example.org>");
const QString Recipient = QStringLiteral("bob@example.org");
const QString Subject = QStringLiteral("Dentist at nine");
const QString Body = QStringLiteral(" Bring the forms.\r\nAnd the card.");

const QString ConnectedLine = Stamp + QStringLiteral(" Connecting to: 127.0.0.1: Connected.");
const QString SuccessEvents =
    ConnectedLine + QStringLiteral("\r\n") + Stamp + QStringLiteral(" TCP: Disconnecting....");
const QString Idle = QStringLiteral(" 0i 1i 2i 3i 4i 5i 6i 7i");
const QString MessageLamps = QStringLiteral("0P 1P 2P 3P 4P 5P 5P 5P 5P 6P 7T 6P");
const QString SuccessLamps = MessageLamps + QStringLiteral(" 7P 8S") + Idle;
const QStringList AllCommands = {
    QStringLiteral("ehlo MailerDaemon"), QStringLiteral("mail from:<ann@example.org>"),
    QStringLiteral("rcpt to:<bob@example.org>"), QStringLiteral("data"), QStringLiteral("quit")};
const QString WrongState =
    QStringLiteral("Wrong protocol or connection state for the requested transaction or request");

// The lamps of a session whose wait of row `row` (1 to 5) failed.
QString FailedAtRow(int row) {
    QStringList lamps;
    for (int lamp = 0; lamp <= row; ++lamp)
        lamps << QString::number(lamp) + QLatin1Char('P');
    return lamps.join(QLatin1Char(' ')) + QStringLiteral(" 8F") + Idle;
}

// The first commands of a full dialogue, then "quit".
QStringList CommandsThenQuit(int count) {
    return AllCommands.mid(0, count) << QStringLiteral("quit");
}

QChar Letter(Lamp colour) {
    switch (colour) {
    case Lamp::Idle:
        return u'i';
    case Lamp::Passed:
        return u'P';
    case Lamp::BodySent:
        return u'T';
    case Lamp::Succeeded:
        return u'S';
    case Lamp::Failed:
        return u'F';
    }
    return u'?';
}

// The main window's part as a recorder: the Events box, the result line and every lamp change.
class RecordingView : public SessionView {
public:
    QString EventsText() const override { return events; }
    void SetEventsText(const QString &text) override { events = text; }
    void EventsCaretToEnd() override { ++caretMoves; }
    void SetResultLine(const QString &text) override { result = text; }
    void SetLamp(int member, Lamp colour) override {
        QVERIFY(member >= 0 && member <= 8);
        lamps << QString::number(member) + Letter(colour);
        if (onLamp)
            onLamp(member, colour);
    }
    QString Lamps() const { return lamps.join(QLatin1Char(' ')); }

    QString events;
    QString result;
    QStringList lamps;
    int caretMoves = 0;
    std::function<void(int, Lamp)> onLamp; // runs as the session lights a lamp
};

// The socket, the window's part and the mail module, as the main window holds them.
struct Session {
    Winsock socket;
    RecordingView view;
    QDateTime now = Now;
    Module1 module{socket, view, [this] {
                       return now;
                   }};

    std::optional<DeliveryOutcome> outcome;
    int outcomes = 0;

    Session() { module.ReplyTimeoutOverride = 5s; }

    // Starts a session and returns at once.
    void Start(const QString &server, const QString &originator, const QString &recipient) {
        outcome.reset();
        module.SendMail(server, originator, originator, recipient, Subject, Body,
                        [this](const DeliveryOutcome &result) {
                            outcome = result;
                            ++outcomes;
                        });
    }
    // Runs a whole session: starts it and lets the event loop run until its outcome is in.
    void Send(quint16 port, const QString &server = Server, const QString &originator = Originator,
              const QString &recipient = Recipient) {
        socket.setPortOverride(port);
        const int before = outcomes;
        Start(server, originator, recipient);
        QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 60000);
        QCOMPARE(outcomes, before + 1);
    }
};

// The loopback aiosmtpd sink, stopped and waited for however the test ends.
class SinkProcess {
public:
    bool Start(QString *error) {
        QString python = qEnvironmentVariable("TALLOWICK_PYTHON");
        if (python.isEmpty())
            python = QStringLiteral("python3");
        const QString script = qEnvironmentVariable("TALLOWICK_SOURCE_DIR") +
                               QStringLiteral("/tests/mail/smtp_sink.py");
        m_process.start(python, {script});
        if (!m_process.waitForStarted(10000)) {
            *error = m_process.errorString();
            return false;
        }
        const QByteArray line = ReadLine(20000);
        if (!line.startsWith("PORT ")) {
            *error = QStringLiteral("sink did not start: ") + QString::fromUtf8(line) +
                     QString::fromUtf8(m_process.readAllStandardError());
            return false;
        }
        port = quint16(line.mid(5).trimmed().toUInt());
        return port != 0;
    }

    QByteArray ReadLine(int timeoutMs) {
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < timeoutMs &&
               m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(100);
        return m_process.readLine();
    }

    ~SinkProcess() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    quint16 port = 0;

private:
    QProcess m_process;
};

QByteArray WithoutMessageId(QByteArray message) {
    static const QRegularExpression messageId(QStringLiteral("^Message-Id: [^\\r\\n]*"),
                                              QRegularExpression::MultilineOption);
    return QString::fromLatin1(message)
        .replace(messageId, QStringLiteral("Message-Id: *"))
        .toLatin1();
}

// The message lines the session sends for the test's notification. The Message-Id differs
// between two builds, so callers compare through WithoutMessageId.
MessageInput TestInput() {
    MessageInput input;
    input.headerSender = Originator;
    input.recipient = Recipient;
    input.subject = Subject;
    input.body = Body;
    input.localHostName = Winsock::LocalHostName();
    input.dateHeaderText = MessageText::DateHeaderText(Now);
    input.messageIdTime = Now;
    return input;
}

QByteArray ExpectedMessage() {
    QByteArray message;
    for (const MessageSend &send : MessageText::Sends(TestInput()))
        message += send.bytes;
    return message;
}

} // namespace

class TestSmtpSession : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void realServerReceivesTheMessage();
    void countGrowsWithEverySession();
    void scriptedServer_data();
    void scriptedServer();
    void farewellIsOnlyNoted_data();
    void farewellIsOnlyNoted();
    void endOfDataHasItsOwnLimit_data();
    void endOfDataHasItsOwnLimit();
    void socketErrors_data();
    void socketErrors();
    void socketStillOpenAtStart();
    void refusedSendsGoToTheEventsBox();
    void nonAsciiNamesReachAReader_data();
    void nonAsciiNamesReachAReader();
    void envelopeAddresses_data();
    void envelopeAddresses();
    void stampsIgnoreTheLocale();
    void abandonEndsTheSession();
};

void TestSmtpSession::init() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestSmtpSession::realServerReceivesTheMessage() {
    SinkProcess sink;
    QString error;
    QVERIFY2(sink.Start(&error), qPrintable(error));

    Session session;
    session.Send(sink.port);
    QVERIFY(session.outcome->MailDelivered);
    QCOMPARE(session.view.result, Stamp + QStringLiteral(" Msgs Sent: 1"));
    QCOMPARE(session.view.events, SuccessEvents);
    QCOMPARE(session.view.Lamps(), SuccessLamps);

    const QByteArray line = sink.ReadLine(10000);
    const QJsonObject received = QJsonDocument::fromJson(line).object();
    QVERIFY2(!received.isEmpty(), line.constData());
    QCOMPARE(received.value(QStringLiteral("helo")).toString(), QStringLiteral("MailerDaemon"));
    QCOMPARE(received.value(QStringLiteral("mail_from")).toString(),
             QStringLiteral("ann@example.org"));
    QCOMPARE(received.value(QStringLiteral("rcpt_tos")).toArray(),
             QJsonArray({QStringLiteral("bob@example.org")}));

    const QByteArray message =
        QByteArray::fromBase64(received.value(QStringLiteral("data_b64")).toString().toLatin1());
    const QString host = Winsock::LocalHostName();
    QVERIFY(message.startsWith("Return-Path: Tallowick32@" + host.toUtf8() + "\r\n"));
    QVERIFY(message.contains("\r\nFrom: Ann Lee <ann@example.org>\r\n"));
    QVERIFY(message.contains("\r\nTo: bob@example.org\r\n"));
    QVERIFY(message.contains("\r\nSubject: Dentist at nine\r\n"));
    QVERIFY(message.contains("\r\nDate: " + MessageText::DateHeaderText(Now).toUtf8() + "\r\n"));

    // The whole message: the lines the message text makes, then the empty line before the
    // end of data (the sink drops only the final "." line).
    QCOMPARE(WithoutMessageId(message), WithoutMessageId(ExpectedMessage() + "\r\n"));
}

void TestSmtpSession::countGrowsWithEverySession() {
    FaultServer server;
    QVERIFY(server.Listen());
    Session session;
    for (int count = 1; count <= 3; ++count) {
        session.now = Now.addSecs(count);
        const QString stamp = QStringLiteral("12-06-2026 14:05:%1").arg(9 + count);
        session.Send(server.Port());
        QVERIFY(session.outcome->MailDelivered);
        QCOMPARE(session.module.MsgsSent, count);
        QCOMPARE(session.view.result,
                 stamp + QStringLiteral(" Msgs Sent: ") + QString::number(count));
        // Each session replaces the Events box: two lines.
        QCOMPARE(session.view.events,
                 stamp + QStringLiteral(" Connecting to: 127.0.0.1: Connected.\r\n") + stamp +
                     QStringLiteral(" TCP: Disconnecting...."));
    }
    QCOMPARE(server.Connections(), 3);
}

void TestSmtpSession::scriptedServer_data() {
    using FS = FaultServer;
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QString>("errorText"); // empty: the mail goes through
    QTest::addColumn<QString>("lamps");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<bool>("connected");

    const auto greeting = QStringLiteral("greeting");
    const auto ehlo = QStringLiteral("ehlo");
    const QByteArray multiLine = "250-fault.test\r\n250-SIZE 1000\r\n250-8BITMIME\r\n250 HELP\r\n";
    QByteArray huge;
    while (huge.size() < 1024 * 1024)
        huge += "250-" + QByteArray(1018, 'x') + "\r\n";
    huge += "250 end\r\n";

    QTest::newRow("greeting with leading blanks")
        << Script{{greeting, FS::Say("   220 fault.test ready\r\n")}} << 5000 << QString()
        << SuccessLamps << AllCommands << true;
    QTest::newRow("multi-line ehlo reply in one piece")
        << Script{{ehlo, FS::Say(multiLine)}} << 5000 << QString() << SuccessLamps << AllCommands
        << true;
    QTest::newRow("multi-line ehlo reply in delayed pieces")
        << Script{{ehlo, FS::Answer{{{"250-fault.test\r\n", 0},
                                     {"250-SIZE 1000\r\n250-8BIT", 150},
                                     {"MIME\r\n", 150},
                                     {"250 HELP\r\n", 150}},
                                    false,
                                    0}}}
        << 5000 << QString() << SuccessLamps << AllCommands << true;
    QTest::newRow("replies split in the code")
        << Script{{greeting, FS::Answer{{{"2", 0}, {"20 ready\r\n", 100}}, false, 0}},
                  {QStringLiteral("mail"), FS::Answer{{{"25", 0}, {"0 OK\r\n", 100}}, false, 0}}}
        << 5000 << QString() << SuccessLamps << AllCommands << true;
    QTest::newRow("bare codes") << Script{{ehlo, FS::Say("250\r\n")},
                                          {QStringLiteral("rcpt"), FS::Say("250\r\n")}}
                                << 5000 << QString() << SuccessLamps << AllCommands << true;

    QTest::newRow("550 on rcpt to")
        << Script{{QStringLiteral("rcpt"),
                   FS::Say("550 5.1.1 <bob@example.org>: no such user\r\n")}}
        << 5000 << QStringLiteral(" Mail not delivered: 550 5.1.1 <bob@example.org>: no such user")
        << FailedAtRow(4) << CommandsThenQuit(3) << true;
    QTest::newRow("554 greeting")
        << Script{{greeting, FS::Say("554 fault.test no service here\r\n")}} << 5000
        << QStringLiteral(" Mail not delivered: 554 fault.test no service here") << FailedAtRow(1)
        << CommandsThenQuit(0) << true;
    QTest::newRow("421 then close")
        << Script{{greeting, FS::SayThenClose("421 4.3.2 fault.test closing\r\n", 500)}} << 5000
        << QStringLiteral(" Mail not delivered: 421 4.3.2 fault.test closing") << FailedAtRow(1)
        << CommandsThenQuit(0) << true;
    QTest::newRow("451 on mail from")
        << Script{{QStringLiteral("mail"), FS::Say("451 4.3.0 try again later\r\n")}} << 5000
        << QStringLiteral(" Mail not delivered: 451 4.3.0 try again later") << FailedAtRow(3)
        << CommandsThenQuit(2) << true;
    QTest::newRow("250 instead of 354") << Script{{QStringLiteral("data"), FS::Say("250 OK\r\n")}}
                                        << 5000 << QStringLiteral(" Mail not delivered: 250 OK")
                                        << FailedAtRow(5) << CommandsThenQuit(4) << true;
    QTest::newRow("552 on the end of data")
        << Script{{QStringLiteral("eod"), FS::Say("552 5.3.4 message too big\r\n")}} << 5000
        << QStringLiteral(" Mail not delivered: 552 5.3.4 message too big")
        << MessageLamps + QStringLiteral(" 8F") + Idle << AllCommands << true;
    QTest::newRow("close during data")
        << Script{{QStringLiteral("eod"), FS::Answer{{}, true, 0}}} << 5000
        << QStringLiteral(" Connection closed by the server.")
        << MessageLamps + QStringLiteral(" 8F") + Idle << AllCommands.mid(0, 4) << true;
    QTest::newRow("close instead of a greeting")
        << Script{{greeting, FS::Answer{{}, true, 0}}} << 5000
        << QStringLiteral(" Connection closed by the server.") << FailedAtRow(1) << QStringList()
        << true;
    QTest::newRow("words instead of a reply")
        << Script{{greeting, FS::Say("hello there\r\n")}} << 5000
        << QStringLiteral(" Not an SMTP reply: \"hello there\"") << FailedAtRow(1) << QStringList()
        << true;
    QTest::newRow("empty line") << Script{{ehlo, FS::Say("\r\n")}} << 5000
                                << QStringLiteral(" Not an SMTP reply: an empty line")
                                << FailedAtRow(2) << AllCommands.mid(0, 1) << true;
    QTest::newRow("binary bytes") << Script{{greeting, FS::Say(QByteArray("\x00\x01\xff\xfe", 4))}}
                                  << 5000
                                  << QStringLiteral(
                                         " Not an SMTP reply: binary data \"\\x00\\x01\\xff\\xfe\"")
                                  << FailedAtRow(1) << QStringList() << true;
    // However long a reply, its code decides; a multi-line one shows as one line.
    QTest::newRow("1 MiB ehlo reply") << Script{{ehlo, FS::Say(huge)}} << 5000 << QString()
                                      << SuccessLamps << AllCommands << true;
    QTest::newRow("65,537-byte acceptance of the end of data")
        << Script{{QStringLiteral("eod"),
                   FS::Say("250-" + QByteArray(65519, 'q') + "\r\n" + "250 2.0.0 queued\r\n")}}
        << 5000 << QString() << SuccessLamps << AllCommands << true;
    QTest::newRow("multi-line refusal")
        << Script{{QStringLiteral("mail"), FS::Say("550-5.7.1 not from here\r\n"
                                                   "550-see the FAQ\r\n550 5.7.1 bye\r\n")}}
        << 5000
        << QStringLiteral(
               " Mail not delivered: 550-5.7.1 not from here 550-see the FAQ 550 5.7.1 bye")
        << FailedAtRow(3) << CommandsThenQuit(2) << true;
    QTest::newRow("greeting never sent")
        << Script{{greeting, FS::Silence()}} << 300 << QStringLiteral(" Server Time Out.")
        << FailedAtRow(1) << QStringList() << true;
    QTest::newRow("greeting after the limit")
        << Script{{greeting, FS::Answer{{{"220 late\r\n", 900}}, false, 0}}} << 300
        << QStringLiteral(" Server Time Out.") << FailedAtRow(1) << QStringList() << true;

    // The steps that wait for 250 take any positive completion; a server that does not know
    // EHLO is greeted with HELO once.
    const auto helo = QStringLiteral("helo");
    const QStringList withHelo =
        QStringList{AllCommands.first(), QStringLiteral("helo MailerDaemon")} << AllCommands.mid(1);
    QTest::newRow("251 to rcpt to")
        << Script{{QStringLiteral("rcpt"), FS::Say("251 User not local; will forward\r\n")}} << 5000
        << QString() << SuccessLamps << AllCommands << true;
    QTest::newRow("other 2yz replies") << Script{{ehlo, FS::Say("200 fault.test\r\n")},
                                                 {QStringLiteral("mail"), FS::Say("252 OK\r\n")},
                                                 {QStringLiteral("eod"), FS::Say("299 queued\r\n")}}
                                       << 5000 << QString() << SuccessLamps << AllCommands << true;
    QTest::newRow("ehlo 500, helo 2yz")
        << Script{{ehlo, FS::Say("500 5.5.1 command unrecognized\r\n")},
                  {helo, FS::Say("251 fault.test\r\n")}}
        << 5000 << QString() << SuccessLamps << withHelo << true;
    QTest::newRow("ehlo 502, helo refused")
        << Script{{ehlo, FS::Say("502 5.5.1 not implemented\r\n")},
                  {helo, FS::Say("550 5.7.1 go away\r\n")}}
        << 5000 << QStringLiteral(" Mail not delivered: 550 5.7.1 go away") << FailedAtRow(2)
        << (withHelo.mid(0, 2) << QStringLiteral("quit")) << true;
    QTest::newRow("ehlo 504 is a refusal")
        << Script{{ehlo, FS::Say("504 5.5.2 syntax\r\n")}} << 5000
        << QStringLiteral(" Mail not delivered: 504 5.5.2 syntax") << FailedAtRow(2)
        << CommandsThenQuit(1) << true;
    QTest::newRow("greeting needs 220") << Script{{greeting, FS::Say("250 fault.test\r\n")}} << 5000
                                        << QStringLiteral(" Mail not delivered: 250 fault.test")
                                        << FailedAtRow(1) << CommandsThenQuit(0) << true;
}

// The server has the mail once it accepts the end of data: whatever goes wrong with "quit"
// is noted in the Events box, the mail counts as sent and is not sent again.
void TestSmtpSession::farewellIsOnlyNoted_data() {
    QTest::addColumn<FaultServer::Answer>("quitAnswer");
    QTest::addColumn<QString>("note");
    QTest::newRow("quit never answered")
        << FaultServer::Silence() << QStringLiteral(" Server did not answer quit.");
    QTest::newRow("421 to quit") << FaultServer::SayThenClose("421 4.3.2 shutting down\r\n")
                                 << QStringLiteral(" Reply to quit: 421 4.3.2 shutting down");
    QTest::newRow("multi-line 421 to quit")
        << FaultServer::SayThenClose("421-4.3.2 shutting down\r\n421 4.3.2 come back later\r\n")
        << QStringLiteral(" Reply to quit: 421-4.3.2 shutting down 421 4.3.2 come back later");
    QTest::newRow("500 to quit") << FaultServer::Say("500 5.5.1 what?\r\n")
                                 << QStringLiteral(" Reply to quit: 500 5.5.1 what?");
    QTest::newRow("close before 221")
        << FaultServer::Answer{{}, true, 0} << QStringLiteral(" Connection closed by the server.");
}

void TestSmtpSession::farewellIsOnlyNoted() {
    QFETCH(FaultServer::Answer, quitAnswer);
    QFETCH(QString, note);

    FaultServer server;
    QVERIFY(server.Listen());
    server.SetAnswer(QStringLiteral("quit"), quitAnswer);
    Session session;
    session.module.ReplyTimeoutOverride = 300ms;
    session.Send(server.Port());

    QVERIFY(session.outcome->MailDelivered);
    QCOMPARE(session.module.MsgsSent, 1);
    QCOMPARE(session.view.result, Stamp + QStringLiteral(" Msgs Sent: 1"));
    QCOMPARE(session.view.events, ConnectedLine + QStringLiteral("\r\n") + Stamp + note +
                                      QStringLiteral("\r\n") + Stamp +
                                      QStringLiteral(" TCP: Disconnecting...."));
    QCOMPARE(session.view.Lamps(), SuccessLamps);
    QCOMPARE(session.socket.State(), 0);
    QTest::qWait(100);
    QCOMPARE(server.Commands(), AllCommands); // "quit" once, however it was answered
}

void TestSmtpSession::scriptedServer() {
    QFETCH(Script, script);
    QFETCH(int, timeoutMs);
    QFETCH(QString, errorText);
    QFETCH(QString, lamps);
    QFETCH(QStringList, commands);
    QFETCH(bool, connected);

    FaultServer server;
    QVERIFY(server.Listen());
    for (const auto &[step, answer] : script)
        server.SetAnswer(step, answer);
    Session session;
    session.module.ReplyTimeoutOverride = std::chrono::milliseconds(timeoutMs);

    QElapsedTimer clock;
    clock.start();
    session.Send(server.Port());
    const qint64 took = clock.elapsed();

    const bool delivered = errorText.isEmpty();
    QCOMPARE(session.outcome->MailDelivered, delivered);
    QCOMPARE(session.module.MsgsSent, delivered ? 1 : 0);
    QCOMPARE(session.view.result,
             Stamp + (delivered ? QStringLiteral(" Msgs Sent: 1") : errorText));
    QCOMPARE(session.view.Lamps(), lamps);
    QCOMPARE(session.view.events,
             delivered ? SuccessEvents : (connected ? ConnectedLine : QString()));
    QCOMPARE(session.socket.State(), 0);
    // The outcome carries the result line's words: a row that waits shows them.
    QCOMPARE(session.outcome->text, session.view.result);
    if (errorText == QStringLiteral(" Server Time Out."))
        QVERIFY(took >= timeoutMs);
    QVERIFY2(took < timeoutMs + 3000, qPrintable(QString::number(took)));

    // Give the server time to read what was still on its way (a last "quit", say).
    QTest::qWait(200);
    QCOMPARE(server.Commands(), commands);
    if (delivered)
        QCOMPARE(WithoutMessageId(server.Message()),
                 WithoutMessageId(ExpectedMessage() + MessageText::EndOfData()));
}

void TestSmtpSession::endOfDataHasItsOwnLimit_data() {
    QTest::addColumn<int>("replyDelayMs");
    QTest::addColumn<int>("endOfDataLimitMs");
    QTest::addColumn<bool>("delivered");
    // Every other wait may last 300 ms.
    QTest::newRow("slow acceptance within its limit") << 800 << 3000 << true;
    QTest::newRow("acceptance later than its limit") << 800 << 300 << false;
}

void TestSmtpSession::endOfDataHasItsOwnLimit() {
    QFETCH(int, replyDelayMs);
    QFETCH(int, endOfDataLimitMs);
    QFETCH(bool, delivered);

    FaultServer server;
    QVERIFY(server.Listen());
    server.SetAnswer(QStringLiteral("eod"),
                     FaultServer::Answer{{{"250 2.0.0 queued\r\n", replyDelayMs}}, false, 0});
    Session session;
    session.module.ReplyTimeoutOverride = 300ms;
    session.module.EndOfDataTimeout = std::chrono::milliseconds(endOfDataLimitMs);
    session.Send(server.Port());
    QCOMPARE(session.outcome->MailDelivered, delivered);
    QCOMPARE(session.view.result, Stamp + (delivered ? QStringLiteral(" Msgs Sent: 1")
                                                     : QStringLiteral(" Server Time Out.")));
}

void TestSmtpSession::socketErrors_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<quint16>("port");
    QTest::addColumn<QString>("errorText");
    QTest::newRow("connection refused") << QStringLiteral("127.0.0.1") << FaultServer::ClosedPort()
                                        << QStringLiteral(" Connection refused");
    QTest::newRow("unknown host") << QStringLiteral("no-such-host.invalid") << quint16(0)
                                  << QStringLiteral(" Host not found");
}

void TestSmtpSession::socketErrors() {
    QFETCH(QString, server);
    QFETCH(quint16, port);
    QFETCH(QString, errorText);

    Session session;
    session.module.ReplyTimeoutOverride = 30s; // the error, not the time-out, ends the wait
    session.Send(port, server);
    QVERIFY(!session.outcome->MailDelivered);
    QCOMPARE(session.view.result, Stamp + errorText);
    QCOMPARE(session.outcome->text, session.view.result); // what the row's tooltip says
    QCOMPARE(session.view.events, Stamp + QStringLiteral(" Connecting to: ") + server);
    QCOMPARE(session.view.Lamps(), FailedAtRow(1));
    QCOMPARE(session.socket.State(), 0);
}

void TestSmtpSession::socketStillOpenAtStart() {
    FaultServer server;
    QVERIFY(server.Listen());
    Session session;
    session.socket.RemoteHost = Server;
    session.socket.setPortOverride(server.Port());
    session.socket.Connect();
    QTRY_COMPARE_WITH_TIMEOUT(session.socket.State(), int(Winsock::sckConnected), 5000);
    session.view.events = QStringLiteral("left over");
    session.view.lamps.clear();

    session.Send(server.Port());
    QCOMPARE(session.view.events, QStringLiteral("left over\r\n14:05:09 Error on Tcp status:  7"));
    QCOMPARE(session.view.result, QString());
    QCOMPARE(session.view.Lamps(), QStringLiteral("0P 8F") + Idle);
    QVERIFY(!session.outcome->MailDelivered);
    // Why the row waits has the shape of every failure: the date and time, then what went wrong.
    QCOMPARE(session.outcome->text, Stamp + QStringLiteral(" Error on Tcp status:  7"));
    QCOMPARE(session.socket.State(), 0);
    QTest::qWait(100);
    QCOMPARE(server.Commands(), QStringList());

    // The socket was closed, so the next session runs.
    session.view.lamps.clear();
    session.Send(server.Port());
    QVERIFY(session.outcome->MailDelivered);
    QCOMPARE(session.view.result, Stamp + QStringLiteral(" Msgs Sent: 1"));
    QCOMPARE(session.view.Lamps(), SuccessLamps);
}

void TestSmtpSession::refusedSendsGoToTheEventsBox() {
    FaultServer server;
    QVERIFY(server.Listen());
    Session session;
    session.module.ReplyTimeoutOverride = 300ms;
    session.module.EndOfDataTimeout = 300ms;
    // The socket goes away right after the server's go-ahead for the message: every send of
    // the message is then refused by the control.
    session.view.onLamp = [&session](int member, Lamp) {
        if (member == 5 && session.view.lamps.count(QStringLiteral("5P")) == 1)
            session.socket.Close();
    };
    session.Send(server.Port());

    const qsizetype refusedSends = qsizetype(MessageText::Sends(TestInput()).size()) + 1;
    QString expected = ConnectedLine;
    for (qsizetype i = 0; i < refusedSends; ++i)
        expected += QStringLiteral("\r\n") + WrongState;
    QCOMPARE(session.view.events, expected);
    QCOMPARE(session.view.result, Stamp + QStringLiteral(" Server Time Out."));
    QCOMPARE(session.view.Lamps(), MessageLamps + QStringLiteral(" 8F") + Idle);
    QVERIFY(!session.outcome->MailDelivered);
}

// Names in From and To travel as encoded words; a mail reader (Python's email package) shows
// them as typed, the addresses untouched.
void TestSmtpSession::nonAsciiNamesReachAReader_data() {
    QTest::addColumn<QString>("originator");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("fromRead"); // what the reader shows
    QTest::addColumn<QString>("toRead");
    QTest::addColumn<QStringList>("addresses"); // From's and To's, as the reader finds them

    const QString zoe = QStringLiteral("zoe@example.org");
    const QString bjorn = QStringLiteral("bjorn@example.org");
    QTest::newRow("names") << QStringLiteral("Zoë Lee <zoe@example.org>")
                           << QStringLiteral("Björn <bjorn@example.org>")
                           << QStringLiteral("Zoë Lee <zoe@example.org>")
                           << QStringLiteral("Björn <bjorn@example.org>")
                           << QStringList{zoe, bjorn};
    QTest::newRow("comment, quoted name")
        << QStringLiteral("zoe@example.org (Zoë)")
        << QStringLiteral("\"Björn, B.\" <bjorn@example.org>")
        << QStringLiteral("zoe@example.org (Zoë)")
        << QStringLiteral("Björn, B. <bjorn@example.org>") << QStringList{zoe, bjorn};
    const QString longFrom =
        QStringLiteral("Åsa-Britt Ölund ").repeated(6) + QStringLiteral("<asa@example.org>");
    QTest::newRow("long name") << longFrom << Recipient << longFrom << Recipient
                               << QStringList{QStringLiteral("asa@example.org"), Recipient};
}

void TestSmtpSession::nonAsciiNamesReachAReader() {
    QFETCH(QString, originator);
    QFETCH(QString, recipient);
    QFETCH(QString, fromRead);
    QFETCH(QString, toRead);
    QFETCH(QStringList, addresses);

    FaultServer server;
    QVERIFY(server.Listen());
    Session session;
    session.Send(server.Port(), Server, originator, recipient);
    QVERIFY(session.outcome->MailDelivered);
    const QByteArray message = server.Message();
    const QByteArray header = message.left(message.indexOf("\r\n\r\n") + 4);
    for (const char c : header)
        QVERIFY2(uchar(c) < 0x80, header.constData());

    QString python = qEnvironmentVariable("TALLOWICK_PYTHON");
    if (python.isEmpty())
        python = QStringLiteral("python3");
    QProcess parser;
    parser.start(python, {qEnvironmentVariable("TALLOWICK_SOURCE_DIR") +
                          QStringLiteral("/tests/mail/parse_message.py")});
    QVERIFY(parser.waitForStarted());
    parser.write(header);
    parser.closeWriteChannel();
    QVERIFY(parser.waitForFinished(30000));
    QVERIFY2(parser.exitCode() == 0, parser.readAllStandardError().constData());
    const QJsonObject found = QJsonDocument::fromJson(parser.readAllStandardOutput()).object();

    QCOMPARE(found.value(QStringLiteral("from_decoded")).toString(), fromRead);
    QCOMPARE(found.value(QStringLiteral("to_decoded")).toString(), toRead);
    QCOMPARE(found.value(QStringLiteral("address_defects")).toArray(), QJsonArray());
    const auto addressOf = [&found](const QString &key) {
        return found.value(key).toArray().at(0).toArray().at(1).toString();
    };
    QCOMPARE((QStringList{addressOf(QStringLiteral("from_addresses")),
                          addressOf(QStringLiteral("to_addresses"))}),
             addresses);
}

// The mailbox the user named is the one the envelope names, read as RFC 5322 reads an address,
// and what is not ASCII goes only where it may: a domain in its IDNA form, a local part only
// to a server that offers SMTPUTF8.
void TestSmtpSession::envelopeAddresses_data() {
    QTest::addColumn<QString>("originator");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<bool>("smtpUtf8");        // the server offers it
    QTest::addColumn<QStringList>("envelope"); // mail from, rcpt to; empty: nothing is offered
    QTest::addColumn<QByteArray>("headers");   // From and To as received

    const QString ann = QStringLiteral("ann@example.org");
    const QString bob = QStringLiteral("bob@example.org");
    const auto plain = [](const QString &from, const QString &to) {
        return QStringList{QStringLiteral("mail from:") + from, QStringLiteral("rcpt to:") + to};
    };
    QTest::newRow("plain") << ann << bob << false
                           << plain(QStringLiteral("<ann@example.org>"),
                                    QStringLiteral("<bob@example.org>"))
                           << QByteArray("From: ann@example.org\r\nTo: bob@example.org\r\n");
    QTest::newRow("name, brackets, blanks, line break")
        << QStringLiteral("  Ann Lee <ann@example.org> ")
        << QStringLiteral("bob@example.org\r\nrset") << false
        << plain(QStringLiteral("<ann@example.org>"), QStringLiteral("<bob@example.org rset>"))
        << QByteArray("From:   Ann Lee <ann@example.org> \r\nTo: bob@example.org rset\r\n");
    QTest::newRow("address inside the quoted name")
        << ann << QStringLiteral("\"Chef <boss@example.de>\" <hans@example.de>") << false
        << plain(QStringLiteral("<ann@example.org>"), QStringLiteral("<hans@example.de>"))
        << QByteArray("From: ann@example.org\r\nTo: \"Chef <boss@example.de>\" "
                      "<hans@example.de>\r\n");
    QTest::newRow("address inside a comment")
        << QStringLiteral("hans@example.de (Vertretung: <erika@example.de>)") << bob << false
        << plain(QStringLiteral("<hans@example.de>"), QStringLiteral("<bob@example.org>"))
        << QByteArray("From: hans@example.de (Vertretung: <erika@example.de>)\r\n"
                      "To: bob@example.org\r\n");
    QTest::newRow("domain beyond ASCII")
        << QStringLiteral("Hans <hans@exämple.de>") << QStringLiteral("bob@bücher.example") << false
        << plain(QStringLiteral("<hans@xn--exmple-cua.de>"),
                 QStringLiteral("<bob@xn--bcher-kva.example>"))
        << QByteArray("From: Hans <hans@xn--exmple-cua.de>\r\nTo: bob@xn--bcher-kva.example\r\n");
    QTest::newRow("local part beyond ASCII, SMTPUTF8 offered")
        << QStringLiteral("Jörg <jörg@exämple.de>") << bob << true
        << QStringList{QStringLiteral("mail from:<jörg@xn--exmple-cua.de> SMTPUTF8"),
                       QStringLiteral("rcpt to:<bob@example.org>")}
        << QStringLiteral("From: =?UTF-8?B?SsO2cmc=?= <jörg@xn--exmple-cua.de>\r\n"
                          "To: bob@example.org\r\n")
               .toUtf8();
    QTest::newRow("local part beyond ASCII, no SMTPUTF8")
        << ann << QStringLiteral("jörg@example.de") << false << QStringList() << QByteArray();
}

void TestSmtpSession::envelopeAddresses() {
    QFETCH(QString, originator);
    QFETCH(QString, recipient);
    QFETCH(bool, smtpUtf8);
    QFETCH(QStringList, envelope);
    QFETCH(QByteArray, headers);

    FaultServer server;
    QVERIFY(server.Listen());
    if (smtpUtf8)
        server.SetAnswer(QStringLiteral("ehlo"),
                         FaultServer::Say("250-fault.test\r\n250 SMTPUTF8\r\n"));
    Session session;
    session.Send(server.Port(), Server, originator, recipient);
    QTest::qWait(100);
    const QStringList commands = server.Commands();
    if (envelope.isEmpty()) {
        const QString why = QStringLiteral(" Mail not sent: its addresses are not plain ASCII and "
                                           "the server does not offer SMTPUTF8.");
        QVERIFY(!session.outcome->MailDelivered);
        QCOMPARE(session.outcome->reason, DeliveryOutcome::Reason::NeedsSmtpUtf8);
        QCOMPARE(session.view.result, Stamp + why);
        QVERIFY(session.view.events.endsWith(QStringLiteral("\r\n") + Stamp + why));
        QCOMPARE(commands, (QStringList{AllCommands.first(), QStringLiteral("quit")}));
        return;
    }
    QVERIFY(session.outcome->MailDelivered);
    QCOMPARE(commands.mid(1, 2), envelope);
    const QByteArray message = server.Message();
    const qsizetype from = message.indexOf("\r\nFrom: ") + 2;
    QCOMPARE(message.mid(from, message.indexOf("\r\nSubject: ") + 2 - from), headers);
}

void TestSmtpSession::stampsIgnoreTheLocale() {
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    FaultServer server;
    QVERIFY(server.Listen());
    Session session;
    session.now = QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5));
    session.Send(server.Port());
    QCOMPARE(session.view.result, QStringLiteral("01-02-2027 03:04:05 Msgs Sent: 1"));
    QVERIFY(session.view.events.startsWith(QStringLiteral("01-02-2027 03:04:05 Connecting to: ")));
}

void TestSmtpSession::abandonEndsTheSession() {
    FaultServer server;
    QVERIFY(server.Listen());
    // The greeting would come long after the user has left.
    server.SetAnswer(QStringLiteral("greeting"),
                     FaultServer::Answer{{{"220 late\r\n", 600}}, true, 0});
    auto session = std::make_unique<Session>();
    session->module.ReplyTimeoutOverride = 30s;
    session->module.Abandon(); // between sessions: nothing happens
    QTimer abandon;
    abandon.setSingleShot(true);
    QObject::connect(&abandon, &QTimer::timeout, [&session] { session->module.Abandon(); });
    abandon.start(200);

    QElapsedTimer clock;
    clock.start();
    session->Send(server.Port());
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(!session->outcome->MailDelivered);
    QCOMPARE(session->view.result, Stamp + QStringLiteral(" Session abandoned."));
    QCOMPARE(session->view.Lamps(), FailedAtRow(1));
    QCOMPARE(session->socket.State(), 0);

    // The window goes away at once; the server's late greeting finds nobody.
    session.reset();
    QTest::qWait(800);
    QCOMPARE(server.Commands(), QStringList());
}

QTEST_GUILESS_MAIN(TestSmtpSession)
#include "tst_smtpsession.moc"
