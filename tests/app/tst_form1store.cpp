// The Store button as the user meets it: what it refuses and says, where it
// puts the focus, and the row it adds to the queue table.
#include "duetime.h"
#include "form1fixture.h"
#include "monthcalendar.h"
#include "notificationqueue.h"
#include "refusaltexts.h"
#include "storecheck.h"

#include "queuecolumn.h"
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

using namespace RefusalText;

Q_DECLARE_METATYPE(Ui::Entry)

namespace {

// The control that holds the focus widget (a combo box for its edit field).
QWidget *focusedControl(Form1 &form) {
    QWidget *w = QApplication::focusWidget();
    while (w && w->parentWidget() != form.centralWidget())
        w = w->parentWidget();
    return w;
}

// The seven columns' items of row k, in the order of a queue entry.
QStringList row(Form1 &form, int k) {
    QStringList items;
    for (QListView *list :
         {form.List1, form.List2, form.List3, form.List4, form.List5, form.List7, form.List8})
        items.append(Ui::Items(list).value(k, u"<missing>"_s));
    return items;
}

bool aligned(Form1 &form) {
    const int count = form.List1->model()->rowCount();
    for (QListView *list : {form.List2, form.List3, form.List4, form.List5, form.List7, form.List8})
        if (list->model()->rowCount() != count)
            return false;
    return true;
}

Ui::Entry someEntry() {
    Ui::Entry entry;
    entry.date = QDate(2001, 3, 5);
    entry.hour = u"07"_s;
    entry.minute = u"40"_s;
    entry.message = u"Call Bob"_s;
    entry.recipient = u"bob@example.org"_s;
    return entry;
}

} // namespace

class TestForm1Store : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void refusals_data();
    void refusals();
    void refusalChangesNothingElse();
    void storedRow_data();
    void storedRow();
    void sameInputTwiceGivesTwoRows();
    void storeKeepsInputsAndSelectionButDisablesRemove();
    void badTimes_data();
    void badTimes();
    void queueFull();
    void yearsTheQueueCannotHold_data();
    void yearsTheQueueCannotHold();
};

void TestForm1Store::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestForm1Store::refusals_data() {
    QTest::addColumn<bool>("email");
    QTest::addColumn<QString>("originator");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("boxText");

    const QString me = u"me@example.org"_s, you = u"you@example.org"_s, subject = u"Dentist"_s;
    QTest::newRow("e-mail, no originator")
        << true << QString() << you << subject << NoOriginator << u"Text7"_s << u" "_s;
    QTest::newRow("e-mail, originator of spaces")
        << true << u"   "_s << you << subject << NoOriginator << u"Text7"_s << u" "_s;
    QTest::newRow("e-mail, both addresses empty: originator only")
        << true << QString() << QString() << QString() << NoOriginator << u"Text7"_s << u" "_s;
    QTest::newRow("e-mail, no recipient")
        << true << me << QString() << subject << NoRecipient << u"Text4"_s << u" "_s;
    QTest::newRow("e-mail, recipient of spaces")
        << true << me << u"  "_s << subject << NoRecipient << u"Text4"_s << u" "_s;
    QTest::newRow("e-mail, no subject")
        << true << me << you << QString() << NoSubject << u"Text5"_s << QString();
    QTest::newRow("e-mail, subject of spaces")
        << true << me << you << u"   "_s << NoSubject << u"Text5"_s << u"   "_s;
    QTest::newRow("pop-up, no subject")
        << false << QString() << QString() << QString() << NoSubject << u"Text5"_s << QString();
    QTest::newRow("pop-up, subject of spaces")
        << false << me << you << u" "_s << NoSubject << u"Text5"_s << u" "_s;
}

void TestForm1Store::refusals() {
    QFETCH(bool, email);
    QFETCH(QString, originator);
    QFETCH(QString, recipient);
    QFETCH(QString, subject);
    QFETCH(QString, message);
    QFETCH(QString, box);
    QFETCH(QString, boxText);

    Form1Fixture f;
    QVERIFY(f.Show());
    Ui::Entry entry = someEntry();
    entry.email = email;
    entry.originator = originator;
    entry.recipient = recipient;
    entry.subject = subject;
    Ui::Store(f.form(), entry);

    QCOMPARE(f.prompts.Texts(), QStringList{message});
    QCOMPARE(f.prompts.boxes[0].buttons, Prompts::vbOKOnly);
    QCOMPARE(f.prompts.boxes[0].title, QString()); // the program's own title
    QCOMPARE(f->List8->model()->rowCount(), 0);
    QVERIFY(aligned(f.form()));
    auto *target = f->centralWidget()->findChild<QLineEdit *>(box);
    QVERIFY(target);
    QCOMPARE(target->text(), boxText);
    QTRY_COMPARE(focusedControl(f.form()), target);
    // Only the box found blank is changed.
    if (box != u"Text4"_s)
        QCOMPARE(f->Text4->text(), recipient);
    if (box != u"Text7"_s)
        QCOMPARE(f->Text7->text(), originator);
}

