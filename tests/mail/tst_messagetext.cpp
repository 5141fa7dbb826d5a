#include "messagetext.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTest>
#include <QTimeZone>

#include <algorithm>

namespace {

// 14:05:09 on Sunday 6 December 2026, one hour east of UTC.
QDateTime FixedNow() {
    return QDateTime(QDate(2026, 12, 6), QTime(14, 5, 9), Qt::OffsetFromUTC, 3600);
}

MessageInput FixedInput(const QString &host) {
    MessageInput in;
    in.headerSender = QStringLiteral("alice@example.org");
    in.recipient = QStringLiteral("bob@example.net");
    in.subject = QStringLiteral("Dentist");
    in.body = QStringLiteral(" Call the dentist at 9.");
    in.localHostName = host;
    in.dateHeaderText = QStringLiteral("Sun, 06 Dec 2026 14:05:09 +0100");
    in.messageIdTime = FixedNow();
    return in;
}

QByteArray Joined(const std::vector<MessageSend> &sends) {
    QByteArray out;
    for (const MessageSend &send : sends)
        out += send.bytes;
    return out;
}

const MessageSend *SendOf(const std::vector<MessageSend> &sends, MessagePart part) {
    for (const MessageSend &send : sends) {
        if (send.part == part)
            return &send;
    }
    return nullptr;
}

// True when some CR is not followed by LF or some LF is not preceded by CR.
bool HasBareLineBreak(const QByteArray &bytes) {
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) == '\r' && (i + 1 == bytes.size() || bytes.at(i + 1) != '\n'))
            return true;
        if (bytes.at(i) == '\n' && (i == 0 || bytes.at(i - 1) != '\r'))
            return true;
    }
    return false;
}

// The message as a server stores it: end of data removed, transparency dots taken away.
QByteArray AsStoredByServer(const QByteArray &wire) {
    Q_ASSERT(wire.endsWith("\r\n.\r\n"));
    const QByteArray data = wire.left(wire.size() - 3);
    QByteArrayList lines = data.split('\n');
    for (QByteArray &line : lines) {
        if (line.startsWith('.'))
            line.remove(0, 1);
    }
    return lines.join('\n');
}

// A header line as an RFC 2047 reader shows it: unfolded, encoded words (also right inside a
// comment's parentheses) decoded, the blanks between two adjacent ones dropped. A word that is
// longer than 75 characters, not base64 or not whole UTF-8 characters shows as "<bad word>".
QString Reading(const QByteArray &line) {
    static const QRegularExpression pieces(QStringLiteral("[ \\t]+|[^ \\t]+"));
    static const QRegularExpression word(
        QStringLiteral("^(\\(?)(=\\?UTF-8\\?B\\?([^?]*)\\?=)(\\)?)$"));
    const QString unfolded = QString::fromUtf8(QByteArray(line).replace("\r\n", ""));
    QString out;
    QString blanks;
    bool afterWord = false;
    for (const QRegularExpressionMatch &piece : pieces.globalMatch(unfolded)) {
        const QString text = piece.captured();
        if (text.front() == u' ' || text.front() == u'\t') {
            blanks = text;
            continue;
        }
        const QRegularExpressionMatch m = word.match(text);
        if (!m.hasMatch()) {
            out += blanks + text;
            blanks.clear();
            afterWord = false;
            continue;
        }
        if (!afterWord || !m.captured(1).isEmpty())
            out += blanks;
        blanks.clear();
        const auto octets = QByteArray::fromBase64Encoding(m.captured(3).toLatin1(),
                                                           QByteArray::AbortOnBase64DecodingErrors);
        QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = strict.decode(octets.decoded);
        if (m.captured(2).size() > 75 || !octets || strict.hasError())
            return QStringLiteral("<bad word>");
        out += m.captured(1) + decoded + m.captured(4);
        afterWord = m.captured(4).isEmpty();
    }
    return out + blanks;
}

// The text with every line break written as CR LF, as it travels in the message.
QString WithCrlfBreaks(const QString &text) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QString out = text;
    return out.replace(lineBreak, QStringLiteral("\r\n"));
}

} // namespace

class TestMessageText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void wholeAsciiMessage_data();
    void wholeAsciiMessage();
    void sendGrouping();
    void bodyOnWire_data();
    void bodyOnWire();
    void quotedPrintable_data();
    void quotedPrintable();
    void subjectField_data();
    void subjectField();
    void addressLine_data();
    void addressLine();
    void headerInjection_data();
    void headerInjection();
    void headerSafe_data();
    void headerSafe();
    void headerLine_data();
    void headerLine();
    void longHeaderValues_data();
    void longHeaderValues();
    void messageIdForm_data();
    void messageIdForm();
    void messageIdUnique();
    void dateHeaderText_data();
    void dateHeaderText();
    void dateHeaderTextLocalTime_data();
    void dateHeaderTextLocalTime();
    void invalidTime();
    void readByMailParser_data();
    void readByMailParser();
};

void TestMessageText::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestMessageText::cleanup() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestMessageText::wholeAsciiMessage_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("idHost");
    QTest::newRow("host") << QStringLiteral("pc7.example.org") << QStringLiteral("pc7.example.org");
    QTest::newRow("empty host") << QString() << QStringLiteral("localhost");
}

