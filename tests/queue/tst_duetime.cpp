#include "duetime.h"

#include <QDateTime>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

class TestDueTime : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void composeAndDisplay_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("hour");
        QTest::addColumn<QString>("minute");
        QTest::addColumn<QString>("dueText");
        QTest::addColumn<QString>("displayLine");
        QTest::newRow("single-digit month and day") << QDate(2001, 3, 5) << u"07"_s << u"40"_s
                                                    << u"2001/3/5 07:40"_s << u"05Mar2001 07:40"_s;
        QTest::newRow("two-digit month and day") << QDate(2026, 12, 31) << u"23"_s << u"59"_s
                                                 << u"2026/12/31 23:59"_s << u"31Dec2026 23:59"_s;
        QTest::newRow("typed one-digit time")
            << QDate(2027, 1, 9) << u"7"_s << u"5"_s << u"2027/1/9 07:05"_s << u"09Jan2027 07:05"_s;
        QTest::newRow("midnight, leap day") << QDate(2028, 2, 29) << u"00"_s << u"01"_s
                                            << u"2028/2/29 00:01"_s << u"29Feb2028 00:01"_s;
    }
    void composeAndDisplay() {
        QFETCH(QDate, date);
        QFETCH(QString, hour);
        QFETCH(QString, minute);
        QFETCH(QString, dueText);
        QFETCH(QString, displayLine);
        const auto due = DueTime::Compose(date, hour, minute);
        QVERIFY(due);
        QCOMPARE(DueTime::Text(*due), dueText);
        QCOMPARE(DueTime::Read(dueText), due);
        QCOMPARE(due->date, date);
        QCOMPARE(DueTime::DisplayLine(*due), displayLine);
    }

    void displayFollowsLocale() {
        const auto due = DueTime::Read(QStringLiteral("2001/3/5 07:40"));
        QVERIFY(due);
        const QString german =
            DueTime::DisplayLine(*due, QLocale(QLocale::German, QLocale::Germany));
        QVERIFY2(german.startsWith(QStringLiteral("05M")) && german.contains(QStringLiteral("rz")),
                 qPrintable(german));
        QCOMPARE(DueTime::ChosenDateText(QDate(2001, 3, 5)), QStringLiteral("05, Mar, 2001"));
        QCOMPARE(DueTime::ChosenDateText(QDate(2026, 12, 6)), QStringLiteral("06, Dec, 2026"));
    }

    void readAcceptsBlanksAroundAndRefusesNonsense_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("readable");
        QTest::newRow("blanks around") << u"  2001/3/5 07:40  "_s << true;
        QTest::newRow("hour 24") << u"2001/3/5 24:00"_s << false;
        QTest::newRow("minute 60") << u"2001/3/5 07:60"_s << false;
        QTest::newRow("letters") << u"2001/3/5 ab:cd"_s << false;
        QTest::newRow("empty time") << u"2001/3/5 :"_s << false;
        QTest::newRow("30 February") << u"2001/2/30 07:40"_s << false;
        QTest::newRow("day-first order is not read as such") << u"5/3/2001 07:40"_s << false;
        QTest::newRow("no time") << u"2001/3/5"_s << false;
        QTest::newRow("empty") << u""_s << false;
        QTest::newRow("three-digit hour") << u"2001/3/5 007:40"_s << false;
    }
    void readAcceptsBlanksAroundAndRefusesNonsense() {
        QFETCH(QString, text);
        QFETCH(bool, readable);
        QCOMPARE(DueTime::Read(text).has_value(), readable);
    }

    void validTimeBoxes_data() {
        QTest::addColumn<QString>("hour");
        QTest::addColumn<bool>("hourOk");
        QTest::addColumn<QString>("minute");
        QTest::addColumn<bool>("minuteOk");
        QTest::newRow("list values") << u"00"_s << true << u"01"_s << true;
        QTest::newRow("typed 07") << u"23"_s << true << u"07"_s << true;
        QTest::newRow("one digit") << u"9"_s << true << u"5"_s << true;
        QTest::newRow("out of range") << u"24"_s << false << u"60"_s << false;
        QTest::newRow("letters") << u"ab"_s << false << u"x1"_s << false;
        QTest::newRow("empty") << u""_s << false << u""_s << false;
        QTest::newRow("blank padded") << u" 7"_s << false << u"5 "_s << false;
        QTest::newRow("sign") << u"-1"_s << false << u"+5"_s << false;
        QTest::newRow("non-ASCII digits") << QStringLiteral("\u0667") << false << u"١٢"_s << false;
    }
    void validTimeBoxes() {
        QFETCH(QString, hour);
        QFETCH(bool, hourOk);
        QFETCH(QString, minute);
        QFETCH(bool, minuteOk);
        QCOMPARE(DueTime::ValidHour(hour), hourOk);
        QCOMPARE(DueTime::ValidMinute(minute), minuteOk);
    }

    void minuteDifferenceCountsBoundaries_data() {
        QTest::addColumn<QString>("due");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<qint64>("difference");
        QTest::newRow("5 s into the due minute")
            << u"2026/12/7 07:40"_s << QDateTime(QDate(2026, 12, 7), QTime(7, 40, 5)) << qint64(0);
        QTest::newRow("1 s before the due minute")
            << u"2026/12/7 07:41"_s << QDateTime(QDate(2026, 12, 7), QTime(7, 40, 59)) << qint64(1);
        QTest::newRow("past") << u"2026/12/7 07:40"_s
                              << QDateTime(QDate(2026, 12, 7), QTime(9, 0, 0)) << qint64(-80);
        QTest::newRow("across midnight")
            << u"2026/12/8 00:00"_s << QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59))
            << qint64(1);
        QTest::newRow("across a year")
            << u"2027/1/1 00:05"_s << QDateTime(QDate(2026, 12, 31), QTime(23, 55, 0))
            << qint64(10);
    }
    void minuteDifferenceCountsBoundaries() {
        QFETCH(QString, due);
        QFETCH(QDateTime, now);
        QFETCH(qint64, difference);
        QCOMPARE(DueTime::MinuteDifference(*DueTime::Read(due), now), difference);
    }

    // Wall-clock minutes make the skipped spring hour and the repeated autumn
    // hour behave: a due time in the gap is due at the first tick after it.
    void daylightSavingChangeovers() {
        const QTimeZone berlin("Europe/Berlin");
        QVERIFY(berlin.isValid());
        // 2027-03-28: 02:00 CET jumps to 03:00 CEST; 02:30 never shows on the clock.
        const auto gap = DueTime::Read(QStringLiteral("2027/3/28 02:30"));
        const QDateTime before = QDateTime(QDate(2027, 3, 28), QTime(1, 59, 55), berlin);
        const QDateTime after = before.addSecs(10); // 03:00:05 local
        QCOMPARE(after.time().hour(), 3);
        QVERIFY(DueTime::MinuteDifference(*gap, before) >= 1);
        QVERIFY(DueTime::MinuteDifference(*gap, after) < 1);

        // 2027-10-31: 03:00 CEST falls back to 02:00 CET; 02:30 happens twice.
        const auto repeated = DueTime::Read(QStringLiteral("2027/10/31 02:30"));
        const QDateTime first =
            QDateTime(QDate(2027, 10, 31), QTime(0, 30, 0), QTimeZone::utc()).toTimeZone(berlin);
        QCOMPARE(first.time(), QTime(2, 30, 0));
        const QDateTime second = first.addSecs(3600);
        QCOMPARE(second.time(), QTime(2, 30, 0));
        QCOMPARE(DueTime::MinuteDifference(*repeated, first.addSecs(-60)), qint64(1));
        QCOMPARE(DueTime::MinuteDifference(*repeated, first), qint64(0));
        QCOMPARE(DueTime::MinuteDifference(*repeated, second), qint64(0));
    }
};

QTEST_GUILESS_MAIN(TestDueTime)
#include "tst_duetime.moc"
