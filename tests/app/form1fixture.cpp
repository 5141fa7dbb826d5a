#include "form1fixture.h"

#include "monthcalendar.h"

#include "queuecolumn.h"
#include <QAbstractButton>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

// ---- RecordingPrompts -----------------------------------------------------

int RecordingPrompts::MsgBox(QWidget *parent, const QString &prompt, int buttons,
                             const QString &title) {
    boxes.append({prompt, buttons, title, parent});
    return answers.isEmpty() ? vbOK : answers.takeFirst();
}

QStringList RecordingPrompts::Texts() const {
    QStringList texts;
    for (const Box &box : boxes)
        texts.append(box.prompt);
    return texts;
}

// ---- Form1Fixture ---------------------------------------------------------

Form1Fixture::Form1Fixture(ReportedSystem reported, std::int32_t taskbar, bool stopTimers)
    : system(reported) {
    auto recordingShell = std::make_unique<RecordingShell>();
    recordingShell->taskbar = taskbar;
    shell = recordingShell.get();

    Form1Services services;
    services.Now = [this] {
        return now;
    };
    services.prompts = &prompts;
    services.shell = std::move(recordingShell);
    services.versionQuery = [this](OSVERSIONINFO &info) {
        ++system.queries;
        system.sizeAsked = info.dwOSVersionInfoSize;
        if (system.query)
            return system.query(info);
        if (!system.answers)
            return false;
        info.dwPlatformId = system.platformId;
        info.dwMajorVersion = system.major;
        info.dwMinorVersion = system.minor;
        return true;
    };
    window = std::make_unique<Form1>(std::move(services));
    if (stopTimers)
        StopTimers();
}

Form1Fixture::~Form1Fixture() {
    window.reset();
}

void Form1Fixture::StopTimers() {
    window->Timer1->stop();
    window->Timer2->stop();
    window->Timer3->stop();
}

Form1::StartOutcome Form1Fixture::Load(const QString &directory) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(directory.isEmpty() ? workDir.path() : directory);
    const Form1::StartOutcome outcome = window->Form_Load();
    QDir::setCurrent(previous);
    return outcome;
}

bool Form1Fixture::Show() {
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get());
}

// ---- Ui -------------------------------------------------------------------

namespace Ui {

namespace {

void clearByKeys(QWidget *box) {
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
}

} // namespace

void Type(QLineEdit *box, const QString &text) {
    clearByKeys(box);
    QTest::keyClicks(box, text);
}

void Type(QComboBox *box, const QString &text) {
    Type(box->lineEdit(), text);
}

void Type(QPlainTextEdit *box, const QString &text) {
    clearByKeys(box);
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, lines[i]);
    }
}

void Click(QAbstractButton *button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

bool ClickDay(MonthCalendar *calendar, QDate date) {
    calendar->calendarWidget()->setCurrentPage(date.year(), date.month());
    auto *view = calendar->calendarWidget()->findChild<QTableView *>(
        QStringLiteral("qt_calendar_calendarview"));
    if (view == nullptr)
        return false;
    QAbstractItemModel *model = view->model();
    const QString day = QString::number(date.day());
    // Days of the neighbouring months fill the first and last rows: an early
    // day of this month is the first cell with its number, a late one the last.
    const bool early = date.day() <= 15;
    QModelIndex cell;
    for (int r = 0; r < model->rowCount(); ++r) {
        const int row = early ? r : model->rowCount() - 1 - r;
        for (int column = 0; column < model->columnCount() && !cell.isValid(); ++column) {
            const QModelIndex index = model->index(row, column);
            if (model->data(index, Qt::DisplayRole).toString() == day)
                cell = index;
        }
        if (cell.isValid())
            break;
    }
    if (!cell.isValid())
        return false;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(cell).center());
    return calendar->Value() == date;
}

void ClickRow(QListView *list, int row, Qt::KeyboardModifiers modifiers, Qt::MouseButton button) {
    const QRect rect = list->visualRect(list->model()->index(row, list->modelColumn()));
    QTest::mouseClick(list->viewport(), button, modifiers, rect.center());
}

QStringList Items(const QListView *list) {
    QStringList items;
    const QAbstractItemModel *model = list->model();
    for (int row = 0; row < model->rowCount(); ++row)
        items.append(model->index(row, list->modelColumn()).data().toString());
    return items;
}

int SelectedRow(const QListView *list) {
    const QModelIndexList rows = list->selectionModel()->selectedRows(list->modelColumn());
    return rows.size() == 1 ? rows.first().row() : -1;
}

void Store(Form1 &form, const Entry &entry) {
    Click(entry.email ? form.Option2 : form.Option1);
    ClickDay(form.Calendar1, entry.date);
    Type(form.Combo1, entry.hour);
    Type(form.Combo2, entry.minute);
    Type(form.Text2, entry.message);
    Type(form.Text5, entry.subject);
    Type(form.Text4, entry.recipient);
    Type(form.Text7, entry.originator);
    Click(form.Command2);
}

} // namespace Ui
