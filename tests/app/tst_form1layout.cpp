// The main window as it opens, before start-up has filled anything in: its
// controls, texts, states, geometry, tab order and what a screen reader reads.
#include "form1fixture.h"
#include "monthcalendar.h"

#include "queuecolumn.h"
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int TwipsPerPixel = 15;

// The text a control shows, whatever its kind.
QString shownText(QWidget *w) {
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text();
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    if (auto *edit = qobject_cast<QPlainTextEdit *>(w))
        return edit->toPlainText();
    if (auto *combo = qobject_cast<QComboBox *>(w))
        return combo->currentText();
    return QString();
}

// The named control of the window that holds `w` (w itself when it is one).
QWidget *controlOf(QWidget *w, QWidget *client) {
    while (w && w->parentWidget() != client)
        w = w->parentWidget();
    return w;
}

QString accessibleName(QWidget *w) {
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

} // namespace

class TestForm1Layout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void captionBeforeFirstTick();
    void timersRunAtTheirIntervals();
    void clientArea();
    void geometry_data();
    void geometry();
    void initialTexts_data();
    void initialTexts();
    void enabledAtStart_data();
    void enabledAtStart();
    void designTooltips_data();
    void designTooltips();
    void inertControlsStayInert();
    void listsStartEmpty();
    void hiddenListLiesUnderTimeColumn();
    void trayPicturesLieUnderLamps();
    void menu();
    void colours_data();
    void colours();
    void lampsStartAlike();
    void focusStartsAtCalendar();
    void tabOrder();
    void tabKeyWalksTheOrder_data();
    void tabKeyWalksTheOrder();
    void everyControlHasAName();
    void nothingClipped();
};

void TestForm1Layout::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestForm1Layout::captionBeforeFirstTick() {
    Form1Fixture f({}, 1, false);
    QCOMPARE(f->windowTitle(), u"Tallowick: Quillmere"_s);
}

void TestForm1Layout::timersRunAtTheirIntervals() {
    Form1Fixture f({}, 1, false);
    QVERIFY(f->Timer1->isActive());
    QVERIFY(f->Timer2->isActive());
    QVERIFY(f->Timer3->isActive());
    QCOMPARE(f->Timer1->interval(), 1000);
    QCOMPARE(f->Timer2->interval(), 10000);
    QCOMPARE(f->Timer3->interval(), 1000);
}

void TestForm1Layout::clientArea() {
    Form1Fixture f;
    QVERIFY(f.Show());
    // 9300 x 7785 twips below the menu bar.
    QCOMPARE(f->centralWidget()->size(), QSize(620, 519));
    QCOMPARE(f->width(), 620);
    QCOMPARE(f->height(), 519 + f->menuBar()->height());
}