void TestForm1Store::refusalChangesNothingElse() {
    Form1Fixture f;
    QVERIFY(f.Show());
    Ui::Store(f.form(), someEntry());
    Ui::ClickRow(f->List8, 0);
    QVERIFY(f->Command1->isEnabled());

    Ui::Type(f->Text5, QString());
    Ui::Click(f->Command2);
    QCOMPARE(f.prompts.Texts(), QStringList{NoSubject});
    QCOMPARE(f->List8->model()->rowCount(), 1);
    // The selection and the Remove button are as they were.
    QVERIFY(f->Command1->isEnabled());
    QCOMPARE(Ui::SelectedRow(f->List8), 0);
    QCOMPARE(f->Text2->toPlainText(), u"Call Bob"_s);
    QCOMPARE(f->Combo1->currentText(), u"07"_s);
}

void TestForm1Store::storedRow_data() {
    QTest::addColumn<Ui::Entry>("entry");
    QTest::addColumn<QStringList>("columns"); // List1, List2, List3, List4, List5, List7, List8

    Ui::Entry e = someEntry();
    e.recipient = QString();
    QTest::newRow("pop-up, no addresses")
        << e << QStringList{u"2001/3/5 07:40"_s, u" Call Bob"_s,      u"##"_s, QString(), u"PU"_s,
                            u"Reminder."_s,      u"05Mar2001 07:40"_s};

    e = someEntry();
    e.email = true;
    e.date = QDate(2026, 12, 24);
    e.hour = u"18"_s;
    e.minute = u"30"_s;
    e.message = u" two\nlines "_s;
    e.recipient = u"  bob@example.org "_s;
    e.subject = u" Lunch "_s;
    QTest::newRow("e-mail, untrimmed fields, two lines")
        << e << QStringList{u"2026/12/24 18:30"_s,
                            u"  two\nlines "_s,
                            u"##"_s,
                            u"  bob@example.org "_s,
                            u"MX"_s,
                            u" Lunch "_s,
                            u"24Dec2026 18:30"_s};

    e = someEntry();
    e.date = QDate(2027, 1, 9);
    e.hour = u"09"_s;
    e.minute = u"05"_s;
    e.message = QString();
    QTest::newRow("single-digit month and day, empty message")
        << e << QStringList{u"2027/1/9 09:05"_s,  u" "_s,  u"##"_s,
                            u"bob@example.org"_s, u"PU"_s, u"Reminder."_s,
                            u"09Jan2027 09:05"_s};

    e = someEntry();
    e.hour = u"23"_s;
    e.minute = u"07"_s;
    QTest::newRow("typed minute 07")
        << e << QStringList{u"2001/3/5 23:07"_s,  u" Call Bob"_s, u"##"_s,
                            u"bob@example.org"_s, u"PU"_s,        u"Reminder."_s,
                            u"05Mar2001 23:07"_s};

    e = someEntry();
    e.hour = u"7"_s;
    e.minute = u"0"_s;
    QTest::newRow("one-digit hour and minute")
        << e << QStringList{u"2001/3/5 07:00"_s,  u" Call Bob"_s, u"##"_s,
                            u"bob@example.org"_s, u"PU"_s,        u"Reminder."_s,
                            u"05Mar2001 07:00"_s};

    e = someEntry();
    e.date = QDate(2028, 2, 29);
    e.hour = u"00"_s;
    e.minute = u"01"_s;
    QTest::newRow("leap day, first minute item")
        << e << QStringList{u"2028/2/29 00:01"_s, u" Call Bob"_s, u"##"_s,
                            u"bob@example.org"_s, u"PU"_s,        u"Reminder."_s,
                            u"29Feb2028 00:01"_s};

    e = someEntry();
    e.date = QDate(1999, 12, 31);
    QTest::newRow("due time long past")
        << e << QStringList{u"1999/12/31 07:40"_s, u" Call Bob"_s, u"##"_s,
                            u"bob@example.org"_s,  u"PU"_s,        u"Reminder."_s,
                            u"31Dec1999 07:40"_s};
}

