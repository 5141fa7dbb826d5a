// Every text of the main window and of a notice reads at 4.5:1 or better
// (WCAG 2) on a light and on a dark desktop, in every state of the control,
// and when the desktop turns from one to the other while the windows are open.
#include "form1fixture.h"
#include "form2.h"
#include "mailprogressview.h"

#include "monthcalendar.h"
#include "queuecolumn.h"
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <map>

using namespace Qt::StringLiterals;

namespace {

constexpr double Least = 4.5;

// WCAG 2 relative luminance and contrast ratio, worked out here on their own
// so that the check does not lean on the program's sums.
double luminance(const QColor &c) {
    const auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double ratio(const QColor &a, const QColor &b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A dark desktop as Fusion's dark scheme has it, disabled text and all.
QPalette darkPalette() {
    const QColor window(0x35, 0x35, 0x35), base(0x2a, 0x2a, 0x2a), dimmed(130, 130, 130);
    QPalette p(Qt::white, window, window.lighter(150), window.darker(150), window.darker(130),
               Qt::white, Qt::white, base, window);
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(48, 140, 198));
    p.setColor(QPalette::HighlightedText, Qt::white);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, dimmed);
    p.setColor(QPalette::Disabled, QPalette::Base, window);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(145, 145, 145));
    return p;
}

// The widget that draws a control's text: a scroll area's viewport, an
// editable combo box's line edit, or the control itself.
QWidget *textWidget(QWidget *w) {
    if (auto *area = qobject_cast<QAbstractScrollArea *>(w))
        return area->viewport();
    if (auto *combo = qobject_cast<QComboBox *>(w); combo && combo->lineEdit())
        return combo->lineEdit();
    return w;
}

// Writes down each colour group in which `w`'s text reads below 4.5:1. A
// control can be disabled, and so can its whole window; the inactive group
// draws it while another window has the focus.
void checkText(QWidget *control, const QString &name, QStringList &faults) {
    const QWidget *w = textWidget(control);
    const QPalette::ColorRole text = w->foregroundRole(), background = w->backgroundRole();
    const QPalette &p = w->palette();
    for (auto [group, groupName] : {std::pair{QPalette::Active, "active"},
                                    {QPalette::Inactive, "inactive"},
                                    {QPalette::Disabled, "disabled"}}) {
        const double r = ratio(p.color(group, text), p.color(group, background));
        if (r < Least)
            faults << u"%1 %2: %3 on %4 is %5:1"_s
                          .arg(name, QLatin1String(groupName), p.color(group, text).name(),
                               p.color(group, background).name())
                          .arg(r, 0, 'f', 2);
    }
    // A control on the desktop's own background follows the desktop: its text,
    // and the background it shows while disabled, are the desktop's.
    const QPalette desktop = QApplication::palette();
    if (p.color(QPalette::Active, background) == desktop.color(QPalette::Active, background)) {
        const QColor disabled = p.color(QPalette::Disabled, background);
        if (p.color(QPalette::Active, text) != desktop.color(QPalette::Active, text) ||
            (disabled != desktop.color(QPalette::Disabled, background) &&
             disabled != desktop.color(QPalette::Active, background)))
            faults << u"%1 does not follow the desktop: disabled background %2"_s.arg(
                name, disabled.name());
    }
    // A selected row of a disabled column reads like one of the Time column.
    if (qobject_cast<QueueColumn *>(control)) {
        const auto pair = [&p](QPalette::ColorGroup group) {
            return ratio(p.color(group, QPalette::HighlightedText),
                         p.color(group, QPalette::Highlight));
        };
        if (pair(QPalette::Disabled) + 0.01 < std::min(Least, pair(QPalette::Active)))
            faults << u"%1 disabled selection: %2:1"_s.arg(name).arg(pair(QPalette::Disabled));
    }
}

// The contrast of the text a widget shows on screen: its commonest pixel
// (the background) against the pixel furthest from it.
double shownContrast(QWidget *w) {
    const QImage image = w->grab().toImage();
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    const auto common = std::ranges::max_element(counts, {}, &std::pair<const QRgb, int>::second);
    const QColor background(common->first);
    double best = 1;
    for (const auto &[pixel, count] : counts)
        best = std::max(best, ratio(QColor(pixel), background));
    return best;
}