void TestMessageText::wholeAsciiMessage() {
    QFETCH(QString, host);
    QFETCH(QString, idHost);
    const QByteArray h = host.toLatin1();

    const std::vector<MessageSend> sends = MessageText::Sends(FixedInput(host));
    const QByteArray wire = Joined(sends) + MessageText::EndOfData();

    const QByteArray expectedBefore = "Return-Path: Tallowick32@" + h +
                                      "\r\n"
                                      "Date: Sun, 06 Dec 2026 14:05:09 +0100\r\n";
    const QByteArray expectedAfter = "X-LocalSender: Tallowick@" + h +
                                     "\r\n"
                                     "X-Mailer: Orvane Version 160-A (A)\r\n"
                                     "Organization: Orvane Quillmere.\r\n"
                                     "MIME-Version: 1.0\r\n"
                                     "From: alice@example.org\r\n"
                                     "To: bob@example.net\r\n"
                                     "Subject: Dentist\r\n"
                                     "Content-Type: multipart/mixed;\r\n"
                                     "              boundary=Unique-Boundary\r\n"
                                     "\r\n"
                                     " [ Random garbage here ]\r\n"
                                     "\r\n"
                                     " [ Random garbage here ]\r\n"
                                     "\r\n"
                                     "\r\n"
                                     "--Unique-Boundary\r\n"
                                     "Content-type: text/plain; charset=US-ASCII\r\n"
                                     "\r\n"
                                     " Call the dentist at 9.\r\n"
                                     "\r\n"
                                     "\r\n"
                                     "--Unique-Boundary--\r\n"
                                     "\r\n"
                                     ".\r\n";
    QVERIFY2(wire.startsWith(expectedBefore), wire.constData());
    QVERIFY2(wire.endsWith(expectedAfter), wire.constData());

    // What stands between them is the Message-Id line.
    const QByteArray idLine =
        wire.mid(expectedBefore.size(), wire.size() - expectedBefore.size() - expectedAfter.size());
    const QRegularExpression idPattern(
        QStringLiteral("^Message-Id: <160-A\\.20261206140509\\.%1\\.[1-9][0-9]*@%2>\r\n$")
            .arg(QCoreApplication::applicationPid())
            .arg(QRegularExpression::escape(idHost)));
    QVERIFY2(idPattern.match(QString::fromLatin1(idLine)).hasMatch(), idLine.constData());
}

void TestMessageText::sendGrouping() {
    const std::vector<MessageSend> sends = MessageText::Sends(FixedInput(QStringLiteral("h")));

    // One send a part, in order.
    QCOMPARE(sends.size(), std::size_t(MessagePart::ClosingDelimiter) + 1);
    for (std::size_t i = 0; i < sends.size(); ++i)
        QCOMPARE(std::size_t(sends[i].part), i);

    // Every header line up to the Content-Type line is a send of its own.
    for (std::size_t i = 0; i <= std::size_t(MessagePart::ContentType); ++i) {
        const QByteArray bytes = sends[i].bytes;
        QCOMPARE(bytes.count("\r\n"), 1);
        QVERIFY(bytes.endsWith("\r\n"));
    }
    QCOMPARE(SendOf(sends, MessagePart::Boundary)->bytes,
             QByteArray("              boundary=Unique-Boundary\r\n\r\n"));
    QCOMPARE(SendOf(sends, MessagePart::Preamble)->bytes,
             QByteArray(" [ Random garbage here ]\r\n\r\n"));
    QCOMPARE(SendOf(sends, MessagePart::PreambleAgain)->bytes,
             QByteArray(" [ Random garbage here ]\r\n\r\n"));
    QCOMPARE(SendOf(sends, MessagePart::Delimiter)->bytes, QByteArray("\r\n--Unique-Boundary\r\n"));
    QCOMPARE(SendOf(sends, MessagePart::PartHeader)->bytes,
             QByteArray("Content-type: text/plain; charset=US-ASCII\r\n\r\n"));
    QCOMPARE(SendOf(sends, MessagePart::Body)->bytes,
             QByteArray(" Call the dentist at 9.\r\n\r\n"));
    QCOMPARE(SendOf(sends, MessagePart::ClosingDelimiter)->bytes,
             QByteArray("\r\n--Unique-Boundary--\r\n"));
    QCOMPARE(MessageText::EndOfData(), QByteArray("\r\n.\r\n"));
}

