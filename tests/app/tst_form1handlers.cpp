// The main window's handlers as the user drives them: removal, selection,
// the calendar label, the clock caption, help, hiding to the tray and back,
// and the ways the window and the program end.
#include "form1fixture.h"
#include "form2.h"
#include "monthcalendar.h"
#include "traycallbackevent.h"

#include "queuecolumn.h"
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace {

const QString CaptionPrefix = u"Tallowick: Quillmere    "_s;

QList<QListView *> columns(Form1 &form) {
    return {form.List1, form.List2, form.List3, form.List4, form.List5, form.List7, form.List8};
}

// Each entry as one line of its seven column texts.
QStringList table(Form1 &form) {
    QStringList rows;
    for (int k = 0; k < form.List1->model()->rowCount(); ++k) {
        QStringList cells;
        for (QListView *list : columns(form))
            cells.append(Ui::Items(list).value(k, u"<missing>"_s));
        rows.append(cells.join(u'|'));
    }
    return rows;
}

bool aligned(Form1 &form) {
    for (QListView *list : columns(form))
        if (list->model()->rowCount() != form.List1->model()->rowCount())
            return false;
    return true;
}

// Three different entries, stored through the window.
void storeThree(Form1 &form) {
    Ui::Entry e;
    e.date = QDate(2001, 3, 5);
    e.hour = u"07"_s;
    e.minute = u"40"_s;
    e.message = u"first"_s;
    e.subject = u"One"_s;
    e.recipient = u"a@example.org"_s;
    Ui::Store(form, e);
    e.hour = u"08"_s;
    e.message = u"second"_s;
    e.subject = u"Two"_s;
    e.recipient = u"b@example.org"_s;
    e.email = true;
    Ui::Store(form, e);
    e.date = QDate(2002, 4, 6);
    e.hour = u"09"_s;
    e.message = u"third"_s;
    e.subject = u"Three"_s;
    e.recipient = u"c@example.org"_s;
    e.email = false;
    Ui::Store(form, e);
}

// The row each column shows as selected, -1 for none.
QList<int> selectedRows(Form1 &form) {
    QList<int> rows;
    for (QListView *list : columns(form))
        rows.append(Ui::SelectedRow(list));
    return rows;
}

// A notice window opened the program's own way: a pop-up entry that is
// already due, and a scheduler tick.
Form2 *openNoticeByTick(Form1Fixture &f) {
    Ui::Entry e;
    e.date = f.now.date();
    e.hour = u"%1"_s.arg(f.now.time().hour(), 2, 10, QLatin1Char('0'));
    e.minute = u"00"_s;
    e.message = u"due now"_s;
    Ui::Store(f.form(), e);
    f->Timer2_Timer();
    f->Timer2->stop();
    const QList<Form2 *> open = f->Notices();
    return open.size() == 1 ? open.first() : nullptr;
}

// Everything a user can see of the window, as text.
QStringList snapshot(Form1 &form) {
    QStringList seen{form.windowTitle(), QString::number(form.isVisible()),
                     QString::number(form.isEnabled())};
    for (QWidget *w : form.centralWidget()->findChildren<QWidget *>()) {
        QString text;
        if (auto *label = qobject_cast<QLabel *>(w))
            text = label->text() + label->palette().color(QPalette::Window).name();
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            text = button->text() + QString::number(button->isChecked());
        else if (auto *edit = qobject_cast<QLineEdit *>(w))
            text = edit->text();
        else if (auto *edit = qobject_cast<QPlainTextEdit *>(w))
            text = edit->toPlainText();
        else if (auto *list = qobject_cast<QListView *>(w))
            text = Ui::Items(list).join(u'|') + QString::number(Ui::SelectedRow(list));
        seen.append(w->objectName() + u':' + text + QString::number(w->isEnabled()) +
                    QString::number(w->isVisible()));
    }
    return seen;
}

void clickMenuBar(QMenuBar *bar, QAction *action) {
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action).center());
}

// File > Exit with the mouse.
bool chooseFileExit(Form1 &form) {
    QMenuBar *bar = form.menuBar();
    QAction *file = bar->actions().first();
    clickMenuBar(bar, file);
    QMenu *menu = file->menu();
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000))
        return false;
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(form.Exit).center());
    return true;
}

} // namespace

