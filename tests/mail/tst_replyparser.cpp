#include <QTest>

#include "replyparser.h"

using Status = ReplyParser::Status;

Q_DECLARE_METATYPE(ReplyParser::Status)

class TestReplyParser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void take_data();
    void take();
    void repliesAreTakenOneAtATime();
    void aReplyOfExactlyTheLimitIsTaken();
    void aReplyPastTheLimitIsJudgedByItsCode_data();
    void aReplyPastTheLimitIsJudgedByItsCode();
    void repliesBeforeAnOverflowAreStillTaken();
    void nothingIsJoinedAcrossAnOverflow_data();
    void nothingIsJoinedAcrossAnOverflow();
    void clearForgetsEverything();
};

void TestReplyParser::take_data() {
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<Status>("status");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("rest");
    QTest::addColumn<QString>("reason");

    const auto row = [](const char *name, QByteArrayList chunks, Status status, int code,
                        QByteArray text, QByteArray rest, QString reason = {}) {
        QTest::newRow(name) << chunks << status << code << text << rest << reason;
    };
    const QByteArray multi = "250-fault.test\r\n250-SIZE 1000\r\n250 HELP\r\n";

    row("one line", {"250 OK\r\n"}, Status::Complete, 250, "250 OK\r\n", "");
    row("blanks before the code", {"   220 ready\r\n"}, Status::Complete, 220, "   220 ready\r\n",
        "");
    row("tab before the code", {"\t354 go\r\n"}, Status::Complete, 354, "\t354 go\r\n", "");
    row("bare code", {"250\r\n"}, Status::Complete, 250, "250\r\n", "");
    row("bare continued code", {"250-\r\n250\r\n"}, Status::Complete, 250, "250-\r\n250\r\n", "");
    row("multi-line in one piece", {multi}, Status::Complete, 250, multi, "");
    row("multi-line split between lines", {"250-fault.test\r\n", "250-SIZE 1000\r\n250 HELP\r\n"},
        Status::Complete, 250, multi, "");
    row("multi-line split inside a line",
        {"250-fault.test\r\n250-SI", "ZE 1000\r", "\n250 HE", "LP\r\n"}, Status::Complete, 250,
        multi, "");
    row("multi-line not finished", {"250-fault.test\r\n250-SIZE 1000\r\n"}, Status::Incomplete, 0,
        "", "250-fault.test\r\n250-SIZE 1000\r\n");
    row("split in the code", {"2", "50 OK\r\n"}, Status::Complete, 250, "250 OK\r\n", "");
    row("one digit so far", {"2"}, Status::Incomplete, 0, "", "2");
    row("code so far", {"250"}, Status::Incomplete, 0, "", "250");
    row("CR so far", {"250 OK\r"}, Status::Incomplete, 0, "", "250 OK\r");
    row("nothing", {}, Status::Incomplete, 0, "", "");
    row("followed by the next reply", {"250 OK\r\n354 go\r\n"}, Status::Complete, 250, "250 OK\r\n",
        "354 go\r\n");
    row("LF alone ends a line", {"250 OK\n"}, Status::Complete, 250, "250 OK\n", "");
    row("UTF-8 text",
        {"250 Gr\xc3\xbc\xc3\x9f"
         "e\r\n"},
        Status::Complete, 250,
        "250 Gr\xc3\xbc\xc3\x9f"
        "e\r\n",
        "");
    row("4xx", {"451 try later\r\n"}, Status::Complete, 451, "451 try later\r\n", "");

    row("words", {"hello there\r\n"}, Status::NotSmtp, 0, "", "hello there\r\n",
        QStringLiteral("\"hello there\""));
    row("words before the line end", {"hel"}, Status::NotSmtp, 0, "", "hel",
        QStringLiteral("\"hel\""));
    row("empty line", {"\r\n"}, Status::NotSmtp, 0, "", "\r\n", QStringLiteral("an empty line"));
    row("blank line", {"   \r\n"}, Status::NotSmtp, 0, "", "   \r\n",
        QStringLiteral("an empty line"));
    row("binary bytes", {QByteArray("\x00\x01\xff\xfe", 4)}, Status::NotSmtp, 0, "",
        QByteArray("\x00\x01\xff\xfe", 4), QStringLiteral("binary data \"\\x00\\x01\\xff\\xfe\""));
    row("NUL after a code", {QByteArray("250 O\x00K\r\n", 9)}, Status::NotSmtp, 0, "",
        QByteArray("250 O\x00K\r\n", 9), QStringLiteral("binary data \"250 O\\x00K\""));
    row("two-digit code", {"25 OK\r\n"}, Status::NotSmtp, 0, "", "25 OK\r\n",
        QStringLiteral("\"25 OK\""));
    row("code out of range", {"650 OK\r\n"}, Status::NotSmtp, 0, "", "650 OK\r\n",
        QStringLiteral("\"650 OK\""));
    row("letter after the code", {"250x\r\n"}, Status::NotSmtp, 0, "", "250x\r\n",
        QStringLiteral("\"250x\""));
    row("codes differ between lines", {"250-a\r\n251 b\r\n"}, Status::NotSmtp, 0, "",
        "250-a\r\n251 b\r\n", QStringLiteral("code 251 in a reply that began with 250"));
    row("garbage on a later line", {"250-a\r\nzzz\r\n"}, Status::NotSmtp, 0, "", "250-a\r\nzzz\r\n",
        QStringLiteral("\"zzz\""));
}

