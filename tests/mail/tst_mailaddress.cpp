// The envelope address read from a typed address field: the address after the display name,
// never one inside a quoted string or a comment, with a domain other than ASCII in its IDNA
// form and a flag for a local part that only a server taking UTF-8 may get.
#include "mailaddress.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestMailAddress : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void envelope_data();
    void envelope();
};

void TestMailAddress::envelope_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<bool>("needsSmtpUtf8");

    QTest::newRow("nested comment, quoted pairs")
        << u"(a \\) <x@y> (\"b <z@y>) \\() hans@example.de"_s << "<hans@example.de>"_ba << false;
    QTest::newRow("quoted pair in the name")
        << u"\"Chef \\\" <boss@example.de>\" <hans@example.de>"_s << "<hans@example.de>"_ba
        << false;
    QTest::newRow("bare, domain beyond ASCII")
        << u"hans@EXÄMPLE.de (Büro)"_s << "<hans@xn--exmple-cua.de>"_ba << false;
    QTest::newRow("domain with no ASCII form")
        << u"<hans@exä mple.de>"_s << u"<hans@exä mple.de>"_s.toUtf8() << true;
    QTest::newRow("quoted local part")
        << u"\"hans m\"@example.de"_s << "<\"hans m\"@example.de>"_ba << false;

    // ASCII without quotes and comments goes as it always went (the session's envelope test
    // has the ordinary cases).
    QTest::newRow("brackets as typed")
        << u"x < hans@Example.DE > y"_s << "< hans@Example.DE >"_ba << false;
    QTest::newRow("unclosed bracket")
        << u"Hans <hans@example.de"_s << "<Hans <hans@example.de>"_ba << false;
    QTest::newRow("empty") << QString() << "<>"_ba << false;
    QTest::newRow("line break and NUL")
        << u"hans@example.de\r\nRSET\0"_s << "<hans@example.de RSET>"_ba << false;
}

void TestMailAddress::envelope() {
    QFETCH(QString, typed);
    QFETCH(QByteArray, address);
    QFETCH(bool, needsSmtpUtf8);

    const MailAddress::Envelope envelope = MailAddress::EnvelopeOf(typed);
    QCOMPARE(envelope.address, address);
    QCOMPARE(envelope.needsSmtpUtf8, needsSmtpUtf8);
}

QTEST_GUILESS_MAIN(TestMailAddress)
#include "tst_mailaddress.moc"
