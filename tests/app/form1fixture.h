#pragma once

#include "form1.h"
#include "prompts.h"
#include "recordingshell.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QListView;
class QPlainTextEdit;
class MonthCalendar;

// Stands in for the program's message boxes: writes down every box and
// answers it with the next scripted button, OK once the script is used up.
class RecordingPrompts : public Prompts {
public:
    struct Box {
        QString prompt;
        int buttons = vbOKOnly;
        QString title;
        QPointer<QWidget> parent;
    };
    QList<Box> boxes;
    QList<int> answers;

    int MsgBox(QWidget *parent, const QString &prompt, int buttons = vbOKOnly,
               const QString &title = QString()) override;
    // The texts of the boxes shown so far, in order.
    QStringList Texts() const;
};

// The system the version query reports.
struct ReportedSystem {
    std::uint32_t platformId = VER_PLATFORM_WIN32_NT;
    std::uint32_t major = 10;
    std::uint32_t minor = 0;
    bool answers = true;         // false: the query fails and fills nothing
    std::uint32_t sizeAsked = 0; // the record size the program passed in
    int queries = 0;
    VersionQuery query = {}; // when set, answers in place of the fields above
};

// A main window with a pinned clock, recording message boxes and a recording
// tray shell. Timers are stopped unless the caller wants them.
class Form1Fixture {
public:
    static inline const QDateTime DefaultNow{QDate(2026, 12, 6), QTime(9, 38, 52)};

    explicit Form1Fixture(ReportedSystem system = {}, std::int32_t taskbar = 1,
                          bool stopTimers = true);
    ~Form1Fixture();
    Form1Fixture(const Form1Fixture &) = delete;
    Form1Fixture &operator=(const Form1Fixture &) = delete;

    Form1 &form() { return *window; }
    Form1 *operator->() { return window.get(); }

    void StopTimers();
    // Runs start-up in this fixture's own empty working directory (or in
    // `directory`), then goes back to the directory the test ran in.
    Form1::StartOutcome Load(const QString &directory = QString());
    // Shows the window and waits until it is active, so focus can be seen.
    bool Show();

    QTemporaryDir workDir;
    RecordingPrompts prompts;
    QDateTime now = DefaultNow;
    RecordingShell *shell = nullptr; // owned by the window
    ReportedSystem system;
    std::unique_ptr<Form1> window;
};

// What a user does with the window's controls.
namespace Ui {

// Replaces a box's text by typing, as the user would.
void Type(QLineEdit *box, const QString &text);
void Type(QComboBox *box, const QString &text);
void Type(QPlainTextEdit *box, const QString &text);
void Click(QAbstractButton *button);
// Clicks the day's cell in the calendar, first turning to its month.
bool ClickDay(MonthCalendar *calendar, QDate date);
// Clicks row `row` of a list (with Ctrl to toggle a selected row off).
void ClickRow(QListView *list, int row, Qt::KeyboardModifiers modifiers = {},
              Qt::MouseButton button = Qt::LeftButton);
// The texts a list shows, one a row.
QStringList Items(const QListView *list);
// The row a list shows highlighted, -1 when none.
int SelectedRow(const QListView *list);

// One notification as the user enters it.
struct Entry {
    QDate date;
    QString hour;
    QString minute;
    QString message;
    QString subject = QStringLiteral("Reminder.");
    QString recipient;
    bool email = false;
    QString originator = QStringLiteral("me@example.org");
};
// Fills the entry in and presses Store.
void Store(Form1 &form, const Entry &entry);

} // namespace Ui