void TestMessageText::bodyOnWire_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<QByteArray>("expected"); // the send of line 22, or empty to check only form
    QTest::addColumn<bool>("plain");

    const QByteArray ascii = "Content-type: text/plain; charset=US-ASCII\r\n\r\n";
    QTest::newRow("one line") << QStringLiteral(" hello") << QByteArray(" hello\r\n\r\n") << true;
    QTest::newRow("empty") << QString() << QByteArray("\r\n\r\n") << true;
    QTest::newRow("dot line") << QStringLiteral(" a\n.\nb") << QByteArray(" a\r\n..\r\nb\r\n\r\n")
                              << true;
    QTest::newRow("dot first") << QStringLiteral(".x") << QByteArray("..x\r\n\r\n") << true;
    QTest::newRow("two dots") << QStringLiteral(" a\r\n..\r\n...b")
                              << QByteArray(" a\r\n...\r\n....b\r\n\r\n") << true;
    QTest::newRow("dot inside") << QStringLiteral(" a. b .") << QByteArray(" a. b .\r\n\r\n")
                                << true;
    QTest::newRow("lone LF") << QStringLiteral(" a\nb\n") << QByteArray(" a\r\nb\r\n\r\n\r\n")
                             << true;
    QTest::newRow("lone CR") << QStringLiteral(" a\rb") << QByteArray(" a\r\nb\r\n\r\n") << true;
    QTest::newRow("CR CR LF") << QStringLiteral(" a\r\r\nb") << QByteArray(" a\r\n\r\nb\r\n\r\n")
                              << true;
    QTest::newRow("LF CR") << QStringLiteral(" a\n\rb") << QByteArray(" a\r\n\r\nb\r\n\r\n")
                           << true;
    QTest::newRow("tab") << QStringLiteral(" a\tb") << QByteArray(" a\tb\r\n\r\n") << true;
    const QString line998(998, u'x');
    QTest::newRow("998 octets") << line998 << QByteArray(line998.toLatin1() + "\r\n\r\n") << true;
    QTest::newRow("999 octets") << QString(999, u'x') << QByteArray() << false;
    QTest::newRow("998 with dot") << (u'.' + QString(997, u'x')) << QByteArray() << false;
    QTest::newRow("2000 octets") << QString(2000, u'y') << QByteArray() << false;
    QTest::newRow("non-ASCII") << QStringLiteral(" Grüße aus Köln") << QByteArray() << false;
    QTest::newRow("NUL") << QStringLiteral(" a") + QChar(0) + QStringLiteral("b")
                         << QByteArray(" a=00b\r\n\r\n") << false;
    QTest::newRow("euro, dot lines") << QStringLiteral(".€\n.\r..") << QByteArray() << false;
    // A line that begins like the part's delimiter would end the part in a mail reader.
    QTest::newRow("delimiter line")
        << QStringLiteral(" a\n--Unique-Boundary\nb")
        << QByteArray(" a\r\n=2D-Unique-Boundary\r\nb\r\n\r\n") << false;
    QTest::newRow("closing delimiter first")
        << QStringLiteral("--Unique-Boundary--") << QByteArray("=2D-Unique-Boundary--\r\n\r\n")
        << false;
    QTest::newRow("delimiter and more")
        << QStringLiteral("x\r--Unique-Boundary-x ")
        << QByteArray("x\r\n=2D-Unique-Boundary-x=20\r\n\r\n") << false;
    QTest::newRow("delimiter inside a line")
        << QStringLiteral(" see --Unique-Boundary") << QByteArray(" see --Unique-Boundary\r\n\r\n")
        << true;
    QTest::newRow("other hyphens")
        << QStringLiteral("-- \n--Unique") << QByteArray("-- \r\n--Unique\r\n\r\n") << true;
}

void TestMessageText::bodyOnWire() {
    QFETCH(QString, body);
    QFETCH(QByteArray, expected);
    QFETCH(bool, plain);

    MessageInput in = FixedInput(QStringLiteral("h"));
    in.body = body;
    const std::vector<MessageSend> sends = MessageText::Sends(in);
    const QByteArray part = SendOf(sends, MessagePart::PartHeader)->bytes;
    const QByteArray text = SendOf(sends, MessagePart::Body)->bytes;

    QCOMPARE(MessageText::BodyIsPlain(body), plain);
    if (plain) {
        QCOMPARE(part, QByteArray("Content-type: text/plain; charset=US-ASCII\r\n\r\n"));
    } else {
        QCOMPARE(part, QByteArray("Content-type: text/plain; charset=UTF-8\r\n"
                                  "Content-Transfer-Encoding: quoted-printable\r\n\r\n"));
    }
    if (!expected.isEmpty())
        QCOMPARE(text, expected);

    QVERIFY(text.endsWith("\r\n\r\n"));
    if (!plain) {
        for (const QByteArray &line : text.split('\n'))
            QVERIFY2(line.size() <= 77, line.constData()); // 76 characters and the CR
    }
    const QByteArray wire = Joined(sends) + MessageText::EndOfData();
    QVERIFY2(!HasBareLineBreak(wire), wire.constData());
    for (const QByteArray &line : wire.split('\n')) {
        QVERIFY(line.size() <= 999); // 998 octets and the CR
        for (const char c : line)
            QVERIFY(uchar(c) < 0x80); // a non-ASCII body is encoded
    }
    // The end of data can only be the last line.
    QCOMPARE(wire.count("\r\n.\r\n"), 1);
}

void TestMessageText::quotedPrintable_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("umlaut") << QStringLiteral("é") << QByteArray("=C3=A9");
    QTest::newRow("equals") << QStringLiteral("a=b") << QByteArray("a=3Db");
    QTest::newRow("trailing blank") << QStringLiteral("a \nb\t") << QByteArray("a=20\r\nb=09");
    QTest::newRow("inner blanks") << QStringLiteral("a b\tc") << QByteArray("a b\tc");
    QTest::newRow("leading dot") << QStringLiteral(".a\n.") << QByteArray("=2Ea\r\n=2E");
    QTest::newRow("soft break") << QString(100, u'a')
                                << QByteArray(QByteArray(75, 'a') + "=\r\n" + QByteArray(25, 'a'));
    QTest::newRow("escape kept whole") << (QString(74, u'a') + QStringLiteral("é"))
                                       << QByteArray(QByteArray(74, 'a') + "=\r\n=C3=A9");
    QTest::newRow("dot after soft break") << (QString(75, u'a') + QStringLiteral(".b"))
                                          << QByteArray(QByteArray(75, 'a') + "=\r\n=2Eb");
    QTest::newRow("line breaks") << QStringLiteral("a\r\nb\rc\nd")
                                 << QByteArray("a\r\nb\r\nc\r\nd");
    QTest::newRow("leading hyphens")
        << QStringLiteral("-a\n--b\n-") << QByteArray("=2Da\r\n=2D-b\r\n=2D");
    QTest::newRow("inner hyphens") << QStringLiteral("a--b-") << QByteArray("a--b-");
    QTest::newRow("delimiter after soft break")
        << (QStringLiteral("é") + QString(69, u'x') + QStringLiteral("--Unique-Boundary"))
        << QByteArray("=C3=A9" + QByteArray(69, 'x') + "=\r\n=2D-Unique-Boundary");
    QTest::newRow("hyphen after soft break") << (QString(75, u'a') + QStringLiteral("-b"))
                                             << QByteArray(QByteArray(75, 'a') + "=\r\n=2Db");
}