class TestForm1Handlers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void removeSelected_data();
    void removeSelected();
    void removeUntilEmpty();
    void removeWithoutSelection();
    void oneSelectionWhateverTheInput_data();
    void oneSelectionWhateverTheInput();
    void screenReaderReadsEachColumnAlone();
    void selectionDuringTick();
    void disabledColumnTakesNoClick_data();
    void disabledColumnTakesNoClick();
    void calendarClick_data();
    void calendarClick();
    void clockCaption_data();
    void clockCaption();
    void clockRunsOnTimer1EvenHidden();
    void timer3ChangesNothing();
    void help();
    void hideAndRestore();
    void otherTrayMessagesChangeNothing_data();
    void otherTrayMessagesChangeNothing();
    void hideRefusedWithoutHook_data();
    void hideRefusedWithoutHook();
    void exitCancelled_data();
    void exitCancelled();
    void exitConfirmed_data();
    void exitConfirmed();
    void closeBox_data();
    void closeBox();
};

void TestForm1Handlers::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication::setQuitOnLastWindowClosed(false);
}

// ---- Removal and selection ------------------------------------------------

void TestForm1Handlers::removeSelected_data() {
    QTest::addColumn<int>("k");
    QTest::newRow("first") << 0;
    QTest::newRow("middle") << 1;
    QTest::newRow("last") << 2;
}

void TestForm1Handlers::removeSelected() {
    QFETCH(int, k);

    Form1Fixture f;
    QVERIFY(f.Show());
    storeThree(f.form());
    QStringList expected = table(f.form());
    QCOMPARE(expected.size(), 3);
    expected.removeAt(k);

    Ui::ClickRow(f->List8, k);
    QVERIFY(f->Command1->isEnabled());
    Ui::Click(f->Command1);

    QVERIFY(aligned(f.form()));
    QCOMPARE(table(f.form()), expected);
    QVERIFY(!f->Command1->isEnabled());
    QCOMPARE(f.prompts.Texts(), QStringList{});
}

void TestForm1Handlers::removeUntilEmpty() {
    Form1Fixture f;
    QVERIFY(f.Show());
    storeThree(f.form());
    for (int left = 2; left >= 0; --left) {
        Ui::ClickRow(f->List8, left / 2);
        Ui::Click(f->Command1);
        QCOMPARE(f->List8->model()->rowCount(), left);
        QVERIFY(aligned(f.form()));
    }
    for (QListView *list : columns(f.form()))
        QCOMPARE(list->model()->rowCount(), 0);
}

void TestForm1Handlers::removeWithoutSelection() {
    Form1Fixture f;
    QVERIFY(f.Show());
    storeThree(f.form());
    const QStringList before = table(f.form());

    // Select a row, then take the selection back off it with Ctrl.
    Ui::ClickRow(f->List8, 1);
    Ui::ClickRow(f->List8, 1, Qt::ControlModifier);
    QCOMPARE(Ui::SelectedRow(f->List8), -1);
    QCOMPARE(selectedRows(f.form()), (QList<int>{-1, -1, -1, -1, -1, -1, -1}));
    QVERIFY(f->Command1->isEnabled());

    Ui::Click(f->Command1);
    QCOMPARE(table(f.form()), before);
    QVERIFY(!f->Command1->isEnabled());
    QCOMPARE(f.prompts.Texts(), QStringList{});
}

void TestForm1Handlers::oneSelectionWhateverTheInput_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("shown"); // the row highlighted afterwards
    QTest::newRow("left click") << u"left"_s << 2;
    QTest::newRow("left click, then right click elsewhere") << u"right"_s << 2;
    QTest::newRow("press on one row, release on another") << u"drag"_s << 2;
    QTest::newRow("arrow keys") << u"keys"_s << 2;
    QTest::newRow("wheel") << u"wheel"_s << 0;
    QTest::newRow("row above removed") << u"above"_s << 1;
}

