#pragma once

#include "form1controls.h"
#include "mailprogressview.h"
#include "mailsender.h"
#include "module1.h"
#include "module2.h"
#include "module3.h"
#include "noticewindows.h"
#include "notificationqueue.h"
#include "osversion.h"
#include "schedulertick.h"
#include "sessionview.h"
#include "startupstep.h"
#include "storecheck.h"
#include "trayshell.h"

#include <QDateTime>
#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QItemSelectionModel;
class QueueColumn;
class QuietRestore;
class QPlainTextEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class Form2;
class MonthCalendar;
class Prompts;
class Winsock;

// What the main window takes from outside, so that tests can pin the clock,
// answer the message boxes, choose the tray and the reported system.
struct Form1Services {
    std::function<QDateTime()> Now;   // default: the local clock
    Prompts *prompts = nullptr;       // default: real message boxes
    std::unique_ptr<TrayShell> shell; // default: the desktop's tray
    VersionQuery versionQuery;        // default: the running system
};

// The main window: the entry form, the queue table, the mail transfer's
// progress, and the handlers that tie them together.
class Form1 : public QMainWindow, public Form1Controls, private TickWindow {
    Q_OBJECT
public:
    enum class StartOutcome { Normal, Refused, BrokenOff };

    explicit Form1(Form1Services services = {}, QWidget *parent = nullptr);
    ~Form1() override;

    // Start-up: runs once, before the window is first shown.
    StartOutcome Form_Load();

    // The window's own texts.
    static inline const QString AppTitle = QStringLiteral("Tallowick");
    static inline const QString TrayTip = QStringLiteral("Tallowick32");
    static inline const QString ExitQuestion = QStringLiteral("Are you sure you want to quit ?");
    static inline const QString ExitTitle = QStringLiteral("Exit Confirmation");
    static inline const QString CannotHide = QStringLiteral(
        "The window cannot be hidden: no tray icon could be set up to bring it back.");
    static inline const QString DefaultRecipient = QStringLiteral("someone@example.com");
    static inline const QString QueueFile = QStringLiteral("Tallowick.txt");

    bool Ongoing = false;
    bool Hooked() const { return m_module2.Hooked(); }
    Module1 &MailModule() { return *m_module1; }
    MailSender &Mail() { return *m_sender; }
    Module2 &TrayModule() { return m_module2; }
    NotificationQueue &Queue() { return m_queue; }
    // The row highlighted in the table (the one Remove deletes), -1 when none.
    int SelectedRow() const;
    bool Unloaded() const { return m_notices.IsWindowClosed(); }
    // The notice windows the program opened that are still open, oldest first.
    QList<Form2 *> Notices() const { return m_notices.Notices(); }
    void CloseNotices() { m_notices.CloseNotices(); }

    Winsock *Winsock1;

Q_SIGNALS:
    // The main window has closed and no notice window is left: the program ends.
    void ProgramEnded();
    // The main window has closed; notice windows may still be open.
    void WindowClosed();

public Q_SLOTS:
    // Handlers (public so tests can drive them as the events would).
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Command1_Click();
    void Command2_Click();
    void Command4_Click();
    void Command5_Click();
    void Exit_Click();
    void Help_Click();
    void List8_Click();
    void Calendar1_Click();
    void ShowTrayIcon();
    // Brings the window to the front, from the tray as a double click on its
    // icon does when it is hidden; nothing once the window has closed.
    void BringBack();

public:
    // Sends one entry's mail with the server and originator boxes as they stand now;
    // `done` gets the session's outcome once it has ended.
    void DispatchMail(const MailJob &mail, MailSender::Done done);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Unload();
    // Asks for attention when the desktop did not bring the window forward.
    void alertUnlessActivated();

    void buildControls();
    // Start-up's steps that belong to the window.
    StartupStep SetDefaults();
    StartupStep FillTimeLists();
    StartupStep SetUpTray();
    void connectHandlers();
    void ConfirmExit();
    enum class LeaveRequest { CloseWindow, ExitProgram };
    // Closes the window, and for an exit the notice windows with it.
    void Leave(LeaveRequest how);
    void SetRemoveEnabled(bool enabled);
    // Remove is enabled once the user has picked a row, while no tick runs and the row
    // selected is not the one whose mail is being sent.
    void FollowSelection();
    // The tick has delivered or handed over what was due: the queue is the user's again.
    void EndTick();
    // The mode the option buttons choose.
    EntryMode ChosenMode() const;
    // Until the user picks a date, the calendar's date is today's, also after midnight.
    void FollowTheDay(QDate today);

    // TickWindow: how a tick delivers.
    DeliveryOutcome ShowNotice(const QString &text) override;
    // Un-minimises the window, leaving the keyboard where the person types.
    void restoreWithoutFocus();
    bool Leaving() const override { return m_notices.IsWindowClosed(); }

    std::function<QDateTime()> Now;
    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts *m_prompts;
    std::unique_ptr<TrayShell> m_shell;
    QuietRestore *m_quietRestore = nullptr; // made at the first restore, a child of the window
    VersionQuery m_versionQuery;
    OSVERSIONINFO m_version;
    NotificationQueue m_queue;
    QItemSelectionModel *m_selection = nullptr; // the table's one selection
    std::unique_ptr<MailProgressView> m_progress;
    std::unique_ptr<Module1> m_module1;
    MailSender *m_sender = nullptr;
    SchedulerTick *m_tick = nullptr;
    // The user picked a row since the last store, removal or calendar click.
    bool m_rowPicked = false;
    Module2 m_module2;
    Module3 m_module3;
    NoticeWindows m_notices;
};