void TestMessageText::quotedPrintable() {
    QFETCH(QString, body);
    QFETCH(QByteArray, expected);
    QCOMPARE(MessageText::QuotedPrintable(body), expected);
}

void TestMessageText::subjectField_data() {
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QByteArray>("expected"); // empty: check the encoded words' form only

    QTest::newRow("ascii") << QStringLiteral("Dentist at 9") << QByteArray("Dentist at 9");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("umlauts") << QStringLiteral("Grüße") << QByteArray("=?UTF-8?B?R3LDvMOfZQ==?=");
    QTest::newRow("looks encoded")
        << QStringLiteral("=?x?q?y?=") << QByteArray("=?UTF-8?B?PT94P3E/eT89?=");
    QTest::newRow("long non-ASCII") << QString(60, QChar(0x20ac)) << QByteArray();
    QTest::newRow("long ASCII") << QString(1200, u's') << QByteArray();
    QTest::newRow("emoji") << QString(40, u'a') + QString::fromUtf8("😀😀😀😀") << QByteArray();
    QTest::newRow("42 octets") << QString(21, QChar(0x00e9)) << QByteArray();
}

void TestMessageText::subjectField() {
    QFETCH(QString, subject);
    QFETCH(QByteArray, expected);

    const QByteArray field = MessageText::SubjectField(subject);
    if (!expected.isEmpty() || subject.isEmpty()) {
        QCOMPARE(field, expected);
        return;
    }
    // Several words, each whole characters, folded so no line exceeds 76 characters.
    const QByteArray line = "Subject: " + field;
    for (const QByteArray &part : line.split('\n')) {
        const QByteArray text = part.endsWith('\r') ? part.chopped(1) : part;
        QVERIFY2(text.size() <= 76, part.constData());
    }
    QVERIFY(field.contains("\r\n "));
    QCOMPARE(Reading(line), QStringLiteral("Subject: ") + subject);
}

// From and To: plain ASCII as it was typed; a name or comment with other characters as
// encoded words, the address as typed but for a domain beyond ASCII, which goes in its IDNA
// form where it has one.
void TestMessageText::addressLine_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("expected"); // after "From: "; empty: check the reading only
    QTest::addColumn<QString>("reading");     // what a mail reader shows

    const QString ascii = QStringLiteral("Ann Lee <ann@example.org> (home)");
    QTest::newRow("plain ASCII") << ascii << ascii.toLatin1() << ascii;
    QTest::newRow("name") << QStringLiteral("Zoë Lee <zoe@example.org>")
                          << QByteArray("=?UTF-8?B?Wm/DqyBMZWU=?= <zoe@example.org>")
                          << QStringLiteral("Zoë Lee <zoe@example.org>");
    QTest::newRow("comment") << QStringLiteral("zoe@example.org (Zoë)")
                             << QByteArray("zoe@example.org (=?UTF-8?B?Wm/Dqw==?=)")
                             << QStringLiteral("zoe@example.org (Zoë)");
    QTest::newRow("quoted name") << QStringLiteral("\"Zoë, L.\" <zoe@example.org>")
                                 << QByteArray("=?UTF-8?B?Wm/DqywgTC4=?= <zoe@example.org>")
                                 << QStringLiteral("Zoë, L. <zoe@example.org>");
    QTest::newRow("addresses as typed")
        << QStringLiteral("Zoë <zoë@example.org>, zoë@example.org")
        << QStringLiteral("=?UTF-8?B?Wm/Dqw==?= <zoë@example.org>, zoë@example.org").toUtf8()
        << QStringLiteral("Zoë <zoë@example.org>, zoë@example.org");
    QTest::newRow("nothing touches a word")
        << QStringLiteral("\"Zoë\"<z@x>(Zoë)")
        << QByteArray("=?UTF-8?B?Wm/Dqw==?= <z@x> (=?UTF-8?B?Wm/Dqw==?=)")
        << QStringLiteral("Zoë <z@x> (Zoë)");
    QTest::newRow("escapes, nested comment")
        << QStringLiteral("z@x (Zoë \\(1\\) (home))") << QByteArray()
        << QStringLiteral("z@x (Zoë (1) (home))");
    const QString longName = QStringLiteral("Zoë Lee ").repeated(20) + QStringLiteral("<z@x>");
    QTest::newRow("long name") << longName << QByteArray() << longName;
    const QString fullWord = QString(21, QChar(0x00e9)) + QStringLiteral(" (a)");
    QTest::newRow("name of 42 octets, comment") << fullWord << QByteArray() << fullWord;
    QTest::newRow("domain beyond ASCII")
        << QStringLiteral("Hans <hans@exämple.de>") << QByteArray("Hans <hans@xn--exmple-cua.de>")
        << QStringLiteral("Hans <hans@xn--exmple-cua.de>");
    QTest::newRow("local part and domain beyond ASCII")
        << QStringLiteral("Jörg <jörg@exämple.de>, jörg@exämple.de")
        << QStringLiteral(
               "=?UTF-8?B?SsO2cmc=?= <jörg@xn--exmple-cua.de>,\r\n jörg@xn--exmple-cua.de")
               .toUtf8()
        << QStringLiteral("Jörg <jörg@xn--exmple-cua.de>, jörg@xn--exmple-cua.de");
    QTest::newRow("domain with no ASCII form")
        << QStringLiteral("Hans <hans@exä_mple.de!>")
        << QStringLiteral("Hans <hans@exä_mple.de!>").toUtf8()
        << QStringLiteral("Hans <hans@exä_mple.de!>");
}