void TestForm1Layout::geometry_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");

    const auto row = [](const char *name, int l, int t, int w, int h) {
        QTest::newRow(name) << QString::fromLatin1(name) << QRect(l, t, w, h);
    };
    row("Calendar1", 120, 0, 4335, 2295);
    row("Label1", 4440, 0, 4815, 255);
    row("Text2", 4440, 240, 4815, 1455);
    row("Label10", 4440, 1680, 3975, 255);
    row("Text6", 4440, 1920, 3975, 735);
    row("Command2", 8400, 1680, 855, 1335);
    row("Label6", 120, 2280, 1215, 375);
    row("Combo1", 1320, 2280, 735, 315);
    row("Label7", 2040, 2280, 255, 375);
    row("Combo2", 2280, 2280, 615, 315);
    row("Label11", 2880, 2280, 1455, 375);
    row("Label14", 120, 2640, 1575, 375);
    row("Text7", 1680, 2640, 2655, 375);
    row("Label3", 4440, 2640, 1575, 375);
    row("Text3", 6000, 2640, 2415, 375);
    row("Label4", 120, 3000, 1575, 375);
    row("Text4", 1680, 3000, 2655, 375);
    row("Label12", 120, 3360, 1575, 375);
    row("Text5", 1680, 3360, 2655, 345);
    row("Label8_0", 4440, 3360, 735, 375);
    row("Label8_1", 5160, 3360, 615, 375);
    row("Label8_4", 6720, 3360, 615, 375);
    row("Label8_7", 8400, 3360, 615, 375);
    row("Label8_8", 8880, 3360, 375, 375);
    row("Image1_1", 8520, 3360, 255, 255);
    row("Image1_2", 9000, 3360, 255, 255);
    row("Label2", 120, 3720, 9135, 255);
    row("Command1", 120, 3960, 855, 375);
    row("Option1", 1080, 3960, 975, 255);
    row("Option2", 2280, 3960, 975, 255);
    row("Check1", 3480, 3960, 975, 255);
    row("Command5", 7560, 3960, 855, 375);
    row("Command4", 8520, 3960, 735, 375);
    row("Label9_0", 120, 4320, 1575, 255);
    row("Label13", 1680, 4320, 1695, 255);
    row("Label9_3", 3360, 4320, 1335, 255);
    row("Label9_1", 4680, 4320, 2055, 255);
    row("Label9_2", 6720, 4320, 495, 255);
    row("Label9_4", 7200, 4320, 495, 255);
    row("Label5", 7680, 4320, 1575, 255);
    row("List8", 120, 4560, 1575, 3180);
    row("List1", 120, 4560, 1575, 3180);
    row("List7", 1680, 4560, 1695, 3180);
    row("List4", 3360, 4560, 1335, 3180);
    row("List2", 4680, 4560, 2055, 3180);
    row("List3", 6720, 4560, 495, 3180);
    row("List5", 7200, 4560, 495, 3180);
    row("Text1", 7680, 4560, 1575, 3135);
}

void TestForm1Layout::geometry() {
    QFETCH(QString, name);
    QFETCH(QRect, twips);

    Form1Fixture f;
    auto *w = f->centralWidget()->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly);
    QVERIFY2(w, qPrintable(name));
    const QRect px = w->geometry();
    // Whole pixels: each edge within one pixel of the design.
    const auto near = [](int pixels, int design) {
        return std::abs(pixels * TwipsPerPixel - design) <= TwipsPerPixel;
    };
    QVERIFY2(near(px.x(), twips.x()) && near(px.y(), twips.y()) &&
                 near(px.width(), twips.width()) && near(px.height(), twips.height()),
             qPrintable(u"%1 at %2,%3 %4x%5 px"_s.arg(name)
                            .arg(px.x())
                            .arg(px.y())
                            .arg(px.width())
                            .arg(px.height())));
}

void TestForm1Layout::initialTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, const QString &text) {
        QTest::newRow(name) << QString::fromLatin1(name) << text;
    };
    row("Label1", u"Message To send"_s);
    row("Text2", u"Message: "_s);
    row("Label10", u"Attachments"_s);
    row("Text6", u"Feature not yet ready."_s);
    row("Command2", u"Store"_s);
    row("Label6", u" At this Time:"_s);
    row("Combo1", u"00"_s);
    row("Label7", u":"_s);
    row("Combo2", u"01"_s);
    row("Label11", QString());
    row("Label14", u"From: (E-mail address)"_s);
    row("Text7", QString());
    row("Label3", u"SMTP Mail Server:"_s);
    row("Label4", u"To: (E-mail Address:)"_s);
    row("Text4", QString());
    row("Label12", u"Subject:"_s);
    row("Text5", u"Reminder."_s);
    row("Label2", QString());
    row("Command1", u"Remove"_s);
    row("Option1", u"Pop Up"_s);
    row("Option2", u"E-mail"_s);
    row("Check1", u"Sound"_s);
    row("Command5", u"Hide"_s);
    row("Command4", u"Exit"_s);
    row("Label9_0", u"Time"_s);
    row("Label13", u"Subject"_s);
    row("Label9_3", u"Recipient"_s);
    row("Label9_1", u"Message"_s);
    row("Label9_2", u"S"_s);
    row("Label9_4", u"F"_s);
    row("Label5", u"Events"_s);
    row("Text1", QString());
}

