// The scheduler tick and mail dispatch through the real main window, with a
// pinned clock and a scripted SMTP server on loopback.
#include "faultserver.h"
#include "form1.h"
#include "form1fixture.h"
#include "form2.h"
#include "monthcalendar.h"
#include "winsock.h"

#include "queuecolumn.h"

#include <QAccessible>
#include <QCalendarWidget>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include <chrono>
#include <functional>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QDateTime Noon(QDate(2026, 12, 7), QTime(12, 0, 5));

struct Window {
    RecordingPrompts prompts; // answers OK
    QDateTime now = Noon;
    std::unique_ptr<Form1> form;
    FaultServer server;

    explicit Window(Prompts *boxes = nullptr) {
        Form1Services services;
        services.Now = [this] {
            return now;
        };
        services.prompts = boxes ? boxes : &prompts;
        form = std::make_unique<Form1>(std::move(services));
        form->Timer1->stop();
        form->Timer2->stop();
        form->Timer3->stop();
        form->Calendar1->SetValue(now.date());
        form->Combo1->setEditText(u"12"_s);
        form->Combo2->setEditText(u"00"_s);
        form->Text3->setText(u"127.0.0.1"_s);
        form->Text7->setText(u"me@example.org"_s);
        form->Text4->setText(u"you@example.org"_s);
        form->MailModule().ReplyTimeoutOverride = 3s;
        if (server.Listen())
            form->Winsock1->setPortOverride(server.Port());
        form->show();
    }

    void Store(bool email, const QString &message) {
        (email ? form->Option2 : form->Option1)->setChecked(true);
        form->Text2->setPlainText(message);
        form->Command2_Click();
    }

    // One tick, and every mail it handed over sent.
    void Tick() {
        form->Timer2_Timer();
        QVERIFY(!form->Ongoing); // the tick never waits for a mail
        QTRY_VERIFY_WITH_TIMEOUT(form->Mail().Idle(), 20000);
    }

    // Runs `during` once the tick's mail session is waiting.
    void TickWith(std::function<void()> during, int afterMs = 300) {
        QTimer::singleShot(afterMs, form.get(), during);
        Tick();
    }
};

// What the status cell of row k says beyond its code: its tooltip, and what a screen reader
// reads as its description.
QStringList WhyItWaits(Form1 &form, int k) {
    const QModelIndex cell = form.Queue().index(k, NotificationQueue::StatusColumn);
    QAccessibleInterface *row = QAccessible::queryAccessibleInterface(form.List3)->child(k);
    return {cell.data(Qt::ToolTipRole).toString(), row->text(QAccessible::Description)};
}

} // namespace