void TestMessageText::addressLine() {
    QFETCH(QString, value);
    QFETCH(QByteArray, expected);
    QFETCH(QString, reading);

    const QByteArray line = MessageText::AddressLine("From: ", value);
    if (!expected.isEmpty())
        QCOMPARE(line, "From: " + expected);
    QCOMPARE(Reading(line), QStringLiteral("From: ") + reading);
    for (const QByteArray &part : line.split('\n')) {
        const QByteArray text = part.endsWith('\r') ? part.chopped(1) : part;
        QVERIFY2(text.size() <= 76 || !text.contains("=?"), part.constData());
    }
}

void TestMessageText::headerInjection_data() {
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QByteArray>("expectedHeaders"); // sends 8 to 10

    QTest::newRow("subject CR LF")
        << QStringLiteral("a@x") << QStringLiteral("b@y") << QStringLiteral("Hi\r\nBcc: c@z")
        << QByteArray("From: a@x\r\nTo: b@y\r\nSubject: Hi Bcc: c@z\r\n");
    QTest::newRow("recipient LF") << QStringLiteral("a@x") << QStringLiteral("b@y\nBcc: c@z")
                                  << QStringLiteral("s")
                                  << QByteArray("From: a@x\r\nTo: b@y Bcc: c@z\r\nSubject: s\r\n");
    QTest::newRow("sender CR, NUL")
        << (QStringLiteral("a@x\r") + QChar(0) + QStringLiteral("\r\n\r\nX: 1"))
        << QStringLiteral("b@y") << QStringLiteral("s")
        << QByteArray("From: a@x X: 1\r\nTo: b@y\r\nSubject: s\r\n");
    QTest::newRow("body start in subject")
        << QStringLiteral("a@x") << QStringLiteral("b@y") << QStringLiteral("s\r\n\r\nfake body")
        << QByteArray("From: a@x\r\nTo: b@y\r\nSubject: s fake body\r\n");
}

void TestMessageText::headerInjection() {
    QFETCH(QString, sender);
    QFETCH(QString, recipient);
    QFETCH(QString, subject);
    QFETCH(QByteArray, expectedHeaders);

    MessageInput in = FixedInput(QStringLiteral("h\r\nX-Evil: 1"));
    in.headerSender = sender;
    in.recipient = recipient;
    in.subject = subject;
    const std::vector<MessageSend> sends = MessageText::Sends(in);

    QCOMPARE(SendOf(sends, MessagePart::From)->bytes + SendOf(sends, MessagePart::To)->bytes +
                 SendOf(sends, MessagePart::Subject)->bytes,
             expectedHeaders);
    QCOMPARE(SendOf(sends, MessagePart::ReturnPath)->bytes,
             QByteArray("Return-Path: Tallowick32@h X-Evil: 1\r\n"));
    for (std::size_t i = 0; i <= std::size_t(MessagePart::ContentType); ++i)
        QCOMPARE(sends[i].bytes.count("\r\n"), 1);
    QVERIFY(!Joined(sends).contains('\0'));
}

void TestMessageText::headerSafe_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QStringLiteral("a b") << QStringLiteral("a b");
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QStringLiteral("a b");
    QTest::newRow("run") << QStringLiteral("a\n\r\r\nb") << QStringLiteral("a b");
    QTest::newRow("two runs") << QStringLiteral("\ra\nb\r") << QStringLiteral(" a b ");
    QTest::newRow("NUL") << (QChar(0) + QStringLiteral("a") + QChar(0)) << QStringLiteral("a");
    QTest::newRow("NUL in run") << (QStringLiteral("a\r") + QChar(0) + QStringLiteral("\nb"))
                                << QStringLiteral("a b");
    QTest::newRow("tab kept") << QStringLiteral("a\tb") << QStringLiteral("a\tb");
}

void TestMessageText::headerSafe() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(MessageText::HeaderSafe(text), expected);
}

void TestMessageText::headerLine_data() {
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray from = "From: ";
    const QByteArray returnPath = "Return-Path: Tallowick32@";
    const QString a600(600, u'a');
    const QString b600(600, u'b');
    QTest::newRow("short") << from << QStringLiteral(" a@x  b ") << QByteArray("From:  a@x  b ");
    QTest::newRow("998 octets") << from << QString(992, u'a')
                                << QByteArray("From: " + QByteArray(992, 'a'));
    QTest::newRow("999 octets, one token")
        << from << QString(993, u'a') << QByteArray("From: " + QByteArray(992, 'a'));
    QTest::newRow("folded at a blank")
        << from << (a600 + u' ' + b600)
        << QByteArray("From: " + a600.toLatin1() + "\r\n " + b600.toLatin1());
    QTest::newRow("run of blanks opens the line")
        << from << (a600 + QStringLiteral(" \t ") + b600)
        << QByteArray("From: " + a600.toLatin1() + "\r\n \t " + b600.toLatin1());
    QTest::newRow("line break as the fold")
        << from << (a600 + QStringLiteral("\r\n") + b600)
        << QByteArray("From: " + a600.toLatin1() + "\r\n " + b600.toLatin1());
    QTest::newRow("long token in the middle")
        << from << (QStringLiteral("x ") + QString(1500, u'a') + QStringLiteral(" y"))
        << QByteArray("From: x\r\n " + QByteArray(997, 'a') + "\r\n y");
    QTest::newRow("cut at a character boundary")
        << QByteArray("To: ") << QString(400, QChar(0x20ac))
        << QByteArray("To: " + QString(331, QChar(0x20ac)).toUtf8()); // 993 of 994 octets
    QTest::newRow("blanks after the name give way")
        << from << (QStringLiteral("  ") + QString(1000, u'a'))
        << QByteArray("From: " + QByteArray(992, 'a'));
    QTest::newRow("blanks at the end give way")
        << from << (QString(990, u'a') + QString(20, u' '))
        << QByteArray("From: " + QByteArray(990, 'a') + "  ");
    QTest::newRow("long run of blanks")
        << from << (QStringLiteral("a") + QString(1500, u' ') + QStringLiteral("b"))
        << QByteArray("From: a\r\n" + QByteArray(997, ' ') + "b");
    QTest::newRow("host after the at sign")
        << returnPath << (u' ' + QString(1000, u'h'))
        << QByteArray(returnPath + "\r\n " + QByteArray(997, 'h'));
    QTest::newRow("host token cut")
        << returnPath << QString(1000, u'h') << QByteArray(returnPath + QByteArray(973, 'h'));
}