void TestForm1Layout::initialTexts() {
    QFETCH(QString, name);
    QFETCH(QString, text);

    Form1Fixture f;
    auto *w = f->centralWidget()->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(shownText(w), text);
}

void TestForm1Layout::enabledAtStart_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("enabled");

    for (const char *name :
         {"Command1", "Text6", "Check1", "List7", "List4", "List2", "List3", "List5"})
        QTest::newRow(name) << QString::fromLatin1(name) << false;
    for (const char *name :
         {"List8", "List1", "Calendar1", "Command2", "Text2", "Combo1", "Combo2", "Text7", "Text3",
          "Text4", "Text5", "Option1", "Option2", "Command5", "Command4", "Text1"})
        QTest::newRow(name) << QString::fromLatin1(name) << true;
}

void TestForm1Layout::enabledAtStart() {
    QFETCH(QString, name);
    QFETCH(bool, enabled);

    Form1Fixture f;
    auto *w = f->centralWidget()->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->isEnabled(), enabled);
}

void TestForm1Layout::designTooltips_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tip");
    QTest::newRow("Text7") << u"Text7"_s << u"Type here your e-mail address"_s;
    QTest::newRow("Text4") << u"Text4"_s << u"Type here the destination e-mail address"_s;
    QTest::newRow("Text5") << u"Text5"_s << u"Type here the e-mail subject"_s;
}

void TestForm1Layout::designTooltips() {
    QFETCH(QString, name);
    QFETCH(QString, tip);

    // These come with the window itself; start-up sets only the others.
    Form1Fixture f;
    auto *w = f->centralWidget()->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->toolTip(), tip);
}

void TestForm1Layout::inertControlsStayInert() {
    Form1Fixture f;
    QVERIFY(f.Show());
    QTest::keyClicks(f->Text6, u"typed"_s);
    QCOMPARE(f->Text6->toPlainText(), u"Feature not yet ready."_s);
    Ui::Click(f->Check1);
    QTest::keyClick(f->Check1, Qt::Key_Space);
    QVERIFY(!f->Check1->isChecked());
}

void TestForm1Layout::listsStartEmpty() {
    Form1Fixture f;
    for (QListView *list : {f->List1, f->List2, f->List3, f->List4, f->List5, f->List7, f->List8}) {
        QCOMPARE(list->model()->rowCount(), 0);
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    }
}

void TestForm1Layout::hiddenListLiesUnderTimeColumn() {
    Form1Fixture f;
    QVERIFY(f.Show());
    QWidget *client = f->centralWidget();
    QCOMPARE(f->List1->geometry(), f->List8->geometry());
    QCOMPARE(f->List1->parentWidget(), f->List8->parentWidget());
    // Later siblings are drawn over earlier ones.
    const QObjectList stack = client->children();
    QVERIFY(stack.indexOf(f->List1) < stack.indexOf(f->List8));

    // Whatever the user points at in that rectangle is List8.
    const QRect rect = f->List1->geometry();
    for (const QPoint p :
         {rect.center(), rect.topLeft() + QPoint(2, 2), rect.bottomRight() - QPoint(2, 2)})
        QCOMPARE(controlOf(client->childAt(p), client), f->List8);

    // A click there never puts the focus into List1.
    Ui::Click(f->Command2);
    QTest::mouseClick(f->List8->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(!f->List1->hasFocus());
    QCOMPARE(f->List1->focusPolicy(), Qt::NoFocus);
}

void TestForm1Layout::trayPicturesLieUnderLamps() {
    Form1Fixture f;
    QVERIFY(f.Show());
    QWidget *client = f->centralWidget();
    for (QLabel *picture : {f->Image1[1], f->Image1[2]}) {
        QWidget *seen = controlOf(client->childAt(picture->geometry().center()), client);
        QVERIFY(seen != picture);
        QVERIFY(seen->objectName().startsWith(u"Label8_"_s));
    }
}

void TestForm1Layout::menu() {
    Form1Fixture f;
    const QList<QAction *> top = f->menuBar()->actions();
    QCOMPARE(top.size(), 2);
    QCOMPARE(top[0]->text(), u"File"_s);
    QVERIFY(top[0]->menu());
    const QList<QAction *> items = top[0]->menu()->actions();
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0]->text(), u"Exit"_s);
    QCOMPARE(items[0], f->Exit);
    QCOMPARE(top[1]->text(), u"Help"_s);
    QCOMPARE(top[1]->menu(), nullptr);
    QCOMPARE(top[1], f->Help);
}