void TestForm1Store::storedRow() {
    QFETCH(Ui::Entry, entry);
    QFETCH(QStringList, columns);

    Form1Fixture f;
    QVERIFY(f.Show());
    Ui::Store(f.form(), entry);

    QCOMPARE(f.prompts.Texts(), QStringList{});
    QCOMPARE(f->List8->model()->rowCount(), 1);
    QVERIFY(aligned(f.form()));
    QCOMPARE(row(f.form(), 0), columns);
    QVERIFY(!f->Command1->isEnabled());
}

void TestForm1Store::sameInputTwiceGivesTwoRows() {
    Form1Fixture f;
    QVERIFY(f.Show());
    Ui::Store(f.form(), someEntry());
    Ui::Click(f->Command2);
    QCOMPARE(f.prompts.Texts(), QStringList{});
    QCOMPARE(f->List8->model()->rowCount(), 2);
    QVERIFY(aligned(f.form()));
    QCOMPARE(row(f.form(), 1), row(f.form(), 0));
    QCOMPARE(row(f.form(), 0).first(), u"2001/3/5 07:40"_s);
}

void TestForm1Store::storeKeepsInputsAndSelectionButDisablesRemove() {
    Form1Fixture f;
    QVERIFY(f.Show());
    Ui::Store(f.form(), someEntry());
    Ui::ClickRow(f->List8, 0);
    QVERIFY(f->Command1->isEnabled());

    Ui::Type(f->Combo1, u"08"_s);
    Ui::Click(f->Command2);
    QCOMPARE(f->List8->model()->rowCount(), 2);
    QCOMPARE(Ui::Items(f->List8).value(1), u"05Mar2001 08:40"_s);
    // Remove has to be earned again by a click in the table.
    QVERIFY(!f->Command1->isEnabled());
    QCOMPARE(Ui::SelectedRow(f->List8), 0);
    // The boxes keep what was typed, for the next entry.
    QCOMPARE(f->Text2->toPlainText(), u"Call Bob"_s);
    QCOMPARE(f->Text4->text(), u"bob@example.org"_s);
    QCOMPARE(f->Text5->text(), u"Reminder."_s);
    QCOMPARE(f->Combo1->currentText(), u"08"_s);
    QCOMPARE(f->Combo2->currentText(), u"40"_s);
    QCOMPARE(f->Calendar1->Value(), QDate(2001, 3, 5));
}

void TestForm1Store::badTimes_data() {
    QTest::addColumn<QString>("hour");
    QTest::addColumn<QString>("minute");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("box");

    const QString subject = u"Reminder."_s;
    QTest::newRow("hour 24") << u"24"_s << u"40"_s << subject << BadHour << u"Combo1"_s;
    QTest::newRow("hour letters") << u"ab"_s << u"40"_s << subject << BadHour << u"Combo1"_s;
    QTest::newRow("hour empty") << QString() << u"40"_s << subject << BadHour << u"Combo1"_s;
    QTest::newRow("hour three digits") << u"007"_s << u"40"_s << subject << BadHour << u"Combo1"_s;
    QTest::newRow("hour negative") << u"-1"_s << u"40"_s << subject << BadHour << u"Combo1"_s;
    QTest::newRow("hour with a blank") << u"7 "_s << u"40"_s << subject << BadHour << u"Combo1"_s;
    QTest::newRow("minute 60") << u"07"_s << u"60"_s << subject << BadMinute << u"Combo2"_s;
    QTest::newRow("minute letters") << u"07"_s << u"5x"_s << subject << BadMinute << u"Combo2"_s;
    QTest::newRow("minute empty") << u"07"_s << QString() << subject << BadMinute << u"Combo2"_s;
    QTest::newRow("both bad: hour told first")
        << u"99"_s << u"99"_s << subject << BadHour << u"Combo1"_s;
    QTest::newRow("no subject told before a bad hour")
        << u"99"_s << u"40"_s << QString() << NoSubject << u"Text5"_s;
}

