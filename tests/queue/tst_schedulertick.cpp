#include "duetime.h"
#include "notificationqueue.h"
#include "schedulertick.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// Records what a tick asks of the window.
class FakeWindow : public TickWindow {
public:
    explicit FakeWindow(NotificationQueue &queue)
        : queue(queue) {}
    DeliveryOutcome ShowNotice(const QString &text) override {
        if (noticeThrows)
            throw std::runtime_error("notice failed");
        notices << text;
        return {true, DeliveryOutcome::Reason::None, {}};
    }
    void DispatchMail(int k, Delivered done) override {
        mailed << k;
        if (mailThrows)
            throw std::runtime_error("mail path failed");
        if (leaveDuringMail)
            leaving = true;
        pending = std::move(done);
    }
    bool Leaving() const override { return leaving; }

    NotificationQueue &queue;
    Delivered pending; // the mail under way, answered by the test
    QStringList notices;
    QList<int> mailed;
    bool serverAccepts = true;
    bool mailThrows = false;
    bool noticeThrows = false;
    bool leaveDuringMail = false;
    bool leaving = false;
};

QDateTime at(int hour, int minute, int second) {
    return QDateTime(QDate(2026, 12, 7), QTime(hour, minute, second));
}

QueueEntry entry(const QString &due, EntryMode mode, const QString &message = u" hi"_s) {
    return {*DueTime::Read(due), message, EntryStatus::Waiting,
            u"to@example.org"_s, mode,    u"subject"_s};
}

// What a mail session ends in, as far as the tick reads it.
DeliveryOutcome Outcome(bool delivered) {
    if (delivered)
        return {true, DeliveryOutcome::Reason::None, {}};
    return {false, DeliveryOutcome::Reason::Refused, u"12-07-2026 07:40:05 Mail not delivered"_s};
}

constexpr auto OK = EntryStatus::Delivered;
constexpr auto WT = EntryStatus::Retry;
constexpr auto Waiting = EntryStatus::Waiting;

} // namespace

class TestSchedulerTick : public QObject {
    Q_OBJECT

    struct Setup {
        NotificationQueue queue;
        FakeWindow window{queue};
        QDateTime now = at(7, 40, 5);
        int clockReads = 0;
        SchedulerTick tick{queue, window, [this] {
                               ++clockReads;
                               return now;
                           }};
        // A whole pass, every mail answered as the server would.
        void Tick() {
            QSignalSpy finished(&tick, &SchedulerTick::Finished);
            tick.Start();
            while (window.pending)
                std::exchange(window.pending, {})(Outcome(window.serverAccepts));
            QCOMPARE(finished.size(), 1);
            QVERIFY(!tick.Running());
        }
    };

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void dueAtTheMinuteBoundary_data() {
        QTest::addColumn<QString>("due");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("delivered");
        QTest::newRow("07:40 at 07:40:05") << u"2026/12/7 07:40"_s << at(7, 40, 5) << true;
        QTest::newRow("07:41 at 07:40:59") << u"2026/12/7 07:41"_s << at(7, 40, 59) << false;
        QTest::newRow("07:41 at 07:41:00") << u"2026/12/7 07:41"_s << at(7, 41, 0) << true;
        QTest::newRow("long past") << u"2001/3/5 07:40"_s << at(7, 40, 5) << true;
        QTest::newRow("tomorrow") << u"2026/12/8 07:40"_s << at(7, 40, 5) << false;
    }
    void dueAtTheMinuteBoundary() {
        QFETCH(QString, due);
        QFETCH(QDateTime, now);
        QFETCH(bool, delivered);
        Setup s;
        s.now = now;
        s.queue.Append(entry(due, EntryMode::PopUp));
        s.Tick();
        QCOMPARE(s.window.notices.size(), delivered ? 1 : 0);
        QCOMPARE(s.queue.Status(0), delivered ? OK : Waiting);
    }

    void popUpTextHasTwoLines() {
        Setup s;
        s.queue.Append(entry(u"2001/3/5 07:40"_s, EntryMode::PopUp, u" Call the dentist"_s));
        s.Tick();
        QCOMPARE(s.window.notices, QStringList{u" 05Mar2001 07:40\r\n Call the dentist"_s});
    }