void TestForm1Layout::colours_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("colour");

    const QColor descriptive(0, 192, 192), header(0, 255, 0), option(0, 192, 0);
    for (const char *name : {"Label1", "Label2", "Label3", "Label4", "Label6", "Label7", "Label10",
                             "Label11", "Label12", "Label14"})
        QTest::newRow(name) << QString::fromLatin1(name) << descriptive;
    for (const char *name :
         {"Label9_0", "Label9_1", "Label9_2", "Label9_3", "Label9_4", "Label13", "Label5"})
        QTest::newRow(name) << QString::fromLatin1(name) << header;
    for (const char *name : {"Option1", "Option2", "Check1"})
        QTest::newRow(name) << QString::fromLatin1(name) << option;
}

void TestForm1Layout::colours() {
    QFETCH(QString, name);
    QFETCH(QColor, colour);

    Form1Fixture f;
    auto *w = f->centralWidget()->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly);
    QVERIFY2(w, qPrintable(name));
    QVERIFY(w->autoFillBackground());
    // The colour it fills its background with, whatever kind of control it is.
    QCOMPARE(w->palette().color(w->backgroundRole()), colour);
    if (auto *label = qobject_cast<QLabel *>(w))
        QCOMPARE(label->frameWidth(), 1); // a single-line border
}

void TestForm1Layout::lampsStartAlike() {
    Form1Fixture f;
    const QColor first = f->Label8[0]->palette().color(QPalette::Window);
    // The desktop's border grey: no hue, and none of the label colours.
    QCOMPARE(first.red(), first.green());
    QCOMPARE(first.green(), first.blue());
    for (QLabel *lamp : f->Label8) {
        QVERIFY(lamp->autoFillBackground());
        QCOMPARE(lamp->palette().color(QPalette::Window), first);
        QCOMPARE(lamp->text(), QString());
    }
}

void TestForm1Layout::focusStartsAtCalendar() {
    Form1Fixture f;
    QVERIFY(f.Show());
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    QCOMPARE(controlOf(focus, f->centralWidget()), f->Calendar1);
}