class TestForm1Tick : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void emptyQueueStillCyclesTheControls() {
        Window w;
        w.form->Command1->setEnabled(true);
        w.Tick();
        QVERIFY(w.form->Command2->isEnabled());
        QVERIFY(!w.form->Command1->isEnabled());
        QVERIFY(w.form->Timer2->isActive());
        QCOMPARE(w.form->Timer2->interval(), 10000);
        QVERIFY(!w.form->Ongoing);
    }

    void popUpsOpenNoticesInPositionOrder() {
        Window w;
        w.form->showMinimized();
        w.Store(false, u"first"_s);
        w.Store(false, u"second\nline two"_s);
        w.form->Combo1->setEditText(u"13"_s); // not yet due
        w.Store(false, u"later"_s);
        w.Tick();

        const QList<Form2 *> notices = w.form->Notices();
        QCOMPARE(notices.size(), 2);
        QCOMPARE(notices[0]->Text1->toPlainText(), u" 07Dec2026 12:00\n first"_s);
        QCOMPARE(notices[1]->Text1->toPlainText(), u" 07Dec2026 12:00\n second\nline two"_s);
        QVERIFY(!notices[0]->Text1->isEnabled());
        QVERIFY(!(w.form->windowState() & Qt::WindowMinimized));
        QCOMPARE(Ui::Items(w.form->List3).value(0), u"OK"_s);
        QCOMPARE(Ui::Items(w.form->List3).value(1), u"OK"_s);
        QCOMPARE(Ui::Items(w.form->List3).value(2), u"##"_s);

        // Delivered entries stay delivered.
        w.Tick();
        QCOMPARE(w.form->Notices().size(), 2);
    }

    void refusedMailIsRetriedUntilAccepted() {
        Window w;
        w.server.SetAnswer(u"rcpt"_s, FaultServer::Say("550 5.1.1 no such user\r\n"));
        w.Store(true, u"pay the rent"_s);
        w.Tick();
        QCOMPARE(Ui::Items(w.form->List3).value(0), u"WT"_s);
        QVERIFY(w.form->Label2->text().contains(u" Mail not delivered: 550 5.1.1 no such user"_s));

        w.Tick();
        QCOMPARE(Ui::Items(w.form->List3).value(0), u"WT"_s);

        w.server.SetAnswer(u"rcpt"_s, FaultServer::Say("250 2.1.5 OK\r\n"));
        w.Tick();
        QCOMPARE(Ui::Items(w.form->List3).value(0), u"OK"_s);
        QCOMPARE(WhyItWaits(*w.form, 0), (QStringList{QString(), QString()})); // nothing waits
        QVERIFY(w.form->Label2->text().endsWith(u" Msgs Sent: 1"_s));
        QCOMPARE(w.server.Connections(), 3);

        w.Tick(); // "OK" is final: no fourth session
        QCOMPARE(w.server.Connections(), 3);
    }

    // A waiting row says why on its status cell, to the pointer and to a screen reader: the
    // time of the attempt and what went wrong, in the result line's words. Others say nothing.
    void waitingRowSaysWhy_data() {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<QByteArray>("rcptReply"); // empty: accepted
        QTest::addColumn<QString>("why");
        QTest::newRow("refused")
            << true << QByteArray("550 5.1.1 <you@example.org>: Recipient address rejected\r\n")
            << u"12-07-2026 12:00:05 Mail not delivered: 550 5.1.1 <you@example.org>: Recipient "
               u"address rejected"_s;
        QTest::newRow("no server")
            << false << QByteArray() << u"12-07-2026 12:00:05 Connection refused"_s;
        QTest::newRow("delivered") << true << QByteArray() << QString();
    }
    void waitingRowSaysWhy() {
        QFETCH(bool, listening);
        QFETCH(QByteArray, rcptReply);
        QFETCH(QString, why);
        Window w;
        if (!rcptReply.isEmpty())
            w.server.SetAnswer(u"rcpt"_s, FaultServer::Say(rcptReply));
        if (!listening)
            w.form->Winsock1->setPortOverride(FaultServer::ClosedPort());
        w.Store(true, u"pay the rent"_s);
        w.Store(false, u"a notice"_s);
        w.Tick();
        QCOMPARE(Ui::Items(w.form->List3),
                 (QStringList{why.isEmpty() ? u"OK"_s : u"WT"_s, u"OK"_s}));
        QCOMPARE(WhyItWaits(*w.form, 0), (QStringList{why, why}));
        QCOMPARE(WhyItWaits(*w.form, 1), (QStringList{QString(), QString()}));
        if (!why.isEmpty())
            QCOMPARE(w.form->Label2->text(), why);
    }

    // A mail the server accepted is not sent again, however "quit" went.
    void acceptedMailIsNotSentAgain() {
        Window w;
        w.form->MailModule().ReplyTimeoutOverride = 300ms;
        w.server.SetAnswer(u"quit"_s, FaultServer::Silence());
        w.Store(true, u"pay the rent"_s);
        w.Tick();
        QCOMPARE(w.form->Queue().Status(0), EntryStatus::Delivered);
        QVERIFY(w.form->Label2->text().endsWith(u" Msgs Sent: 1"_s));
        QVERIFY(w.form->Text1->toPlainText().contains(u" Server did not answer quit."_s));
        w.Tick();
        QCOMPARE(w.server.Connections(), 1);
    }

    // What a screen reader finds: the calendar's page arrows by name, each
    // lamp's state in words, and a notice as a dialog named after the program
    // and its due time.
    void screenReaderFindsNamesAndStates() {
        Window w;
        const auto face = [](QObject *object) {
            return QAccessible::queryAccessibleInterface(object);
        };
        const auto arrow = [&](const char *name) {
            auto *button =
                w.form->Calendar1->calendarWidget()->findChild<QToolButton *>(QLatin1String(name));
            return button ? face(button)->text(QAccessible::Name) : QString();
        };
        const auto lamp = [&](int k) {
            return face(w.form->Label8[k])->text(QAccessible::Description);
        };
        QCOMPARE(arrow("qt_calendar_prevmonth"), u"Previous month"_s);
        QCOMPARE(arrow("qt_calendar_nextmonth"), u"Next month"_s);
        QCOMPARE(lamp(8), u"not lit yet"_s);

        w.Store(true, u"mail"_s);
        w.Store(false, u"note"_s);
        w.Tick();
        QCOMPARE(lamp(8), u"bright green: mail delivered"_s);
        QCOMPARE(lamp(0), u"grey: idle"_s);
        QCOMPARE(w.form->Notices().size(), 1);
        QAccessibleInterface *notice = face(w.form->Notices().first());
        QCOMPARE(notice->role(), QAccessible::AlertMessage);
        QCOMPARE(notice->text(QAccessible::Name), u"Tallowick: 07Dec2026 12:00"_s);
    }

    // A server's reply and what the user typed are text, whatever they look
    // like: shown as written, and painting them reads no file.
    void outsideTextIsShownAsItIs() {
        QTemporaryDir dir;
        const QString picture = dir.filePath(u"red.png"_s);
        QImage red(40, 12, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(picture));
        const QString markup = u"<img src=\"%1\"> <b>bold</b>"_s.arg(picture);
        const auto shown = [](QWidget *widget, int child = -1) {
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
            if (face && child >= 0)
                face = face->child(child);
            return face ? face->text(QAccessible::Name) : QString();
        };
        const auto hasRed = [](QWidget *widget) {
            const QImage image = widget->grab().toImage();
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y) == QColor(Qt::red))
                        return true;
            return false;
        };

        Window w;
        w.server.SetAnswer(u"rcpt"_s, FaultServer::Say("550 " + markup.toUtf8() + "\r\n"));
        w.form->Text5->setText(u"<b>subject</b>"_s);
        w.form->Text4->setText(u"<i>you</i>@example.org"_s);
        w.Store(true, markup);
        w.Store(false, markup);
        w.Tick();

        QCOMPARE(Ui::Items(w.form->List3).value(0), u"WT"_s);
        const QString line = shown(w.form->Label2);
        QVERIFY2(line.contains(u" Mail not delivered: 550 "_s + markup), qPrintable(line));
        QVERIFY(!hasRed(w.form->Label2));
        for (int k = 0; k < 2; ++k) {
            QCOMPARE(shown(w.form->List7, k), u"<b>subject</b>"_s);
            QCOMPARE(shown(w.form->List4, k), u"<i>you</i>@example.org"_s);
            QCOMPARE(shown(w.form->List2, k), u" "_s + markup);
        }
        const QList<Form2 *> notices = w.form->Notices();
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices[0]->Text1->toPlainText(), u" 07Dec2026 12:00\n "_s + markup);
        QVERIFY(!hasRed(notices[0]));
        // No label of the window takes its text for markup.
        for (QLabel *label : w.form->findChildren<QLabel *>())
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
        // The waiting row's tooltip repeats the refusal, as written.
        QWidget *statusCells = w.form->List3->viewport();
        const QPoint cell =
            w.form->List3->visualRect(w.form->Queue().index(0, NotificationQueue::StatusColumn))
                .center();
        QHelpEvent help(QEvent::ToolTip, cell, statusCells->mapToGlobal(cell));
        QApplication::sendEvent(statusCells, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY2(QToolTip::text().contains(u"Mail not delivered: 550 &lt;img src="_s),
                 qPrintable(QToolTip::text()));
        auto *tip = statusCells->findChild<QLabel *>(u"qtooltip_label"_s);
        QVERIFY(tip != nullptr && !hasRed(tip));
    }

    // The server and the originator are read when the mail goes out, not when
    // the entry was stored.
    void dispatchUsesTheBoxesAsTheyStandThen() {
        Window w;
        w.form->Text3->setText(u"stored.invalid"_s);
        w.Store(true, u"body"_s);
        w.form->Text3->setText(u"127.0.0.1"_s);
        w.form->Text7->setText(u"later@example.org"_s);
        w.form->Text1->setPlainText(u"left over from an earlier session"_s);
        w.Tick();

        QCOMPARE(Ui::Items(w.form->List3).value(0), u"OK"_s);
        QVERIFY(w.server.Commands().contains(u"mail from:<later@example.org>"_s));
        QVERIFY(w.server.Message().contains("From: later@example.org\r\n"));
        const QString events = w.form->Text1->toPlainText();
        QVERIFY2(events.contains(u" Connecting to: 127.0.0.1: Connected."_s), qPrintable(events));
        QVERIFY(!events.contains(u"left over"_s));
    }

    // While a mail waits for its server, Store and Remove are the user's: a pop-up stored then
    // is shown at the next tick, and any row but the one being sent can be removed.
    void storeAndRemoveWhileAMailWaits() {
        Window w;
        w.server.SetAnswer(u"greeting"_s, FaultServer::Silence());
        w.form->MailModule().ReplyTimeoutOverride = 5s;
        w.Store(true, u"one"_s);
        w.Store(true, u"two"_s);
        w.Store(false, u"a notice"_s);
        w.form->Timer2_Timer();
        QCOMPARE(w.form->Notices().size(), 1);
        QVERIFY(w.form->Command2->isEnabled());
        QCOMPARE(w.form->Mail().Sending(), w.form->Queue().Key(0));

        Ui::ClickRow(w.form->List8, 0); // the row being sent cannot be removed
        QVERIFY(!w.form->Command1->isEnabled());
        w.form->Command1_Click();
        QCOMPARE(w.form->Queue().Count(), 3);
        Ui::ClickRow(w.form->List8, 1); // the one waiting its turn can, and is not sent
        QVERIFY(w.form->Command1->isEnabled());
        QTest::mouseClick(w.form->Command1, Qt::LeftButton);
        QCOMPARE(w.form->Queue().Count(), 2);
        w.Store(false, u"stored meanwhile"_s);
        Ui::ClickRow(w.form->List8, 1);
        w.form->Timer2_Timer(); // after a tick, Remove follows the pick again
        QVERIFY(w.form->Command1->isEnabled());
        QCOMPARE(w.form->Notices().size(), 2);
        QCOMPARE(Ui::Items(w.form->List3), (QStringList{u"##"_s, u"OK"_s, u"OK"_s}));
        Ui::ClickRow(w.form->List8, 0);

        QTRY_VERIFY_WITH_TIMEOUT(w.form->Mail().Idle(), 10000);
        QCOMPARE(Ui::Items(w.form->List3).value(0), u"WT"_s);
        QCOMPARE(w.server.Connections(), 1);
        QVERIFY(w.form->Command1->isEnabled()); // its mail has ended: the pick holds again
    }

    // Until the user picks a date, the calendar's date is today's, also after midnight, so a
    // time stored next morning is not for yesterday. A date the user picked stays.
    void dateFollowsTheDayUntilPicked() {
        Window w;
        w.now = QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59));
        w.form->Timer1_Timer();
        QCOMPARE(w.form->Calendar1->Value(), QDate(2026, 12, 7));
        w.now = QDateTime(QDate(2026, 12, 8), QTime(0, 0, 0));
        w.form->Timer1_Timer();
        QCOMPARE(w.form->Calendar1->Value(), QDate(2026, 12, 8));

        w.now = QDateTime(QDate(2026, 12, 8), QTime(8, 0, 5));
        w.form->Combo1->setEditText(u"09"_s);
        w.Store(false, u"not yet"_s);
        w.Tick();
        QVERIFY(w.form->Notices().isEmpty());
        QCOMPARE(Ui::Items(w.form->List8), QStringList{u"08Dec2026 09:00"_s});

        Ui::ClickDay(w.form->Calendar1, QDate(2026, 12, 24));
        w.now = QDateTime(QDate(2026, 12, 9), QTime(0, 0, 1));
        w.form->Timer1_Timer();
        QCOMPARE(w.form->Calendar1->Value(), QDate(2026, 12, 24));
    }

    // Leaving in the middle of a tick: the window closes at once, the mail
    // session ends as abandoned, and the tick records that and stops.
    void leavingDuringAMailWait_data() {
        QTest::addColumn<bool>("exitCommand");
        QTest::addColumn<QString>("silentStep");
        QTest::newRow("exit while waiting for the greeting") << true << u"greeting"_s;
        QTest::newRow("exit while waiting for the end of data") << true << u"eod"_s;
        QTest::newRow("close box while waiting for the greeting") << false << u"greeting"_s;
        QTest::newRow("close box while waiting for rcpt") << false << u"rcpt"_s;
    }
    void leavingDuringAMailWait() {
        QFETCH(bool, exitCommand);
        QFETCH(QString, silentStep);
        Window w;
        w.form->MailModule().ReplyTimeoutOverride = 30s;
        w.server.SetAnswer(silentStep, FaultServer::Silence());
        w.Store(false, u"a notice first"_s);
        w.Store(true, u"one"_s);
        w.Store(true, u"two"_s);
        w.form->Timer2->start();
        QSignalSpy ended(w.form.get(), &Form1::ProgramEnded);

        QElapsedTimer clock;
        clock.start();
        QPointer<Form2> notice;
        w.TickWith([&] {
            QCOMPARE(w.form->Notices().size(), 1);
            notice = w.form->Notices().first();
            if (exitCommand)
                w.form->Command4_Click();
            else
                w.form->close();
            QVERIFY(!w.form->isVisible());
            QVERIFY(w.form->Unloaded());
        });
        QVERIFY2(clock.elapsed() < 10000, "the session was not abandoned");
        QVERIFY(w.form->Unloaded());
        QVERIFY(!w.form->Timer2->isActive());
        QCOMPARE(Ui::Items(w.form->List3),
                 (QStringList{u"OK"_s, u"WT"_s, u"##"_s})); // the tick stopped
        QCOMPARE(w.server.Connections(), 1);
        if (exitCommand) {
            QVERIFY(w.form->Notices().isEmpty());
            QTRY_COMPARE(ended.size(), 1);
        } else {
            QCOMPARE(w.form->Notices().size(), 1);
            QTest::qWait(50);
            QCOMPARE(ended.size(), 0);
            notice->close();
            QTRY_COMPARE(ended.size(), 1);
        }
    }

    // A message box open while a mail waits for the server does not hold the
    // mail up: the server's reply moves the session on and the row turns "OK"
    // with the box still open.
    void boxOpenDuringAMail_data() {
        QTest::addColumn<bool>("exitCommand");
        QTest::newRow("Help") << false;
        QTest::newRow("Exit confirmation, then Cancel") << true;
    }
    void boxOpenDuringAMail() {
        QFETCH(bool, exitCommand);
        MessageBoxPrompts realBoxes;
        Window w(&realBoxes);
        w.server.SetAnswer(u"greeting"_s, FaultServer::Answer{{{"220 slow\r\n", 400}}, false, 0});
        w.Store(true, u"one"_s);

        QString statusWhileOpen;
        bool boxSeen = false;
        QTimer watch;
        QElapsedTimer open;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            if (!boxSeen)
                open.start();
            boxSeen = true;
            statusWhileOpen = Ui::Items(w.form->List3).value(0);
            if (statusWhileOpen == u"OK"_s || open.elapsed() > 5000)
                box->button(exitCommand ? QMessageBox::Cancel : QMessageBox::Ok)->click();
        });
        watch.start(20);
        w.TickWith([&] { exitCommand ? w.form->Command4_Click() : w.form->Help_Click(); }, 50);
        QVERIFY(boxSeen);
        QCOMPARE(statusWhileOpen, u"OK"_s);
        QVERIFY(w.form->isVisible()); // Cancel: the program stays
        QVERIFY(w.form->Timer2->isActive());
    }

    // A tick whose window is asked to close twice, by both ways, still closes once.
    void exitAndCloseBoxTogether() {
        Window w;
        w.server.SetAnswer(u"greeting"_s, FaultServer::Silence());
        w.Store(true, u"one"_s);
        QSignalSpy ended(w.form.get(), &Form1::ProgramEnded);
        w.TickWith([&] {
            w.form->close();
            w.form->Exit_Click();
            w.form->close();
        });
        QVERIFY(w.form->Unloaded());
        QTRY_COMPARE(ended.size(), 1);
        QTest::qWait(50);
        QCOMPARE(ended.size(), 1);
    }
};

QTEST_MAIN(TestForm1Tick)
#include "tst_form1tick.moc"