void TestReplyParser::take() {
    QFETCH(QByteArrayList, chunks);
    QFETCH(Status, status);
    QFETCH(int, code);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, rest);
    QFETCH(QString, reason);

    ReplyParser parser;
    for (const QByteArray &chunk : chunks)
        parser.Append(chunk);
    const ReplyParser::Reply reply = parser.Take();
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.code, code);
    QCOMPARE(reply.text, text);
    QCOMPARE(parser.Buffer(), rest);
    if (!reason.isNull())
        QCOMPARE(reply.reason, reason);
}

void TestReplyParser::repliesAreTakenOneAtATime() {
    ReplyParser parser;
    parser.Append("250-a\r\n250 b\r\n221 by");
    ReplyParser::Reply reply = parser.Take();
    QCOMPARE(reply.status, Status::Complete);
    QCOMPARE(reply.text, QByteArray("250-a\r\n250 b\r\n"));
    QCOMPARE(parser.Take().status, Status::Incomplete);
    parser.Append("e\r\n");
    reply = parser.Take();
    QCOMPARE(reply.status, Status::Complete);
    QCOMPARE(reply.code, 221);
    QCOMPARE(reply.text, QByteArray("221 bye\r\n"));
    QVERIFY(parser.IsEmpty());
    QCOMPARE(parser.Take().status, Status::Incomplete);
}

void TestReplyParser::aReplyOfExactlyTheLimitIsTaken() {
    // "250-" + filler + CR LF lines, then a final "250 " line: exactly MaxReplySize bytes.
    QByteArray reply;
    const QByteArray line = "250-" + QByteArray(994, 'x') + "\r\n"; // 1000 bytes
    while (reply.size() + line.size() + 8 <= ReplyParser::MaxReplySize)
        reply += line;
    const qsizetype finalTextLength = ReplyParser::MaxReplySize - reply.size() - 6;
    reply += "250 " + QByteArray(finalTextLength, 'y') + "\r\n";
    QCOMPARE(reply.size(), ReplyParser::MaxReplySize);

    ReplyParser parser;
    parser.Append(reply);
    const ReplyParser::Reply taken = parser.Take();
    QCOMPARE(taken.status, Status::Complete);
    QCOMPARE(taken.text, reply);
}

// However long a reply grows, it is judged by its code; its text is kept up to the limit and
// the buffer never holds more than that.
void TestReplyParser::aReplyPastTheLimitIsJudgedByItsCode_data() {
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("times");
    QTest::addColumn<QByteArray>("end");
    QTest::newRow("1 MiB of 1 KiB lines") << QByteArray("250-first\r\n")
                                          << "250-" + QByteArray(1018, 'x') + "\r\n" << 1024
                                          << QByteArray("250 done\r\n354 next\r\n");
    QTest::newRow("one line of 1 MiB, in pieces")
        << QByteArray("250-first\r\n250-") << QByteArray(1024, 'x') << 1024
        << QByteArray("\r\n250 done\r\n354 next\r\n");
}

