#include "notificationqueue.h"
#include "refusaltexts.h"
#include "storecheck.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace RefusalText;

using Box = StoreRefusal::Box;

static const QDate Day(2001, 3, 5);

Q_DECLARE_METATYPE(StoreRefusal::Box)
Q_DECLARE_METATYPE(EntryMode)

constexpr auto Mail = EntryMode::Mail;
constexpr auto PopUp = EntryMode::PopUp;

class TestStoreCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void refusals_data() {
        QTest::addColumn<EntryMode>("mode");
        QTest::addColumn<QString>("originator");
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("hour");
        QTest::addColumn<QString>("minute");
        QTest::addColumn<QString>("message");
        QTest::addColumn<Box>("box");
        QTest::addColumn<bool>("blank");

        QTest::newRow("mail: originator of blanks only")
            << Mail << u"   "_s << u"a@b"_s << u"s"_s << u"00"_s << u"01"_s << NoOriginator
            << Box::Originator << true;
        QTest::newRow("mail: both addresses empty, originator told first")
            << Mail << QString() << QString() << QString() << u"00"_s << u"01"_s << NoOriginator
            << Box::Originator << true;
        QTest::newRow("mail: recipient empty")
            << Mail << u"me@here"_s << u" "_s << u"s"_s << u"00"_s << u"01"_s << NoRecipient
            << Box::Recipient << true;
        QTest::newRow("mail: subject empty")
            << Mail << u"me@here"_s << u"you@there"_s << u"  "_s << u"00"_s << u"01"_s << NoSubject
            << Box::Subject << false;
        QTest::newRow("pop-up: subject needed too")
            << PopUp << QString() << QString() << QString() << u"00"_s << u"01"_s << NoSubject
            << Box::Subject << false;
        QTest::newRow("pop-up: hour 25") << PopUp << QString() << QString() << u"s"_s << u"25"_s
                                         << u"01"_s << BadHour << Box::Hour << false;
        QTest::newRow("pop-up: hour empty")
            << PopUp << QString() << QString() << u"s"_s << QString() << u"01"_s << BadHour
            << Box::Hour << false;
        QTest::newRow("pop-up: minute letters")
            << PopUp << QString() << QString() << u"s"_s << u"07"_s << u"ab"_s << BadMinute
            << Box::Minute << false;
        QTest::newRow("mail: address checks come before the time")
            << Mail << QString() << u"x"_s << u"s"_s << u"99"_s << u"99"_s << NoOriginator
            << Box::Originator << true;
    }
    void refusals() {
        QFETCH(EntryMode, mode);
        QFETCH(QString, originator);
        QFETCH(QString, recipient);
        QFETCH(QString, subject);
        QFETCH(QString, hour);
        QFETCH(QString, minute);
        QFETCH(QString, message);
        QFETCH(Box, box);
        QFETCH(bool, blank);
        const auto refusal =
            StoreCheck::Check({mode, originator, recipient, subject, Day, hour, minute, 0});
        QVERIFY(refusal);
        QCOMPARE(refusal->message, message);
        QCOMPARE(refusal->box, box);
        QCOMPARE(refusal->blankTheBox, blank);
    }

    // The date is checked after the subject and before the time: a date a due
    // text cannot carry is refused, with the focus on the calendar.
    void dates_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("message");
        QTest::newRow("first day of year 1") << QDate(1, 1, 1) << BadHour;
        QTest::newRow("last day of 9999") << QDate(9999, 12, 31) << BadHour;
        QTest::newRow("no date") << QDate() << BadDate;
        QTest::newRow("year -1") << QDate(-1, 12, 31) << BadDate;
        QTest::newRow("year -4714") << QDate(-4714, 11, 24) << BadDate;
        QTest::newRow("year 10000") << QDate(10000, 1, 1) << BadDate;
    }
    void dates() {
        QFETCH(QDate, date);
        QFETCH(QString, message);
        const auto refusal =
            StoreCheck::Check({PopUp, QString(), QString(), u"s"_s, date, u"24"_s, u"01"_s, 0});
        QVERIFY(refusal);
        QCOMPARE(refusal->message, message);
        QCOMPARE(refusal->box, message == BadDate ? Box::Calendar : Box::Hour);
        const auto noSubject =
            StoreCheck::Check({PopUp, QString(), QString(), QString(), date, u"24"_s, u"01"_s, 0});
        QVERIFY(noSubject && noSubject->message == NoSubject);
    }

    void acceptsWhatCanBeStored() {
        // Pop-up mode needs no addresses; typed "07" is a valid minute.
        QVERIFY(
            !StoreCheck::Check({PopUp, QString(), QString(), u" x "_s, Day, u"23"_s, u"07"_s, 0}));
        QVERIFY(!StoreCheck::Check(
            {Mail, u"a@b"_s, u"c@d"_s, u"Reminder."_s, Day, u"0"_s, u"59"_s, 5}));
        // A tab is not a blank for the "blank box" rule: only spaces are trimmed.
        QVERIFY(
            !StoreCheck::Check({PopUp, QString(), QString(), u"\t"_s, Day, u"00"_s, u"01"_s, 0}));
    }

    void queueHoldsAtMost32767() {
        const StoreInput almost{PopUp, QString(), QString(), u"s"_s,
                                Day,   u"00"_s,   u"01"_s,   NotificationQueue::MaxEntries - 1};
        QVERIFY(!StoreCheck::Check(almost));
        StoreInput full = almost;
        full.queueCount = NotificationQueue::MaxEntries;
        const auto refusal = StoreCheck::Check(full);
        QVERIFY(refusal);
        QCOMPARE(refusal->message, QueueFull);
    }
};

QTEST_GUILESS_MAIN(TestStoreCheck)
#include "tst_storecheck.moc"