void TestForm1Handlers::oneSelectionWhateverTheInput() {
    QFETCH(QString, input);
    QFETCH(int, shown);

    Form1Fixture f;
    QVERIFY(f.Show());
    storeThree(f.form());
    // Enough rows for the table to scroll.
    for (int n = 0; n < 40; ++n)
        f->Queue().Append({{QDate(2030, 1, 1), 10, 0},
                           u" filler"_s,
                           EntryStatus::NeverTried,
                           u"x@example.org"_s,
                           EntryMode::PopUp,
                           u"Filler %1"_s.arg(n)});
    const QPoint row0 = f->List8->visualRect(f->Queue().index(0, 6)).center();
    const QPoint row2 = f->List8->visualRect(f->Queue().index(2, 6)).center();
    QWidget *viewport = f->List8->viewport();

    Ui::ClickRow(f->List8, input == u"left"_s ? 2 : 0);
    if (input == u"right"_s) {
        Ui::ClickRow(f->List8, 2, {}, Qt::RightButton);
    } else if (input == u"drag"_s) {
        QTest::mousePress(viewport, Qt::LeftButton, {}, row0);
        QTest::mouseMove(viewport, row2);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, row2);
    } else if (input == u"keys"_s) {
        QTest::keyClick(f->List8, Qt::Key_Down);
        QTest::keyClick(f->List8, Qt::Key_Down);
    } else if (input == u"wheel"_s) {
        QWheelEvent wheel(QPointF(row0), viewport->mapToGlobal(QPointF(row0)), {}, {0, -360},
                          Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(viewport, &wheel);
        QVERIFY(f->List8->verticalScrollBar()->value() > 0);
    } else if (input == u"above"_s) {
        Ui::ClickRow(f->List8, 2);
        f->Queue().Remove(0);
    }

    // Every visible column shows the same row, and the columns scroll together.
    // List1, under the Time column, never shows a selection.
    QCOMPARE(selectedRows(f.form()), (QList<int>{-1, shown, shown, shown, shown, shown, shown}));
    QCOMPARE(f->SelectedRow(), shown);
    for (QListView *list : columns(f.form()))
        QTRY_COMPARE(list->verticalScrollBar()->value(), f->List8->verticalScrollBar()->value());

    // Remove takes exactly the entry shown.
    QStringList expected = table(f.form());
    expected.removeAt(shown);
    QVERIFY(f->Command1->isEnabled());
    Ui::Click(f->Command1);
    QCOMPARE(table(f.form()), expected);
    QCOMPARE(selectedRows(f.form()), (QList<int>{-1, -1, -1, -1, -1, -1, -1}));
}

void TestForm1Handlers::screenReaderReadsEachColumnAlone() {
    Form1Fixture f;
    QVERIFY(f.Show());
    storeThree(f.form());
    Ui::ClickRow(f->List8, 1);

    const auto read = [](QListView *list) -> QStringList {
        QStringList items;
        QAccessibleInterface *column = QAccessible::queryAccessibleInterface(list);
        for (int i = 0; i < column->childCount(); ++i) {
            QAccessibleInterface *item = column->child(i);
            if (item->role() != QAccessible::ListItem || column->indexOfChild(item) != i)
                return {u"not a list item at %1"_s.arg(i)};
            items << item->text(QAccessible::Name) + (item->state().selected ? u"*"_s : u""_s);
        }
        return items;
    };
    QCOMPARE(read(f->List3), (QStringList{u"##"_s, u"##*"_s, u"##"_s}));
    QCOMPARE(read(f->List7), (QStringList{u"One"_s, u"Two*"_s, u"Three"_s}));
    QCOMPARE(read(f->List8),
             (QStringList{u"05Mar2001 07:40"_s, u"05Mar2001 08:40*"_s, u"06Apr2002 09:40"_s}));
    Ui::Click(f->Command1);
    QCOMPARE(read(f->List7), (QStringList{u"One"_s, u"Three"_s}));
}

void TestForm1Handlers::selectionDuringTick() {
    Form1Fixture f;
    QVERIFY(f.Show());
    storeThree(f.form());
    const QStringList before = table(f.form());

    f->Ongoing = true;
    Ui::ClickRow(f->List8, 2);
    QCOMPARE(selectedRows(f.form()), (QList<int>{-1, 2, 2, 2, 2, 2, 2}));
    QVERIFY(!f->Command1->isEnabled());
    // Even asked directly, removal waits for the tick to end.
    f->Command1_Click();
    QCOMPARE(table(f.form()), before);

    f->Ongoing = false;
    Ui::ClickRow(f->List8, 2);
    QVERIFY(f->Command1->isEnabled());
}

