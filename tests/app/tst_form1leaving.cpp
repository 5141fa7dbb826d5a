// Leaving the program in the middle of a tick, over and over: at every phase
// of a mail session, by the close box or by Exit, with notices open. Nothing
// may crash, hang or close twice.
#include "faultserver.h"
#include "form1.h"
#include "form1fixture.h"
#include "form2.h"
#include "monthcalendar.h"
#include "winsock.h"

#include "queuecolumn.h"
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class TestForm1Leaving : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void leaveAtEveryPhase() {
        const QStringList silentSteps = {u"greeting"_s, u"ehlo"_s, u"mail"_s, u"rcpt"_s,
                                         u"data"_s,     u"eod"_s,  u"quit"_s, QString()};
        QRandomGenerator random(20261207); // fixed: a failure can be replayed
        const QDateTime now(QDate(2026, 12, 7), QTime(12, 0, 5));
        constexpr int Rounds = 112;
        int endedRounds = 0;

        for (int round = 0; round < Rounds; ++round) {
            const QString silent = silentSteps[round % silentSteps.size()];
            const bool exitCommand = (round / silentSteps.size()) % 2 == 1;
            const int delayMs = int(random.bounded(0, 40));

            FaultServer server;
            QVERIFY(server.Listen());
            if (!silent.isEmpty())
                server.SetAnswer(silent, FaultServer::Silence());

            RecordingPrompts prompts; // answers OK
            Form1Services services;
            services.Now = [now] {
                return now;
            };
            services.prompts = &prompts;
            auto form = std::make_unique<Form1>(std::move(services));
            form->Timer1->setInterval(5); // the clock keeps running through the session
            form->Timer2->stop();
            form->Calendar1->SetValue(now.date());
            form->Combo1->setEditText(u"12"_s);
            form->Combo2->setEditText(u"00"_s);
            form->Text3->setText(u"127.0.0.1"_s);
            form->Winsock1->setPortOverride(server.Port());
            form->MailModule().ReplyTimeoutOverride = 5s;
            form->Option1->setChecked(true);
            form->Command2_Click(); // a notice first, then two mails
            form->Option2->setChecked(true);
            form->Command2_Click();
            form->Command2_Click();
            form->show();
            QSignalSpy ended(form.get(), &Form1::ProgramEnded);

            QTimer::singleShot(delayMs, form.get(), [&] {
                if (exitCommand)
                    form->Command4_Click();
                else
                    form->close();
            });
            QElapsedTimer clock;
            clock.start();
            form->Timer2_Timer();
            // A session that finished before the close came: the window closes at once.
            QTRY_VERIFY_WITH_TIMEOUT(form->Unloaded(), 5000);
            QTRY_VERIFY_WITH_TIMEOUT(!form->Ongoing, 5000);
            QVERIFY2(clock.elapsed() < 5000, qPrintable(u"round %1 hung"_s.arg(round)));
            QVERIFY(!form->Timer2->isActive());
            if (!exitCommand)
                form->CloseNotices();
            QTRY_COMPARE(ended.size(), 1);
            QVERIFY(form->Notices().isEmpty());
            form.reset(); // the window goes while its socket may still be open
            QTest::qWait(1);
            ++endedRounds;
        }
        QCOMPARE(endedRounds, Rounds);
    }
};

QTEST_MAIN(TestForm1Leaving)
#include "tst_form1leaving.moc"