void TestMessageText::headerLine() {
    QFETCH(QByteArray, prefix);
    QFETCH(QString, value);
    QFETCH(QByteArray, expected);

    const QByteArray line = MessageText::HeaderLine(prefix, value);
    QCOMPARE(line, expected);
    for (const QByteArray &part : line.split('\n'))
        QVERIFY(part.size() <= 999); // 998 octets and the CR of a fold
}

void TestMessageText::longHeaderValues_data() {
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("date");

    const QString normal = QStringLiteral("n@example.org");
    const QString date = QStringLiteral("Sun, 06 Dec 2026 14:05:09 +0100");
    const QString longAddress = QString(993, u'a') + QStringLiteral("@example.org");
    const QString longHost = QStringLiteral("pc7.").repeated(300) + QStringLiteral("lan");
    QTest::newRow("sender") << longAddress << normal << QStringLiteral("pc7") << date;
    QTest::newRow("recipient") << normal << longAddress << QStringLiteral("pc7") << date;
    QTest::newRow("host") << normal << normal << longHost << date;
    QTest::newRow("host of words")
        << normal << normal << QStringLiteral("my pc ").repeated(300) << date;
    QTest::newRow("date") << normal << normal << QStringLiteral("pc7")
                          << QStringLiteral("Sun, ").repeated(400);
    QTest::newRow("all, non-ASCII") << QString(1200, QChar(0x00e9)) << QString(700, QChar(0x4e2d))
                                    << QString(1100, QChar(0x00fc)) << QString(500, QChar(0x20ac));
}

// However long the typed texts, no header line goes past 998 octets and the header keeps its
// eleven fields in order, the Message-Id a valid one.
void TestMessageText::longHeaderValues() {
    QFETCH(QString, sender);
    QFETCH(QString, recipient);
    QFETCH(QString, host);
    QFETCH(QString, date);

    MessageInput in = FixedInput(host);
    in.headerSender = sender;
    in.recipient = recipient;
    in.dateHeaderText = date;
    const std::vector<MessageSend> sends = MessageText::Sends(in);
    const QByteArray wire = Joined(sends) + MessageText::EndOfData();
    QVERIFY(!HasBareLineBreak(wire));

    const QByteArray header = wire.left(wire.indexOf("\r\n\r\n"));
    QStringList names;
    QByteArrayList fields;
    for (const QByteArray &line : header.split('\n')) {
        const QByteArray text = line.endsWith('\r') ? line.chopped(1) : line;
        QVERIFY2(text.size() <= 998, text.left(40).constData());
        QVERIFY(!text.trimmed().isEmpty());
        if (text.startsWith(' ') || text.startsWith('\t')) {
            fields.last() += text;
            continue;
        }
        names.append(QString::fromLatin1(text.left(text.indexOf(':'))));
        fields.append(text);
    }
    QCOMPARE(names, (QStringList{QStringLiteral("Return-Path"), QStringLiteral("Date"),
                                 QStringLiteral("Message-Id"), QStringLiteral("X-LocalSender"),
                                 QStringLiteral("X-Mailer"), QStringLiteral("Organization"),
                                 QStringLiteral("MIME-Version"), QStringLiteral("From"),
                                 QStringLiteral("To"), QStringLiteral("Subject"),
                                 QStringLiteral("Content-Type")}));
    // A value is only shortened where it had to be: every typed token is there, in its order,
    // whole or cut short.
    const auto sentAsTyped = [](const QByteArray &field, const QByteArray &name,
                                const QString &typed) {
        static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
        const QStringList sent =
            QString::fromUtf8(field.mid(name.size())).split(blanks, Qt::SkipEmptyParts);
        const QStringList tokens = MessageText::HeaderSafe(typed).split(blanks, Qt::SkipEmptyParts);
        if (sent.size() != tokens.size())
            return false;
        for (qsizetype i = 0; i < sent.size(); ++i) {
            if (sent.at(i).isEmpty() || !tokens.at(i).startsWith(sent.at(i)))
                return false;
        }
        return true;
    };
    QVERIFY(sentAsTyped(fields.at(0), "Return-Path: Tallowick32@", host));
    QVERIFY(sentAsTyped(fields.at(1), "Date: ", date));
    QVERIFY(sentAsTyped(fields.at(3), "X-LocalSender: Tallowick@", host));
    // From and To with other characters than ASCII are encoded; they must read as typed.
    if (std::all_of(sender.cbegin(), sender.cend(), [](QChar c) { return c.unicode() < 0x80; })) {
        QVERIFY(sentAsTyped(fields.at(7), "From: ", sender));
        QVERIFY(sentAsTyped(fields.at(8), "To: ", recipient));
    } else {
        QCOMPARE(Reading(fields.at(7)), QStringLiteral("From: ") + sender);
        QCOMPARE(Reading(fields.at(8)), QStringLiteral("To: ") + recipient);
    }

    const QRegularExpression id(QStringLiteral(
        "^Message-Id: <160-A\\.[0-9]{14}\\.[0-9]+\\.[0-9]+@[^.@<> ]+(\\.[^.@<> ]+)*>$"));
    QVERIFY2(id.match(QString::fromLatin1(fields.at(2))).hasMatch(), fields.at(2).constData());
}