void TestReplyParser::aReplyPastTheLimitIsJudgedByItsCode() {
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, line);
    QFETCH(int, times);
    QFETCH(QByteArray, end);
    ReplyParser parser;
    parser.Append(start);
    for (int i = 0; i < times; ++i) {
        parser.Append(line);
        QVERIFY(parser.Buffer().size() <= ReplyParser::MaxReplySize);
        QCOMPARE(parser.Take().status, Status::Incomplete);
    }
    parser.Append(end);
    const ReplyParser::Reply reply = parser.Take();
    QCOMPARE(reply.status, Status::Complete);
    QCOMPARE(reply.code, 250);
    QCOMPARE(reply.text.size(), ReplyParser::MaxReplySize);
    QVERIFY(reply.text.startsWith("250-first\r\n"));
    QCOMPARE(parser.Take().code, 354);
    QVERIFY(parser.IsEmpty());
}

void TestReplyParser::repliesBeforeAnOverflowAreStillTaken() {
    ReplyParser parser;
    parser.Append("220 hello\r\n");
    parser.Append("250-" + QByteArray(ReplyParser::MaxReplySize, 'x'));
    ReplyParser::Reply reply = parser.Take();
    QCOMPARE(reply.status, Status::Complete);
    QCOMPARE(reply.code, 220);
    QCOMPARE(parser.Take().status, Status::TooLong);
}

void TestReplyParser::nothingIsJoinedAcrossAnOverflow_data() {
    QTest::addColumn<QByteArrayList>("later"); // arrivals after the take that made room

    QTest::newRow("the end of the cut reply") << QByteArrayList{"yyy\r\n250 end\r\n"};
    QTest::newRow("a whole reply") << QByteArrayList{"250 OK\r\n"};
    QTest::newRow("in pieces") << QByteArrayList{"\r\n", "250 O", "K\r\n354 go\r\n"};
    QTest::newRow("nothing") << QByteArrayList{};
}

// After bytes were dropped, taking the replies before the gap makes room in the buffer; what
// arrives then must not be joined to the reply that was cut off.
void TestReplyParser::nothingIsJoinedAcrossAnOverflow() {
    QFETCH(QByteArrayList, later);

    const QByteArray first = "220 " + QByteArray(1000, 'a') + "\r\n";
    const QByteArray cut = "250-" + QByteArray(ReplyParser::MaxReplySize, 'x');
    ReplyParser parser;
    parser.Append(first + cut);
    QCOMPARE(parser.Buffer().size(), ReplyParser::MaxReplySize);
    const ReplyParser::Reply reply = parser.Take();
    QCOMPARE(reply.status, Status::Complete);
    QCOMPARE(reply.text, first);
    const QByteArray left = parser.Buffer();
    QCOMPARE(left, cut.left(ReplyParser::MaxReplySize - first.size()));

    for (const QByteArray &bytes : later) {
        parser.Append(bytes);
        QCOMPARE(parser.Buffer(), left);
    }
    // The failure stays until the parser is cleared, however often it is asked.
    for (int i = 0; i < 3; ++i) {
        const ReplyParser::Reply next = parser.Take();
        QCOMPARE(next.status, Status::TooLong);
        QCOMPARE(next.text, QByteArray());
        QCOMPARE(parser.Buffer(), left);
        parser.Append("250 OK\r\n");
    }
    parser.Clear();
    parser.Append("250 OK\r\n");
    QCOMPARE(parser.Take().status, Status::Complete);
}

void TestReplyParser::clearForgetsEverything() {
    ReplyParser parser;
    parser.Append("220 hi\r\n250-" + QByteArray(ReplyParser::MaxReplySize, 'x'));
    QCOMPARE(parser.Take().code, 220);
    QCOMPARE(parser.Take().status, Status::TooLong);
    parser.Clear();
    QVERIFY(parser.IsEmpty());
    QCOMPARE(parser.Take().status, Status::Incomplete);
    parser.Append("250 OK\r\n");
    QCOMPARE(parser.Take().status, Status::Complete);
}

QTEST_GUILESS_MAIN(TestReplyParser)
#include "tst_replyparser.moc"