void TestForm1Store::badTimes() {
    QFETCH(QString, hour);
    QFETCH(QString, minute);
    QFETCH(QString, subject);
    QFETCH(QString, message);
    QFETCH(QString, box);

    Form1Fixture f;
    QVERIFY(f.Show());
    Ui::Entry entry = someEntry();
    entry.hour = hour;
    entry.minute = minute;
    entry.subject = subject;
    Ui::Store(f.form(), entry);

    QCOMPARE(f.prompts.Texts(), QStringList{message});
    if (box == u"Combo1"_s)
        QVERIFY(message.contains(u"hour box"_s));
    if (box == u"Combo2"_s)
        QVERIFY(message.contains(u"minute box"_s));
    QCOMPARE(f->List8->model()->rowCount(), 0);
    QTRY_COMPARE(focusedControl(f.form())->objectName(), box);
    // What was typed stays for the user to correct.
    QCOMPARE(f->Combo1->currentText(), hour);
    QCOMPARE(f->Combo2->currentText(), minute);
}

void TestForm1Store::queueFull() {
    Form1Fixture f;
    QVERIFY(f.Show());
    const QueueEntry filler{{QDate(2001, 3, 5), 7, 40}, u" x"_s, EntryStatus::NeverTried, QString(),
                            EntryMode::PopUp,           u"s"_s};
    for (int i = 1; i < NotificationQueue::MaxEntries; ++i)
        f->Queue().Append(filler);
    QCOMPARE(f->List8->model()->rowCount(), 32766);

    // The last free place still takes an entry.
    Ui::Store(f.form(), someEntry());
    QCOMPARE(f.prompts.Texts(), QStringList{});
    QCOMPARE(f->List8->model()->rowCount(), 32767);
    QCOMPARE(Ui::Items(f->List8).value(32766), u"05Mar2001 07:40"_s);

    Ui::Click(f->Command2);
    QCOMPARE(f.prompts.Texts(), QStringList{QueueFull});
    QCOMPARE(f->List8->model()->rowCount(), 32767);
    QVERIFY(aligned(f.form()));
}

void TestForm1Store::yearsTheQueueCannotHold_data() {
    QTest::addColumn<QString>("typedYear");
    QTest::addColumn<QDate>("forced");
    QTest::newRow("year 0") << u"0"_s << QDate(-1, 12, 31);
    QTest::newRow("year -4714") << u"-4714"_s << QDate(-4714, 11, 24);
    QTest::newRow("year 10000") << u"10000"_s << QDate(10000, 1, 1);
}

// A due text carries the years 1 to 9999: the calendar offers no others, and
// a date set past it by other means is refused at Store.
void TestForm1Store::yearsTheQueueCannotHold() {
    QFETCH(QString, typedYear);
    QFETCH(QDate, forced);

    Form1Fixture f;
    QVERIFY(f.Show());
    QCalendarWidget *calendar = f->Calendar1->calendarWidget();
    Ui::Click(calendar->findChild<QToolButton *>(u"qt_calendar_yearbutton"_s));
    auto *yearEdit = calendar->findChild<QSpinBox *>(u"qt_calendar_yearedit"_s);
    QVERIFY(yearEdit && yearEdit->isVisible());
    QTest::keyClicks(yearEdit, typedYear);
    QTest::keyClick(yearEdit, Qt::Key_Return);
    QVERIFY(Ui::ClickDay(f->Calendar1, QDate(calendar->yearShown(), calendar->monthShown(), 15)));
    QVERIFY2(f->Calendar1->Year() >= 1 && f->Calendar1->Year() <= 9999,
             qPrintable(f->Calendar1->Value().toString()));
    f->Calendar1->SetValue(forced);
    QVERIFY2(f->Calendar1->Year() >= 1 && f->Calendar1->Year() <= 9999,
             qPrintable(f->Calendar1->Value().toString()));
    Ui::Click(f->Command2);
    QCOMPARE(f.prompts.Texts(), QStringList{});
    QCOMPARE(f->Queue().Count(), 1);
    QVERIFY(DueTime::ValidDate(f->Queue().Due(0)->date)); // one the scheduler can read

    calendar->setDateRange(std::min(forced, QDate(1, 1, 1)), std::max(forced, QDate(9999, 12, 31)));
    f->Calendar1->SetValue(forced);
    QCOMPARE(f->Calendar1->Value(), forced);
    Ui::Click(f->Command2);
    QCOMPARE(f.prompts.Texts(), QStringList{BadDate});
    QCOMPARE(f->Queue().Count(), 1);
    QTRY_COMPARE(focusedControl(f.form()), static_cast<QWidget *>(f->Calendar1));
}

QTEST_MAIN(TestForm1Store)
#include "tst_form1store.moc"
