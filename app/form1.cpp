#include "form1.h"

#include "clockcaption.h"
#include "form1layout.h"
#include "form2.h"
#include "icons.h"
#include "monthcalendar.h"
#include "prompts.h"
#include "queuecolumn.h"
#include "quietrestore.h"
#include "startupstep.h"
#include "storecheck.h"
#include "traycallbackevent.h"
#include "trayshell.h"
#include "winsock.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWindow>

namespace {

constexpr std::uint32_t TrayIconId = 1;

} // namespace

Form1::Form1(Form1Services services, QWidget *parent)
    : QMainWindow(parent)
    , Now(services.Now ? std::move(services.Now) : [] { return QDateTime::currentDateTime(); })
    , m_ownPrompts(services.prompts ? nullptr : std::make_unique<MessageBoxPrompts>())
    , m_prompts(services.prompts ? services.prompts : m_ownPrompts.get())
    , m_shell(services.shell ? std::move(services.shell) : TrayShell::CreateDefault())
    , m_versionQuery(services.versionQuery ? std::move(services.versionQuery)
                                           : VersionQuery(&GetVersionEx))
    , m_module2(*m_shell) {
    buildControls();
    Winsock1 = new Winsock(this);
    Winsock1->setObjectName(QStringLiteral("Winsock1"));
    m_progress = std::make_unique<MailProgressView>(Text1, Label2, Label8);
    m_module1 = std::make_unique<Module1>(*Winsock1, *m_progress, Now);
    m_sender = new MailSender(
        [this](const MailJob &mail, MailSender::Done done) { DispatchMail(mail, std::move(done)); },
        Now, this);
    m_tick = new SchedulerTick(m_queue, *this, *m_sender, Now, this);
    connectHandlers();
    Timer1->start();
    Timer2->start();
    Timer3->start();
}

Form1::~Form1() {
    // Nothing of the program outlives its main window.
    m_notices.CloseNotices();
}

void Form1::buildControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ClockCaption::DesignCaption);
    // What a minimised window is called, by taskbars and by screen readers
    // (which read no caption then): the caption without its clock.
    setWindowIconText(ClockCaption::DesignCaption);
    setWindowIcon(Icons::MainWindow());
    setFont(Form1Layout::WindowFont());

    Form1Layout::BuildMenu(menuBar(), *this);
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(Form1Layout::ClientSize());
    setCentralWidget(client);
    Form1Layout::Build(client, m_queue, *this);
    m_selection = QueueColumn::Join(List8, {List2, List3, List4, List5, List7}, List1);
    Form1Layout::BuildTimers(this, *this);

    setFixedSize(sizeHint());
    move(Form1Layout::Position());
}

void Form1::connectHandlers() {
    connect(&m_notices, &NoticeWindows::ProgramEnded, this, &Form1::ProgramEnded);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Exit, &QAction::triggered, this, &Form1::Exit_Click);
    m_shell->SetExitCommand(this, [this] { Exit_Click(); }); // the tray menu's Exit item
    connect(Help, &QAction::triggered, this, &Form1::Help_Click);
    // Any change of the selection (mouse, keyboard), and a click on the row
    // already selected, count as the user's pick.
    connect(List8, &QListView::clicked, this, &Form1::List8_Click);
    connect(m_selection, &QItemSelectionModel::selectionChanged, this, &Form1::List8_Click);
    connect(Calendar1, &MonthCalendar::Click, this, &Form1::Calendar1_Click);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &Form1::Timer3_Timer);
    // The row whose mail goes out cannot be removed meanwhile.
    connect(m_sender, &MailSender::SendingChanged, this, &Form1::FollowSelection);
}

// ---- Start-up -------------------------------------------------------------

Form1::StartOutcome Form1::Form_Load() {
    // The steps in their order; the first that does not go on ends start-up.
    const std::array<std::function<StartupStep()>, 5> steps{
        [this] { return SetDefaults(); },
        [this] { return Startup::EnsureQueueFile(QueueFile); },
        [this] { return FillTimeLists(); },
        [this] {
            m_version = OSVERSIONINFO{};
            m_versionQuery(m_version); // a failed query leaves platform 0, refused
            return Startup::CheckPlatform(m_version);
        },
        [this] { return SetUpTray(); },
    };
    for (const auto &step : steps) {
        const StartupStep done = step();
        if (done.result == StartupStep::Result::GoOn)
            continue;
        m_prompts->MsgBox(this, done.message);
        if (done.result == StartupStep::Result::BreakOff)
            return StartOutcome::BrokenOff;
        Leave(LeaveRequest::ExitProgram);
        return StartOutcome::Refused;
    }
    return StartOutcome::Normal;
}