// The month calendar: every day and day name against its cell, weekends still
// red, and the month header and the chosen day against the highlight.
void checkCalendar(MonthCalendar *calendar, QStringList &faults) {
    QCalendarWidget *widget = calendar->calendarWidget();
    auto *days = widget->findChild<QTableView *>(u"qt_calendar_calendarview"_s);
    QVERIFY(days);
    const QAbstractItemModel *model = days->model();
    QColor weekday;
    QList<QColor> weekend;
    for (int row = 0; row < model->rowCount(); ++row)
        for (int column = 0; column < model->columnCount(); ++column) {
            const QModelIndex cell = model->index(row, column);
            const QVariant fore = model->data(cell, Qt::ForegroundRole);
            const QVariant back = model->data(cell, Qt::BackgroundRole);
            const QColor text = fore.isValid() ? fore.value<QBrush>().color()
                                               : days->palette().color(QPalette::Text);
            const QColor behind = back.isValid() ? back.value<QBrush>().color()
                                                 : days->palette().color(QPalette::Base);
            const double r = ratio(text, behind);
            if (r < Least)
                faults << u"calendar %1 (row %2): %3 on %4 is %5:1"_s
                              .arg(model->data(cell).toString())
                              .arg(row)
                              .arg(text.name(), behind.name())
                              .arg(r, 0, 'f', 2);
            // The weeks start on Sunday: the first and last columns are the weekend.
            if (row == 3 && (column == 0 || column == 6))
                weekend.append(text);
            else if (row == 3)
                weekday = text;
        }
    for (const QColor &c : std::as_const(weekend)) {
        const int hue = c.hslHue();
        if (c == weekday || c.hslSaturation() < 128 || (hue > 15 && hue < 345))
            faults << u"calendar weekend %1 is not a red apart from weekdays (%2)"_s.arg(
                c.name(), weekday.name());
    }
    const QPalette p = widget->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        const double r =
            ratio(p.color(group, QPalette::HighlightedText), p.color(group, QPalette::Highlight));
        if (r < Least)
            faults << u"calendar highlight: %1:1"_s.arg(r, 0, 'f', 2);
    }
    // The header as drawn: its commonest colour is the bar, the month's name on it.
    auto *month = widget->findChild<QToolButton *>(u"qt_calendar_monthbutton"_s);
    auto *bar = widget->findChild<QWidget *>(u"qt_calendar_navigationbar"_s);
    QVERIFY(month && bar);
    QFont big = month->font();
    big.setPointSize(14);
    big.setBold(true); // broad strokes whose cores are the text's own colour
    month->setFont(big);
    if (const double drawn = shownContrast(bar); drawn < Least)
        faults << u"calendar month header as drawn: %1:1"_s.arg(drawn, 0, 'f', 2);
}

} // namespace

class TestReadableText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void everyTextReads_data();
    void everyTextReads();

private:
    QPalette m_light;
};

void TestReadableText::initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
    m_light = QApplication::palette();
}

void TestReadableText::cleanup() {
    QApplication::setPalette(m_light);
    QCoreApplication::processEvents();
}

void TestReadableText::everyTextReads_data() {
    QTest::addColumn<QPalette>("opened");
    QTest::addColumn<QPalette>("shown");
    QTest::newRow("light") << m_light << m_light;
    QTest::newRow("dark") << darkPalette() << darkPalette();
    QTest::newRow("light turned dark") << m_light << darkPalette();
    QTest::newRow("dark turned light") << darkPalette() << m_light;
}

void TestReadableText::everyTextReads() {
    QFETCH(QPalette, opened);
    QFETCH(QPalette, shown);

    QApplication::setPalette(opened);
    Form1Fixture f;
    Ui::Entry entry;
    entry.date = Form1Fixture::DefaultNow.date().addDays(1);
    entry.hour = u"10"_s;
    entry.minute = u"30"_s;
    entry.message = u"Water the ficus"_s;
    Ui::Store(f.form(), entry);
    Ui::ClickRow(f->List8, 0);
    auto *notice = new Form2;
    notice->setAttribute(Qt::WA_DeleteOnClose, false);
    const std::unique_ptr<Form2> owned(notice);
    notice->SetText(u" 07Dec2026 10:30\nWater the ficus"_s);
    // Large, bold letters, so that the cores of their strokes are the text's own colour.
    QFont big = notice->Text1->font();
    big.setPointSize(20);
    big.setBold(true);
    for (QWidget *w : std::initializer_list<QWidget *>{notice->Text1, f->Text6, f->Command1})
        w->setFont(big);
    QVERIFY(f.Show());
    notice->show();
    QApplication::setPalette(shown);
    QCoreApplication::processEvents(); // the windows take the palette change from their queue

    QStringList faults;
    for (QWidget *w : f->centralWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        checkText(w, w->objectName(), faults);
    MailProgressView lamps(f->Text1, f->Label2, f->Label8);
    for (Lamp lamp : {Lamp::Idle, Lamp::Passed, Lamp::BodySent, Lamp::Succeeded, Lamp::Failed}) {
        lamps.SetLamp(0, lamp);
        checkText(f->Label8[0], u"Label8_0 lit %1"_s.arg(int(lamp)), faults);
    }
    for (QWidget *w : std::initializer_list<QWidget *>{notice->Text1, notice->Command1})
        checkText(w, u"Form2."_s + w->objectName(), faults);
    checkCalendar(f->Calendar1, faults);

    // As drawn, where the style may shade a face away from the palette's colour.
    f->Command1->setEnabled(false); // as every tick leaves Remove
    f->Command1->resize(240, 60);   // room for its large letters
    QVERIFY(!notice->Text1->isEnabled());
    QVERIFY(!f->Text6->isEnabled());
    for (auto [w, name] : {std::pair{notice->Text1->viewport(), "Form2.Text1"},
                           {f->Text6->viewport(), "Text6"},
                           {static_cast<QWidget *>(f->Command1), "Command1"}}) {
        const double drawn = shownContrast(w);
        if (drawn < Least)
            faults << u"%1 as drawn: %2:1"_s.arg(QLatin1String(name)).arg(drawn, 0, 'f', 2);
    }
    for (const QString &fault : std::as_const(faults))
        qWarning("%s", qPrintable(fault));
    QVERIFY2(faults.isEmpty(), qPrintable(u"%1 faults, listed above"_s.arg(faults.size())));
}

QTEST_MAIN(TestReadableText)
#include "tst_readabletext.moc"
