#include "duetime.h"
#include "mailsender.h"
#include "notificationqueue.h"
#include "schedulertick.h"

#include <QTest>

#include <deque>
#include <functional>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// Records the notices a tick opens.
class FakeWindow : public TickWindow {
public:
    DeliveryOutcome ShowNotice(const QString &text) override {
        if (noticeThrows)
            throw std::runtime_error("notice failed");
        notices << text;
        return DeliveryOutcome::Delivered();
    }
    bool Leaving() const override { return leaving; }

    QStringList notices;
    bool noticeThrows = false;
    bool leaving = false;
};

QDateTime at(int hour, int minute, int second) {
    return QDateTime(QDate(2026, 12, 7), QTime(hour, minute, second));
}

QueueEntry entry(const QString &due, EntryMode mode, const QString &message = u" hi"_s) {
    return {*DueTime::Read(due), message, EntryStatus::NeverTried,
            u"to@example.org"_s, mode,    u"subject"_s};
}

// What a mail session ends in, as far as the tick reads it.
DeliveryOutcome Outcome(bool delivered) {
    if (delivered)
        return DeliveryOutcome::Delivered();
    return {false, DeliveryOutcome::Reason::Refused, u"12-07-2026 07:40:05 Mail not delivered"_s};
}

constexpr auto OK = EntryStatus::Delivered;
constexpr auto WT = EntryStatus::TriedAndFailed;
constexpr auto NeverTried = EntryStatus::NeverTried;

} // namespace

class TestSchedulerTick : public QObject {
    Q_OBJECT

    // A tick with the real mail sender, whose sessions are the test's to answer.
    struct Setup {
        NotificationQueue queue;
        FakeWindow window;
        QDateTime now = at(7, 40, 5);
        int clockReads = 0;
        std::deque<MailSender::Done> sessions; // started and not yet answered, oldest first
        QStringList mailed;                    // each session's message, in the order started
        bool dispatchThrows = false;
        MailSender sender{[this](const MailJob &mail, MailSender::Done done) {
                              mailed << mail.message;
                              if (dispatchThrows)
                                  throw std::runtime_error("mail path failed");
                              sessions.push_back(std::move(done));
                          },
                          [this] {
                              return now;
                          }};
        SchedulerTick tick{queue, window, sender, [this] {
                               ++clockReads;
                               return now;
                           }};
        // Ends the oldest session as the server would.
        void Answer(bool accepted) {
            QVERIFY(!sessions.empty());
            MailSender::Done done = std::move(sessions.front());
            sessions.pop_front();
            done(Outcome(accepted));
        }
        // A tick, then every mail answered.
        void Tick(bool serverAccepts = true) {
            tick.Run();
            while (!sessions.empty())
                Answer(serverAccepts);
            QVERIFY(sender.Idle());
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
        QCOMPARE(s.queue.Status(0), delivered ? OK : NeverTried);
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

    // A failure inside a tick ends that entry as a retry, in the shape every failure has, and
    // the tick goes on, the sender to the next mail.
    void failuresInsideATickDoNotStopIt() {
        Setup s;
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail));
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::PopUp));
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail));
        s.dispatchThrows = s.window.noticeThrows = true;
        s.Tick();
        const auto why = [&](int k) {
            return s.queue.index(k, NotificationQueue::StatusColumn).data(Qt::ToolTipRole);
        };
        QCOMPARE(why(0).toString(), u"12-07-2026 07:40:05 mail path failed"_s);
        QCOMPARE(why(1).toString(), u"12-07-2026 07:40:05 notice failed"_s);
        QCOMPARE(s.queue.Status(2), WT);
    }

    // No mail holds up a reminder: a pop-up behind a mail whose server never answers is shown
    // at its tick; mails go out one at a time, in order; a mail on its way is not handed over
    // again, and a refused one is retried at the first tick after its attempt has ended.
    void popUpBehindASilentMailIsShownAtItsTick() {
        Setup s;
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail, u" first"_s));
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail, u" second"_s));
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::PopUp, u" note"_s));
        s.tick.Run();
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::PopUp, u" later"_s));
        s.tick.Run(); // the first mail still waits for its server
        QCOMPARE(s.window.notices.size(), 2);
        QCOMPARE(s.mailed, QStringList{u" first"_s});
        QCOMPARE(s.queue.Status(0), NeverTried);

        MailSender::Done first = std::move(s.sessions.front());
        s.sessions.pop_front();
        first(Outcome(false));
        first(Outcome(true)); // an answer that comes twice counts once
        QCOMPARE(s.queue.Status(0), WT);
        QCOMPARE(s.sender.Sending(), s.queue.Key(1));
        s.Answer(true);
        s.Tick(true);
        s.Tick();
        QCOMPARE(s.mailed, (QStringList{u" first"_s, u" second"_s, u" first"_s}));
        QCOMPARE(s.queue.Status(0), OK);
    }

    // Each outcome reaches its own entry, wherever removals have moved it; a mail not yet
    // started goes with its row.
    void outcomeFindsItsRowAfterRemovals() {
        Setup s;
        s.queue.Append(entry(u"2026/12/7 09:00"_s, EntryMode::PopUp)); // not yet due
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail, u" a"_s));
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail, u" b"_s));
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail, u" c"_s));
        s.tick.Run();
        s.queue.Remove(0); // a, in flight, moves to 0
        s.queue.Remove(1); // b, not started, goes
        s.Answer(false);
        s.queue.Remove(0); // c, now in flight, moves to 0
        s.Answer(true);
        QCOMPARE(s.queue.Count(), 1);
        QCOMPARE(s.queue.Status(0), OK);
        QCOMPARE(s.mailed, (QStringList{u" a"_s, u" c"_s}));
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

    void leavingDeliversNothing() {
        Setup s;
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::Mail));
        s.queue.Append(entry(u"2026/12/7 07:40"_s, EntryMode::PopUp));
        s.window.leaving = true;
        s.Tick();
        QVERIFY(s.mailed.isEmpty());
        QVERIFY(s.window.notices.isEmpty());
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
        QCOMPARE(spring.queue.Status(0), NeverTried);
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