void TestMessageText::messageIdForm_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("idHost");

    QTest::newRow("host") << QStringLiteral("pc7.example.org") << QStringLiteral("pc7.example.org");
    QTest::newRow("empty") << QString() << QStringLiteral("localhost");
    QTest::newRow("blanks and brackets")
        << QStringLiteral("my pc<>.lan") << QStringLiteral("mypc.lan");
    QTest::newRow("stray dots") << QStringLiteral(".a..b.") << QStringLiteral("a.b");
    QTest::newRow("nothing usable") << QStringLiteral(" <> ") << QStringLiteral("localhost");
}

void TestMessageText::messageIdForm() {
    QFETCH(QString, host);
    QFETCH(QString, idHost);

    // Digits must stay ASCII whatever the default locale.
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    const QString first = MessageText::MessageId(FixedNow(), host);
    const QString second = MessageText::MessageId(FixedNow(), host);

    const QRegularExpression form(
        QStringLiteral("^<160-A\\.20261206140509\\.%1\\.([1-9][0-9]*)@%2>$")
            .arg(QCoreApplication::applicationPid())
            .arg(QRegularExpression::escape(idHost)));
    const QRegularExpressionMatch a = form.match(first);
    const QRegularExpressionMatch b = form.match(second);
    QVERIFY2(a.hasMatch(), qPrintable(first));
    QVERIFY2(b.hasMatch(), qPrintable(second));
    QCOMPARE(b.captured(1).toULongLong(), a.captured(1).toULongLong() + 1);
}

void TestMessageText::messageIdUnique() {
    const QDateTime now = FixedNow();
    QSet<QString> ids;
    for (int i = 0; i < 10000; ++i) {
        MessageInput in = FixedInput(QStringLiteral("pc7"));
        in.messageIdTime = now;
        ids.insert(QString::fromLatin1(MessageText::Sends(in).at(2).bytes));
    }
    QCOMPARE(ids.size(), 10000);
}

void TestMessageText::dateHeaderText_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("expected");

    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("German, +0100")
        << german << FixedNow() << QStringLiteral("Sun, 06 Dec 2026 14:05:09 +0100");
    QTest::newRow("French, -0330")
        << QLocale(QLocale::French, QLocale::France)
        << QDateTime(QDate(2025, 3, 3), QTime(7, 8, 0), Qt::OffsetFromUTC, -(3 * 3600 + 1800))
        << QStringLiteral("Mon, 03 Mar 2025 07:08:00 -0330");
    QTest::newRow("Arabic, UTC") << QLocale(QLocale::Arabic, QLocale::Egypt)
                                 << QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59), Qt::UTC)
                                 << QStringLiteral("Thu, 29 Feb 2024 23:59:59 +0000");
    QTest::newRow("+0545, May") << english
                                << QDateTime(QDate(2026, 5, 1), QTime(0, 0, 1), Qt::OffsetFromUTC,
                                             5 * 3600 + 45 * 60)
                                << QStringLiteral("Fri, 01 May 2026 00:00:01 +0545");
    QTest::newRow("-0800, Sat") << english
                                << QDateTime(QDate(2026, 7, 18), QTime(12, 30, 0),
                                             Qt::OffsetFromUTC, -8 * 3600)
                                << QStringLiteral("Sat, 18 Jul 2026 12:30:00 -0800");
}

void TestMessageText::dateHeaderText() {
    QFETCH(QLocale, locale);
    QFETCH(QDateTime, now);
    QFETCH(QString, expected);

    QLocale::setDefault(locale);
    QCOMPARE(MessageText::DateHeaderText(now), expected);
}

void TestMessageText::dateHeaderTextLocalTime_data() {
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Berlin, winter") << QByteArray("Europe/Berlin") << QDate(2026, 12, 6)
                                    << QStringLiteral("Sun, 06 Dec 2026 14:05:09 +0100");
    QTest::newRow("Berlin, summer") << QByteArray("Europe/Berlin") << QDate(2026, 7, 5)
                                    << QStringLiteral("Sun, 05 Jul 2026 14:05:09 +0200");
    QTest::newRow("St. John's") << QByteArray("America/St_Johns") << QDate(2026, 1, 7)
                                << QStringLiteral("Wed, 07 Jan 2026 14:05:09 -0330");
}

// The machine's own zone decides the offset of a local clock reading.
void TestMessageText::dateHeaderTextLocalTime() {
    QFETCH(QByteArray, zone);
    QFETCH(QDate, date);
    QFETCH(QString, expected);

    const QByteArray savedZone = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", zone);
    const QString text = MessageText::DateHeaderText(QDateTime(date, QTime(14, 5, 9)));
    if (hadZone)
        qputenv("TZ", savedZone);
    else
        qunsetenv("TZ");
    QCOMPARE(text, expected);
}

void TestMessageText::invalidTime() {
    QCOMPARE(MessageText::DateHeaderText(QDateTime()), QString());
    const QString id = MessageText::MessageId(QDateTime(), QStringLiteral("pc7"));
    QVERIFY2(QRegularExpression(QStringLiteral("^<160-A\\.00000000000000\\.[0-9]+\\.[0-9]+@pc7>$"))
                 .match(id)
                 .hasMatch(),
             qPrintable(id));
}