StartupStep Form1::SetDefaults() {
    Ongoing = false;
    Calendar1->Today(Now().date());
    Calendar1->setToolTip(Startup::CalendarToolTip);
    List1->setToolTip(Startup::ListToolTip);
    Text2->setToolTip(Startup::MessageToolTip);
    List8->setToolTip(Startup::ListToolTip);
    Option1->setChecked(true);
    m_module1->ReplyTimeout = Startup::ReplyTimeout;
    Text4->setText(DefaultRecipient);
    Text7->setText(Startup::OriginatorPrefix + Winsock::LocalHostName());
    return StartupStep::GoOn();
}

StartupStep Form1::FillTimeLists() {
    for (int hour = 0; hour <= 23; ++hour)
        Combo1->addItem(QStringLiteral("%1").arg(hour, 2, 10, QLatin1Char('0')));
    for (const char *minute : {"01", "10", "20", "30", "40", "50"})
        Combo2->addItem(QLatin1String(minute));
    Combo1->setEditText(QStringLiteral("00"));
    Combo2->setEditText(QStringLiteral("01"));
    return StartupStep::GoOn();
}

StartupStep Form1::SetUpTray() {
    if (m_module2.QueryTaskbar() != 1)
        return StartupStep::Refuse(Startup::NoTray);
    m_module2.InstallHook(this);
    m_module2.PrepareTrayRecord(this);
    return StartupStep::GoOn();
}

// ---- Clock, help, hide and exit -------------------------------------------

void Form1::Timer1_Timer() {
    const QDateTime now = Now();
    setWindowTitle(ClockCaption::Prefix + ClockCaption::ClockText(now));
    FollowTheDay(now.date());
}

void Form1::FollowTheDay(QDate today) {
    // Tallowick lives in the tray for days: the date it chose at start-up must not turn into
    // yesterday at midnight. A date the user picked (the label shows it) stays.
    if (Label11->text().isEmpty() && Calendar1->Value() != today)
        Calendar1->Today(today);
}

void Form1::Timer3_Timer() {}

void Form1::Help_Click() {
    m_module3.BuildHelpText();
    m_prompts->MsgBox(this, m_module3.HelpText);
}

void Form1::Command5_Click() {
    // Without the hook nothing would answer the tray icon's double click, and
    // the window could never be brought back.
    if (!m_module2.Hooked()) {
        m_prompts->MsgBox(this, CannotHide);
        return;
    }
    setEnabled(false);
    setVisible(false);
    ShowTrayIcon();
}

void Form1::ShowTrayIcon() {
    m_module2.AddTrayIcon(TrayIconId, TrayTip, QIcon(Image1[1]->pixmap()));
}