void TestForm1Layout::tabOrder() {
    Form1Fixture f;
    QVERIFY(f.Show());
    QWidget *client = f->centralWidget();

    // Walk the focus chain as Tab does: controls that take focus by Tab, are
    // shown and enabled; a compound control counts once.
    QStringList order;
    QWidget *w = f->Calendar1;
    for (int guard = 0; guard < 1000; ++guard) {
        QWidget *target = w->focusProxy() ? w->focusProxy() : w;
        if ((target->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(f.window.get()) &&
            w->isEnabled() && client->isAncestorOf(w)) {
            const QString name = controlOf(w, client)->objectName();
            if (order.isEmpty() || order.last() != name)
                order.append(name);
        }
        w = w->nextInFocusChain();
        if (w == f->Calendar1)
            break;
    }
    order.removeDuplicates(); // the calendar's own parts come back at the end of the cycle
    const QStringList expected = {u"Calendar1"_s, u"Command2"_s, u"Text2"_s,    u"Command4"_s,
                                  u"Text3"_s,     u"Text4"_s,    u"Option1"_s,  u"Option2"_s,
                                  u"Combo1"_s,    u"Combo2"_s,   u"Command5"_s, u"Text5"_s,
                                  u"Text1"_s,     u"List8"_s,    u"Text7"_s};
    QCOMPARE(order, expected);
}

void TestForm1Layout::tabKeyWalksTheOrder_data() {
    QTest::addColumn<bool>("email");
    QTest::newRow("Pop Up chosen") << false;
    QTest::newRow("E-mail chosen") << true;
}

void TestForm1Layout::tabKeyWalksTheOrder() {
    QFETCH(bool, email);

    Form1Fixture f;
    QVERIFY(f.Show());
    QWidget *client = f->centralWidget();
    Ui::Click(email ? f->Option2 : f->Option1);
    // From the calendar on, each Tab press moves to the next control; the
    // two delivery options are one stop, at the chosen one (arrows move
    // between them), as on the desktop's own dialogs.
    f->Calendar1->setFocus();
    QTRY_COMPARE(controlOf(QApplication::focusWidget(), client), f->Calendar1);
    QStringList visited;
    for (int i = 0; i < 14; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(controlOf(QApplication::focusWidget(), client)->objectName());
    }
    const QString option = email ? u"Option2"_s : u"Option1"_s;
    const QStringList expected = {u"Command2"_s, u"Text2"_s,    u"Command4"_s, u"Text3"_s,
                                  u"Text4"_s,    option,        u"Combo1"_s,   u"Combo2"_s,
                                  u"Command5"_s, u"Text5"_s,    u"Text1"_s,    u"List8"_s,
                                  u"Text7"_s,    u"Calendar1"_s};
    QCOMPARE(visited, expected);
}

void TestForm1Layout::everyControlHasAName() {
    Form1Fixture f;
    QWidget *client = f->centralWidget();
    const QList<QWidget *> controls =
        client->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(controls.size() >= 50);
    for (QWidget *w : controls) {
        const QString name = accessibleName(w);
        if (auto *label = qobject_cast<QLabel *>(w); label && !label->text().isEmpty()) {
            QVERIFY2(name == label->text(), qPrintable(w->objectName()));
        } else if (label && label->text().isEmpty() && label->accessibleName().isEmpty()) {
            // The result line and the chosen date: read as their text once written.
            QVERIFY2(w == f->Label2 || w == f->Label11, qPrintable(w->objectName()));
        } else {
            QVERIFY2(!name.trimmed().isEmpty(), qPrintable(w->objectName()));
        }
    }
    // The date label reads as what it shows once a day has been chosen.
    QVERIFY(f.Show());
    QVERIFY(Ui::ClickDay(f->Calendar1, QDate(2001, 3, 5)));
    QCOMPARE(accessibleName(f->Label11), u"05, Mar, 2001"_s);
}

void TestForm1Layout::nothingClipped() {
    Form1Fixture f;
    QVERIFY(f.Show());
    QWidget *client = f->centralWidget();
    for (QWidget *w : client->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        const QString text = shownText(w);
        if (text.isEmpty() || qobject_cast<QPlainTextEdit *>(w))
            continue;
        const QFontMetrics metrics = w->fontMetrics();
        const int needed = metrics.horizontalAdvance(text);
        int room = 0;
        int height = 0;
        if (auto *label = qobject_cast<QLabel *>(w)) {
            room = label->contentsRect().width() - 2 * label->margin();
            height = label->contentsRect().height();
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            QStyleOptionButton option;
            option.initFrom(button);
            const QStyle::SubElement element =
                qobject_cast<QRadioButton *>(w) ? QStyle::SE_RadioButtonContents
                : qobject_cast<QCheckBox *>(w)  ? QStyle::SE_CheckBoxContents
                                                : QStyle::SE_PushButtonContents;
            const QRect contents = w->style()->subElementRect(element, &option, w);
            room = contents.width();
            height = contents.height();
        } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            room = edit->contentsRect().width() - 4; // the box's own side margins
            height = edit->contentsRect().height();
        } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
            room = combo->lineEdit()->contentsRect().width() - 4;
            height = combo->lineEdit()->contentsRect().height();
        } else {
            continue;
        }
        QVERIFY2(needed <= room,
                 qPrintable(u"%1: \"%2\" needs %3 px, has %4"_s.arg(w->objectName(), text)
                                .arg(needed)
                                .arg(room)));
        QVERIFY2(metrics.height() <= height,
                 qPrintable(u"%1: text %2 px high, room %3"_s.arg(w->objectName())
                                .arg(metrics.height())
                                .arg(height)));
    }
}

QTEST_MAIN(TestForm1Layout)
#include "tst_form1layout.moc"