void TestForm1Handlers::disabledColumnTakesNoClick_data() {
    QTest::addColumn<QString>("column");
    for (const char *name : {"List7", "List4", "List2", "List3", "List5"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestForm1Handlers::disabledColumnTakesNoClick() {
    QFETCH(QString, column);

    Form1Fixture f;
    QVERIFY(f.Show());
    storeThree(f.form());
    auto *list = f->centralWidget()->findChild<QListView *>(column);
    QVERIFY(list);
    Ui::ClickRow(list, 1);
    QCOMPARE(selectedRows(f.form()), (QList<int>{-1, -1, -1, -1, -1, -1, -1}));
    QVERIFY(!f->Command1->isEnabled());
}

// ---- Calendar label -------------------------------------------------------

void TestForm1Handlers::calendarClick_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("shown");
    QTest::newRow("5 March 2001") << QDate(2001, 3, 5) << u"05, Mar, 2001"_s;
    QTest::newRow("31 December 2027") << QDate(2027, 12, 31) << u"31, Dec, 2027"_s;
    QTest::newRow("29 February 2028") << QDate(2028, 2, 29) << u"29, Feb, 2028"_s;
    QTest::newRow("1 September 2026") << QDate(2026, 9, 1) << u"01, Sep, 2026"_s;
}

void TestForm1Handlers::calendarClick() {
    QFETCH(QDate, date);
    QFETCH(QString, shown);

    Form1Fixture f;
    QVERIFY(f.Show());
    // Nothing shows until the user clicks a day, start-up included.
    QCOMPARE(f.Load(), Form1::StartOutcome::Normal);
    QCOMPARE(f->Label11->text(), QString());
    storeThree(f.form());
    const QStringList before = table(f.form());
    Ui::ClickRow(f->List8, 0);
    QVERIFY(f->Command1->isEnabled());

    QVERIFY(Ui::ClickDay(f->Calendar1, date));
    QCOMPARE(f->Label11->text(), shown);
    QVERIFY(!f->Command1->isEnabled());
    QCOMPARE(table(f.form()), before);

    // Only a click writes it: a date set otherwise leaves the label alone.
    f->Calendar1->SetValue(date.addDays(1));
    QCOMPARE(f->Label11->text(), shown);
}

// ---- Clock caption --------------------------------------------------------

void TestForm1Handlers::clockCaption_data() {
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("clock");
    QTest::newRow("Sunday 6 Dec 2026") << QDateTime(QDate(2026, 12, 6), QTime(9, 38, 52))
                                       << u"Sunday,December 06,2026  09:38:52"_s;
    QTest::newRow("Saturday 1 May 2027")
        << QDateTime(QDate(2027, 5, 1), QTime(9, 5, 3)) << u"Saturday,May 01,2027  09:05:03"_s;
    QTest::newRow("midnight, new year")
        << QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0)) << u"Friday,January 01,2027  00:00:00"_s;
    QTest::newRow("last second of a year") << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))
                                           << u"Thursday,December 31,2026  23:59:59"_s;
    QTest::newRow("afternoon, 24-hour") << QDateTime(QDate(2028, 2, 29), QTime(13, 7, 9))
                                        << u"Tuesday,February 29,2028  13:07:09"_s;
}

void TestForm1Handlers::clockCaption() {
    QFETCH(QDateTime, now);
    QFETCH(QString, clock);

    Form1Fixture f;
    f.now = now;
    f->Timer1_Timer();
    QCOMPARE(f->windowTitle(), CaptionPrefix + clock);
}

void TestForm1Handlers::clockRunsOnTimer1EvenHidden() {
    Form1Fixture f;
    QCOMPARE(f.Load(), Form1::StartOutcome::Normal);
    QVERIFY(f.Show());
    f->Timer1->start();
    QTRY_COMPARE_WITH_TIMEOUT(f->windowTitle(),
                              CaptionPrefix + u"Sunday,December 06,2026  09:38:52"_s, 2500);

    Ui::Click(f->Command5);
    QVERIFY(!f->isVisible());
    f.now = QDateTime(QDate(2027, 5, 1), QTime(9, 5, 3));
    QTRY_COMPARE_WITH_TIMEOUT(f->windowTitle(), CaptionPrefix + u"Saturday,May 01,2027  09:05:03"_s,
                              2500);
}