void Form1::BringBack() {
    if (m_notices.IsWindowClosed())
        return;
    // The person asks for the window: it may take the keyboard at once.
    if (m_quietRestore != nullptr)
        m_quietRestore->Release();
    alertUnlessActivated();
    if (isHidden()) {
        // As a double click on the tray icon brings it back: the icon goes with it.
        TrayCallbackEvent::Post(this, TrayIconId, WM_LBUTTONDBLCLK);
        return;
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    // A message box of the window's stays in front of it.
    if (QWidget *box = QApplication::activeModalWidget()) {
        box->raise();
        box->activateWindow();
    }
}

void Form1::alertUnlessActivated() {
    // A compositor may refuse the activation (native Wayland without a valid
    // token does) and say nothing: what has not turned active by then has not
    // been brought forward, and a taskbar marks it instead.
    constexpr std::chrono::milliseconds ActivationAnswer{1500};
    QTimer::singleShot(ActivationAnswer, this, [this] {
        if (Unloaded() || !isVisible())
            return;
        QWidget *front = QApplication::activeModalWidget();
        if (front == nullptr || !front->isVisible())
            front = this;
        if (!front->isActiveWindow())
            QApplication::alert(front);
    });
}

void Form1::Command4_Click() {
    ConfirmExit();
}

void Form1::Exit_Click() {
    ConfirmExit();
}

void Form1::ConfirmExit() {
    if (m_prompts->MsgBox(this, ExitQuestion, Prompts::vbOKCancel, ExitTitle) == Prompts::vbCancel)
        return;
    Leave(LeaveRequest::ExitProgram);
}

void Form1::Leave(LeaveRequest how) {
    close();
    switch (how) {
    case LeaveRequest::CloseWindow:
        break;
    case LeaveRequest::ExitProgram:
        m_notices.CloseNotices();
        break;
    }
}

void Form1::closeEvent(QCloseEvent *event) {
    if (!m_notices.IsWindowClosed())
        Form_Unload();
    event->accept();
}

void Form1::Form_Unload() {
    m_module2.DeleteTrayIcons(1);
    m_module2.RemoveHook(this);
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    // No mail starts any more, and the one under way ends as abandoned (its entry says so).
    m_sender->Stop();
    m_module1->Abandon();
    Q_EMIT WindowClosed();
    // Notice windows still open keep the program alive until the last one goes.
    m_notices.WindowClosed();
}

// ---- Store, removal, selection, calendar ----------------------------------

void Form1::SetRemoveEnabled(bool enabled) {
    Command1->setEnabled(enabled);
}

void Form1::Command2_Click() {
    if (Ongoing)
        return;
    const StoreInput input{ChosenMode(),          Text7->text(),      Text4->text(),
                           Text5->text(),         Calendar1->Value(), Combo1->currentText(),
                           Combo2->currentText(), m_queue.Count()};
    if (const std::optional<StoreRefusal> refusal = StoreCheck::Check(input)) {
        m_prompts->MsgBox(this, refusal->message);
        QWidget *box = BoxOf(refusal->box);
        if (auto *edit = qobject_cast<QLineEdit *>(box); edit && refusal->blankTheBox)
            edit->setText(QStringLiteral(" "));
        if (box)
            box->setFocus();
        return;
    }

    m_rowPicked = false;
    SetRemoveEnabled(false);
    // Always an entry: the check above lets through only a due time that reads back.
    if (const std::optional<QueueEntry> entry = StoreCheck::Entry(input, Text2->toPlainText()))
        m_queue.Append(*entry);
}

EntryMode Form1::ChosenMode() const {
    if (Option2->isChecked())
        return EntryMode::Mail;
    return EntryMode::PopUp;
}

void Form1::Command1_Click() {
    if (Ongoing)
        return;
    const int k = SelectedRow();
    // The mail being sent cannot be called back: the row stays until its session has ended,
    // and says then how it went.
    if (k >= 0 && m_queue.Key(k) == m_sender->Sending())
        return;
    // Nothing stays highlighted: the user picks the next row to remove afresh.
    // Cleared first: cleared after, it would lay every moved row out again.
    m_selection->clear(); // the current row too, or the view would select the next one
    m_queue.Remove(k);    // a mail of the row not yet started is withdrawn with it
    m_rowPicked = false;
    SetRemoveEnabled(false);
}

int Form1::SelectedRow() const {
    const QModelIndexList rows = m_selection->selectedRows(NotificationQueue::DisplayLineColumn);
    return rows.isEmpty() ? -1 : rows.first().row();
}

void Form1::List8_Click() {
    // Every visible column shows List8's row already: they share one selection.
    m_rowPicked = true;
    FollowSelection();
}

void Form1::FollowSelection() {
    const int k = SelectedRow();
    const bool beingSent = k >= 0 && m_queue.Key(k) == m_sender->Sending();
    SetRemoveEnabled(m_rowPicked && !Ongoing && !beingSent);
}

void Form1::Calendar1_Click() {
    m_rowPicked = false;
    SetRemoveEnabled(false);
    Label11->setText(DueTime::ChosenDateText(Calendar1->Value()));
}

// ---- Scheduler tick and mail dispatch -------------------------------------

void Form1::Timer2_Timer() {
    if (Ongoing)
        return;
    SetRemoveEnabled(false);
    Command2->setEnabled(false);
    Ongoing = true;
    Timer2->stop();
    // Pop-ups are shown and mail handed to the sender: the tick ends with that, however long
    // the servers take.
    m_tick->Run();
    EndTick();
}

void Form1::EndTick() {
    Command2->setEnabled(true);
    Ongoing = false;
    if (!m_notices.IsWindowClosed())
        Timer2->start();
    FollowSelection();
}

DeliveryOutcome Form1::ShowNotice(const QString &text) {
    restoreWithoutFocus();
    m_notices.OpenNotice(text);
    return DeliveryOutcome::Delivered();
}

void Form1::restoreWithoutFocus() {
    // The window says that it takes no keyboard until the window manager has
    // mapped it (see QuietRestore), not only while it asks to be mapped.
    if (m_quietRestore == nullptr)
        m_quietRestore = new QuietRestore(this);
    m_quietRestore->Restore();
}

void Form1::DispatchMail(const MailJob &mail, MailSender::Done done) {
    m_progress->SetEventsText(QString());
    const QString server = Text3->text();
    const QString originator = Text7->text();
    m_module1->SendMail(server, originator, originator, mail.recipient, mail.subject, mail.message,
                        [done = std::move(done)](const DeliveryOutcome &outcome) {
                            QApplication::beep();
                            done(outcome);
                        });
}