void TestMessageText::readByMailParser_data() {
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("expectedSubject");
    QTest::addColumn<QString>("charset");

    const QString ascii = QStringLiteral("us-ascii");
    const QString utf8 = QStringLiteral("utf-8");
    QTest::newRow("ascii") << QStringLiteral("Dentist") << QStringLiteral(" Call the dentist.")
                           << QStringLiteral("Dentist") << ascii;
    QTest::newRow("dot lines") << QStringLiteral("Dots")
                               << QStringLiteral(" first\n.\n..\n.hidden\r\nlast")
                               << QStringLiteral("Dots") << ascii;
    QTest::newRow("mixed breaks") << QStringLiteral("Breaks") << QStringLiteral(" a\rb\nc\r\nd")
                                  << QStringLiteral("Breaks") << ascii;
    QTest::newRow("non-ASCII") << QStringLiteral("Grüße aus Köln – 10 €")
                               << QStringLiteral(" Grüße, ça va? 日本語\n.punkt\n= gleich \n")
                               << QStringLiteral("Grüße aus Köln – 10 €") << utf8;
    QTest::newRow("long line") << QStringLiteral("Long")
                               << (QStringLiteral(" ") + QString(2000, u'z') +
                                   QStringLiteral("\n.") + QString(1500, u'.') +
                                   QStringLiteral(" end "))
                               << QStringLiteral("Long") << utf8;
    const QString longSubject =
        QString(30, QChar(0x00e9)) + QStringLiteral(" and some more words to make it long");
    QTest::newRow("long subject") << longSubject << QStringLiteral(" x") << longSubject << ascii;
    QTest::newRow("delimiter lines in the body")
        << QStringLiteral("Boundary")
        << QStringLiteral(" before\n--Unique-Boundary\nmiddle\r\n--Unique-Boundary--\nafter")
        << QStringLiteral("Boundary") << utf8;
    QTest::newRow("delimiter after a soft break")
        << QStringLiteral("Boundary")
        << (QStringLiteral("é") + QString(69, u'x') + QStringLiteral("--Unique-Boundary\nend"))
        << QStringLiteral("Boundary") << utf8;
    QTest::newRow("injected header")
        << QStringLiteral("Hi\r\nBcc: eve@example.com\r\n\r\nfake body")
        << QStringLiteral(" real body") << QStringLiteral("Hi Bcc: eve@example.com fake body")
        << ascii;
}

void TestMessageText::readByMailParser() {
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(QString, expectedSubject);
    QFETCH(QString, charset);

    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is not installed");
    const QString script = qEnvironmentVariable("TALLOWICK_SOURCE_DIR") +
                           QStringLiteral("/tests/mail/parse_message.py");
    QVERIFY2(QFile::exists(script), qPrintable(script));

    MessageInput in = FixedInput(QStringLiteral("pc7.example.org"));
    in.subject = subject;
    in.body = body;
    const std::vector<MessageSend> sends = MessageText::Sends(in);
    const QByteArray wire = Joined(sends) + MessageText::EndOfData();

    QProcess parser;
    parser.start(python, {script});
    QVERIFY(parser.waitForStarted());
    parser.write(AsStoredByServer(wire));
    parser.closeWriteChannel();
    QVERIFY(parser.waitForFinished(30000));
    QVERIFY2(parser.exitCode() == 0, parser.readAllStandardError().constData());

    QJsonParseError error;
    const QJsonObject found =
        QJsonDocument::fromJson(parser.readAllStandardOutput(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);

    QCOMPARE(found.value(QStringLiteral("content_type")).toString(),
             QStringLiteral("multipart/mixed"));
    QCOMPARE(found.value(QStringLiteral("boundary")).toString(), QStringLiteral("Unique-Boundary"));
    QCOMPARE(found.value(QStringLiteral("defects")).toArray(), QJsonArray());
    QCOMPARE(found.value(QStringLiteral("subject")).toString(), expectedSubject);
    const QStringList headerNames{QStringLiteral("Return-Path"),  QStringLiteral("Date"),
                                  QStringLiteral("Message-Id"),   QStringLiteral("X-LocalSender"),
                                  QStringLiteral("X-Mailer"),     QStringLiteral("Organization"),
                                  QStringLiteral("MIME-Version"), QStringLiteral("From"),
                                  QStringLiteral("To"),           QStringLiteral("Subject"),
                                  QStringLiteral("Content-Type")};
    QCOMPARE(found.value(QStringLiteral("header_names")).toVariant().toStringList(), headerNames);
    QCOMPARE(found.value(QStringLiteral("from")).toString(), in.headerSender);
    QCOMPARE(found.value(QStringLiteral("to")).toString(), in.recipient);
    QCOMPARE(found.value(QStringLiteral("message_id")).toString(),
             QString::fromLatin1(SendOf(sends, MessagePart::MessageId)->bytes.mid(12).chopped(2)));
    QCOMPARE(found.value(QStringLiteral("date")).toString(),
             QStringLiteral("2026-12-06T14:05:09+01:00"));

    const QJsonArray parts = found.value(QStringLiteral("parts")).toArray();
    QCOMPARE(parts.size(), 1);
    const QJsonObject part = parts.at(0).toObject();
    QCOMPARE(part.value(QStringLiteral("content_type")).toString(), QStringLiteral("text/plain"));
    QCOMPARE(part.value(QStringLiteral("charset")).toString(), charset);
    // The text part is the body followed by the two empty lines of the message.
    QCOMPARE(part.value(QStringLiteral("content")).toString(),
             WithCrlfBreaks(body) + QStringLiteral("\r\n\r\n"));
}

QTEST_GUILESS_MAIN(TestMessageText)
#include "tst_messagetext.moc"