    void deliversInPositionOrderAndReadsTheClockPerEntry() {
        Setup s;
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::PopUp, u" first"_s));
        s.queue.Append(entry(u"2026/12/7 09:00"_s, EntryMode::PopUp, u" not yet"_s));
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::PopUp, u" second"_s));
        s.Tick();
        QCOMPARE(s.window.notices.size(), 2);
        QVERIFY(s.window.notices[0].endsWith(u" first"_s));
        QVERIFY(s.window.notices[1].endsWith(u" second"_s));
        QCOMPARE(s.clockReads, 3);
    }

    void deliveredEntriesAreNeverDeliveredAgain() {
        Setup s;
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::PopUp));
        s.Tick();
        s.now = at(8, 0, 0);
        s.Tick();
        s.Tick();
        QCOMPARE(s.window.notices.size(), 1);
        QCOMPARE(s.queue.Status(0), OK);
    }

    void failedMailIsRetriedUntilAccepted() {
        Setup s;
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail));
        s.window.serverAccepts = false;
        s.Tick();
        QCOMPARE(s.queue.Status(0), WT);
        s.Tick();
        QCOMPARE(s.queue.Status(0), WT);
        s.window.serverAccepts = true;
        s.Tick();
        QCOMPARE(s.queue.Status(0), OK);
        s.Tick();
        QCOMPARE(s.window.mailed, (QList<int>{0, 0, 0}));
    }

    // Every delivery starts from "not delivered": a pop-up's success must not
    // leak into the next mail entry's status.
    void mailFlagIsClearedBeforeEachDelivery() {
        Setup s;
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::PopUp));
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail));
        s.window.mailThrows = true; // leaves the flag untouched
        s.Tick();
        QCOMPARE(s.queue.Status(0), OK);
        QCOMPARE(s.queue.Status(1), WT);
    }

    void failuresInsideATickDoNotStopIt() {
        Setup s;
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail));
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::PopUp));
        s.window.mailThrows = true;
        s.Tick();
        QCOMPARE(s.queue.Status(0), WT); // the mail path threw
        QCOMPARE(s.queue.Status(1), OK); // the tick went on

        Setup t;
        t.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::PopUp));
        t.window.noticeThrows = true;
        t.Tick();
        QCOMPARE(t.queue.Status(0), WT);
        const QModelIndex status = t.queue.index(0, NotificationQueue::StatusColumn);
        QCOMPARE(status.data(Qt::ToolTipRole).toString(), u"notice failed"_s); // why it waits
    }

    // The pass waits for a mail's end before it looks at the next entry, and
    // an answer that comes twice counts once.
    void passGoesOnWhenTheMailHasEnded() {
        Setup s;
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail));
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::PopUp));
        QSignalSpy finished(&s.tick, &SchedulerTick::Finished);
        s.tick.Start();
        s.tick.Start(); // a second start while one runs changes nothing
        QVERIFY(s.tick.Running());
        QCOMPARE(s.window.mailed, QList<int>{0});
        QVERIFY(s.window.notices.isEmpty());
        QCOMPARE(s.queue.Status(0), Waiting);

        const TickWindow::Delivered done = std::exchange(s.window.pending, {});
        done(Outcome(false));
        QCOMPARE(s.queue.Status(0), WT);
        QCOMPARE(s.window.notices.size(), 1);
        QCOMPARE(finished.size(), 1);
        done(Outcome(true));
        QCOMPARE(s.queue.Status(0), WT);
        QCOMPARE(finished.size(), 1);
    }

    // There is no bound on the positions that get a notice.
    void popUpsBeyondThePosition30() {
        Setup s;
        for (int k = 0; k < 40; ++k)
            s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::PopUp));
        s.Tick();
        QCOMPARE(s.window.notices.size(), 40);
        QCOMPARE(s.queue.Status(39), OK);
    }

    void leavingStopsTheTickAfterTheCurrentEntry() {
        Setup s;
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail));
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail));
        s.window.leaveDuringMail = true;
        s.Tick();
        QCOMPARE(s.window.mailed, QList<int>{0});
        QCOMPARE(s.queue.Status(1), Waiting);
    }

    // The clock comes from real instants, read as local time in the zone the
    // test runs in (TZ=Europe/Berlin, set by the build).
    void daylightSavingChangeovers() {
        QCOMPARE(qgetenv("TZ"), QByteArray("Europe/Berlin"));
        const auto instant = [](const char *utc) {
            return QDateTime::fromString(QLatin1String(utc), Qt::ISODate).toLocalTime();
        };
        // Spring: 02:00 CET jumps to 03:00 CEST, so 02:30 never shows on the clock.
        Setup spring;
        spring.queue.Append(entry(u"2027/3/28 02:30"_s, EntryMode::PopUp));
        spring.now = instant("2027-03-28T00:59:55Z"); // 01:59:55 CET
        QCOMPARE(spring.now.time(), QTime(1, 59, 55));
        spring.Tick();
        QCOMPARE(spring.queue.Status(0), Waiting);
        spring.now = instant("2027-03-28T01:00:05Z"); // 03:00:05 CEST
        QCOMPARE(spring.now.time(), QTime(3, 0, 5));
        spring.Tick();
        QCOMPARE(spring.queue.Status(0), OK);
        QCOMPARE(spring.window.notices.size(), 1);

        // Autumn: 03:00 CEST falls back to 02:00 CET, so 02:30 comes twice.
        Setup autumn;
        autumn.queue.Append(entry(u"2027/10/31 02:30"_s, EntryMode::PopUp));
        for (const char *utc :
             {"2027-10-31T00:29:55Z", "2027-10-31T00:30:05Z", "2027-10-31T00:50:00Z",
              "2027-10-31T01:30:05Z", "2027-10-31T01:45:00Z"}) {
            autumn.now = instant(utc);
            autumn.Tick();
        }
        QCOMPARE(autumn.window.notices.size(), 1);
        QCOMPARE(autumn.queue.Status(0), OK);
    }

    void emptyQueueDeliversNothing() {
        Setup s;
        s.Tick();
        QCOMPARE(s.clockReads, 0);
    }
};

QTEST_GUILESS_MAIN(TestSchedulerTick)
#include "tst_schedulertick.moc"