void TestForm1Handlers::timer3ChangesNothing() {
    Form1Fixture f;
    QCOMPARE(f.Load(), Form1::StartOutcome::Normal);
    QVERIFY(f.Show());
    storeThree(f.form());
    Ui::ClickRow(f->List8, 1);
    const QStringList before = snapshot(f.form());
    const qsizetype boxes = f.prompts.boxes.size();
    const qsizetype shellCalls = f.shell->calls.size();

    f->Timer3_Timer();
    QCOMPARE(snapshot(f.form()), before);

    // Left to tick on its own for a while.
    QSignalSpy ticks(f->Timer3, &QTimer::timeout);
    f->Timer3->start();
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 2, 3000);
    f->Timer3->stop();
    QCOMPARE(snapshot(f.form()), before);
    QCOMPARE(f.prompts.boxes.size(), boxes);
    QCOMPARE(f.shell->calls.size(), shellCalls);
}

// ---- Help -----------------------------------------------------------------

void TestForm1Handlers::help() {
    Form1Fixture f;
    QVERIFY(f.Show());
    clickMenuBar(f->menuBar(), f->Help);
    QTRY_COMPARE(f.prompts.boxes.size(), 1);

    const RecordingPrompts::Box box = f.prompts.boxes.first();
    QCOMPARE(box.buttons, Prompts::vbOKOnly);
    QCOMPARE(box.title, QString()); // the program's title
    QVERIFY(!box.prompt.endsWith(u'\n'));
    QVERIFY(!box.prompt.contains(u"\r\r"_s));
    const QStringList lines = box.prompt.split(u"\r\n"_s);
    QCOMPARE(lines.size(), 10);
    for (const QString &line : lines)
        QVERIFY2(!line.contains(u'\n') && !line.contains(u'\r'), qPrintable(line));
    const QStringList first9 = {
        u"Select the date and the time you want to be notified."_s,
        u"Select the Notification Option: Pop-Up or E-mail."_s,
        u"Specify the recipient of the E-mail."_s,
        u"Specify the SMTP Mail server of your site."_s,
        u"Type the Message you want to send in the Message To Send Box."_s,
        u"Hit now the Store button"_s,
        QString(),
        u"To remove from the list the Notification Message select it and hit the Remove button."_s,
        QString(),
    };
    QCOMPARE(lines.mid(0, 9), first9);
    static const QRegularExpression comments(
        u"^Comments are welcome at [^@\\s]+@[^@\\s]+\\.[^@\\s]+$"_s);
    QVERIFY2(comments.match(lines[9]).hasMatch(), qPrintable(lines[9]));

    // Asked again, the same text.
    f->Help->trigger();
    QCOMPARE(f.prompts.boxes.size(), 2);
    QCOMPARE(f.prompts.boxes[1].prompt, box.prompt);
}

// ---- Hide and restore -----------------------------------------------------

void TestForm1Handlers::hideAndRestore() {
    Form1Fixture f;
    QCOMPARE(f.Load(), Form1::StartOutcome::Normal);
    QVERIFY(f.Show());
    const QString tipField = u"Tallowick32"_s + QChar(0) + QString(52, QLatin1Char(' '));

    for (int round = 0; round < 2; ++round) {
        Ui::Click(f->Command5);
        QVERIFY(!f->isVisible());
        QVERIFY(!f->isEnabled());
        QCOMPARE(f.shell->calls.size(), 2 * round + 1);
        const RecordingShell::Call &added = f.shell->calls.last();
        QCOMPARE(added.message, NIM_ADD);
        QCOMPARE(added.data.uID, 1u);
        QCOMPARE(added.data.szTip, tipField);
        QCOMPARE(added.data.szTip.size(), 64);
        QCOMPARE(added.data.uFlags, 7u);
        QCOMPARE(added.data.cbSize, 88u);
        QCOMPARE(added.data.uCallbackMessage, 0x601u);
        QCOMPARE(added.data.hWnd.data(), static_cast<QWidget *>(f.window.get()));
        QVERIFY(!added.data.hIcon.isNull());

        // The shell reports a left double click on the icon.
        TrayCallbackEvent::Post(f.window.get(), 1, WM_LBUTTONDBLCLK);
        QTRY_VERIFY(f->isVisible());
        QVERIFY(f->isEnabled());
        QCOMPARE(f.shell->calls.size(), 2 * round + 2);
        QCOMPARE(f.shell->calls.last().message, NIM_DELETE);
        QCOMPARE(f.shell->calls.last().data.uID, 1u);
    }
    QCOMPARE(f.shell->Ids(NIM_ADD), (QList<std::uint32_t>{1, 1}));
    QCOMPARE(f.shell->Ids(NIM_DELETE), (QList<std::uint32_t>{1, 1}));
    QCOMPARE(f.prompts.Texts(), QStringList{});
}

void TestForm1Handlers::otherTrayMessagesChangeNothing_data() {
    QTest::addColumn<int>("mouse");
    QTest::newRow("move") << WM_MOUSEMOVE;
    QTest::newRow("left down") << WM_LBUTTONDOWN;
    QTest::newRow("left up") << WM_LBUTTONUP;
    QTest::newRow("right down") << WM_RBUTTONDOWN;
    QTest::newRow("right up") << WM_RBUTTONUP;
    QTest::newRow("right double") << WM_RBUTTONDBLCLK;
    QTest::newRow("middle double") << WM_MBUTTONDBLCLK;
    QTest::newRow("unknown") << 0x400;
}

void TestForm1Handlers::otherTrayMessagesChangeNothing() {
    QFETCH(int, mouse);

    Form1Fixture f;
    QCOMPARE(f.Load(), Form1::StartOutcome::Normal);
    QVERIFY(f.Show());
    Ui::Click(f->Command5);
    QVERIFY(!f->isVisible());

    TrayCallbackEvent::Post(f.window.get(), 1, mouse);
    QTest::qWait(50);
    QVERIFY(!f->isVisible());
    QVERIFY(!f->isEnabled());
    QCOMPARE(f.shell->calls.size(), 1);

    // The double click still works after it.
    TrayCallbackEvent::Post(f.window.get(), 1, WM_LBUTTONDBLCLK);
    QTRY_VERIFY(f->isVisible());
}

void TestForm1Handlers::hideRefusedWithoutHook_data() {
    QTest::addColumn<bool>("startUp");
    QTest::newRow("start-up broken off") << true;
    QTest::newRow("no start-up at all") << false;
}

void TestForm1Handlers::hideRefusedWithoutHook() {
    QFETCH(bool, startUp);

    Form1Fixture f;
    if (startUp) {
        // A directory in the queue file's place stops start-up before the hook.
        QVERIFY(QDir(f.workDir.path()).mkdir(u"Tallowick.txt"_s));
        QCOMPARE(f.Load(), Form1::StartOutcome::BrokenOff);
    }
    QVERIFY(!f->Hooked());
    QVERIFY(f.Show());
    const qsizetype boxes = f.prompts.boxes.size();

    Ui::Click(f->Command5);
    QVERIFY(f->isVisible());
    QVERIFY(f->isEnabled());
    QCOMPARE(f.prompts.boxes.size(), boxes + 1);
    QVERIFY(!f.prompts.boxes.last().prompt.isEmpty());
    QCOMPARE(f.prompts.boxes.last().buttons, Prompts::vbOKOnly);
    QCOMPARE(f.shell->Ids(NIM_ADD), QList<std::uint32_t>{});
}

// ---- Exit and closing -----------------------------------------------------

void TestForm1Handlers::exitCancelled_data() {
    QTest::addColumn<bool>("menu");
    QTest::newRow("Exit button") << false;
    QTest::newRow("File > Exit") << true;
}

void TestForm1Handlers::exitCancelled() {
    QFETCH(bool, menu);

    Form1Fixture f;
    QCOMPARE(f.Load(), Form1::StartOutcome::Normal);
    QVERIFY(f.Show());
    Form2 *notice = openNoticeByTick(f);
    QVERIFY(notice);
    const QStringList before = table(f.form());
    QSignalSpy ended(f.window.get(), &Form1::ProgramEnded);

    f.prompts.answers = {Prompts::vbCancel};
    if (menu)
        QVERIFY(chooseFileExit(f.form()));
    else
        Ui::Click(f->Command4);
    QTRY_COMPARE(f.prompts.boxes.size(), 1);

    const RecordingPrompts::Box box = f.prompts.boxes.first();
    QCOMPARE(box.prompt, u"Are you sure you want to quit ?"_s);
    QCOMPARE(box.buttons, Prompts::vbOKCancel);
    QCOMPARE(box.title, u"Exit Confirmation"_s);

    QTest::qWait(50);
    QVERIFY(f->isVisible());
    QVERIFY(f->isEnabled());
    QVERIFY(!f->Unloaded());
    QVERIFY(f->Hooked());
    QCOMPARE(f.shell->Ids(NIM_DELETE), QList<std::uint32_t>{});
    QCOMPARE(f->Notices(), QList<Form2 *>{notice});
    QCOMPARE(table(f.form()), before);
    QCOMPARE(ended.count(), 0);
}

void TestForm1Handlers::exitConfirmed_data() {
    exitCancelled_data();
}

void TestForm1Handlers::exitConfirmed() {
    QFETCH(bool, menu);

    Form1Fixture f;
    QCOMPARE(f.Load(), Form1::StartOutcome::Normal);
    QVERIFY(f.Show());
    QPointer<Form2> notice = openNoticeByTick(f);
    QVERIFY(notice);
    QVERIFY(notice->isVisible());
    QSignalSpy ended(f.window.get(), &Form1::ProgramEnded);

    f.prompts.answers = {Prompts::vbOK};
    if (menu)
        QVERIFY(chooseFileExit(f.form()));
    else
        Ui::Click(f->Command4);
    QTRY_COMPARE(f.prompts.boxes.size(), 1);
    QCOMPARE(f.prompts.boxes.first().prompt, u"Are you sure you want to quit ?"_s);

    QVERIFY(!f->isVisible());
    QVERIFY(f->Unloaded());
    QVERIFY(f->Notices().isEmpty());
    QTRY_VERIFY(notice.isNull() || !notice->isVisible());
    QCOMPARE(f.shell->Ids(NIM_DELETE), QList<std::uint32_t>{1});
    QVERIFY(!f->Hooked());
    QTRY_COMPARE(ended.count(), 1);
    // The end is told once.
    QTest::qWait(100);
    QCOMPARE(ended.count(), 1);
}

void TestForm1Handlers::closeBox_data() {
    QTest::addColumn<bool>("hidden");
    QTest::newRow("shown") << false;
    QTest::newRow("hidden in the tray") << true;
}

void TestForm1Handlers::closeBox() {
    QFETCH(bool, hidden);

    Form1Fixture f;
    QCOMPARE(f.Load(), Form1::StartOutcome::Normal);
    QVERIFY(f.Show());
    QPointer<Form2> notice = openNoticeByTick(f);
    QVERIFY(notice);
    if (hidden) {
        Ui::Click(f->Command5);
        QVERIFY(!f->isVisible());
    }
    QSignalSpy ended(f.window.get(), &Form1::ProgramEnded);
    const qsizetype shellCalls = f.shell->calls.size();

    QVERIFY(f->close());
    QCOMPARE(f.prompts.Texts(), QStringList{});
    QVERIFY(!f->isVisible());
    QCOMPARE(f.shell->calls.size(), shellCalls + 1);
    QCOMPARE(f.shell->calls.last().message, NIM_DELETE);
    QCOMPARE(f.shell->calls.last().data.uID, 1u);
    QVERIFY(!f->Hooked());

    // The notice stays on screen, and the program lasts as long as it does.
    QTest::qWait(100);
    QVERIFY(!notice.isNull());
    QVERIFY(notice->isVisible());
    QCOMPARE(f->Notices().size(), 1);
    QCOMPARE(ended.count(), 0);

    Ui::Click(notice->Command1);
    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(f->Notices().isEmpty());
}

QTEST_MAIN(TestForm1Handlers)
#include "tst_form1handlers.moc"
