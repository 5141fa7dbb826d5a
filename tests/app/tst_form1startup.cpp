// Start-up of the main window: the defaults the user finds, the queue file,
// the system and tray checks, and a start broken off by a failing step.
#include "form1fixture.h"
#include "form2.h"
#include "module1.h"
#include "monthcalendar.h"
#include "osversion.h"

#include "queuecolumn.h"
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QHostInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolTip>

#include <atomic>
#include <chrono>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

const QString QueueFileName = u"Tallowick.txt"_s;

// What the pointer resting at `pos` (in the window) shows as its tip.
QString tipAt(QWidget *window, QPoint pos) {
    // A tip fades out rather than going at once; start from none shown.
    QToolTip::hideText();
    if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000))
        return u"<an earlier tip stayed>"_s;
    QWidget *target = window->childAt(pos);
    if (target == nullptr)
        target = window;
    QHelpEvent help(QEvent::ToolTip, target->mapFrom(window, pos), window->mapToGlobal(pos));
    QApplication::sendEvent(target, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

QPoint centreIn(QWidget *window, QWidget *w) {
    return w->mapTo(window, w->rect().center());
}

QStringList comboItems(const QComboBox *box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

QStringList hours() {
    QStringList items;
    for (int h = 0; h < 24; ++h)
        items.append(u"%1"_s.arg(h, 2, 10, QLatin1Char('0')));
    return items;
}

} // namespace

class TestForm1Startup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void normalStartDefaults();
    void normalStartPreparesTray();
    void tipsWherePointerRests();
    void queueFile_data();
    void queueFile();
    void platforms_data();
    void platforms();
    void kernels_data();
    void kernels();
    void versionBeyond16Bits();
    void noTray_data();
    void noTray();
    void queueFileNameTakenByDirectory();
    void queueFileNameTakenByOtherEntry_data();
    void queueFileNameTakenByOtherEntry();
};

void TestForm1Startup::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestForm1Startup::cleanup() {
    QToolTip::hideText();
}

void TestForm1Startup::normalStartDefaults() {
    Form1Fixture f;
    f.now = QDateTime(QDate(2027, 5, 1), QTime(9, 5, 3));
    QSignalSpy ended(f.window.get(), &Form1::ProgramEnded);
    QCOMPARE(f.Load(), Form1::StartOutcome::Normal);

    QCOMPARE(f.prompts.Texts(), QStringList{});
    QVERIFY(!f->Ongoing);
    QVERIFY(f->Option1->isChecked());
    QVERIFY(!f->Option2->isChecked());
    QCOMPARE(comboItems(f->Combo1), hours());
    QCOMPARE(f->Combo1->currentText(), u"00"_s);
    QCOMPARE(comboItems(f->Combo2),
             (QStringList{u"01"_s, u"10"_s, u"20"_s, u"30"_s, u"40"_s, u"50"_s}));
    QCOMPARE(f->Combo2->currentText(), u"01"_s);
    QCOMPARE(f->Text7->text(), u"Reminder@"_s + QHostInfo::localHostName());
    // Something the user recognises as an address to overwrite.
    static const QRegularExpression address(u"^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$"_s);
    QVERIFY2(address.match(f->Text4->text()).hasMatch(), qPrintable(f->Text4->text()));
    QCOMPARE(f->MailModule().ReplyTimeout, qint16(50));
    QCOMPARE(f.system.queries, 1);
    QCOMPARE(f.system.sizeAsked, 148u);

    // Today, from the program's clock, selected and on show.
    QCOMPARE(f->Calendar1->Value(), QDate(2027, 5, 1));
    QCOMPARE(f->Calendar1->calendarWidget()->yearShown(), 2027);
    QCOMPARE(f->Calendar1->calendarWidget()->monthShown(), 5);

    // The window opens as it was laid out otherwise: shown, nothing in the tray.
    QVERIFY(f.Show());
    QVERIFY(f->isEnabled());
    QVERIFY(!f->Command1->isEnabled());
    QCOMPARE(f->List8->model()->rowCount(), 0);
    QVERIFY(f.shell->calls.isEmpty());
    QTest::qWait(50);
    QCOMPARE(ended.count(), 0);
}

void TestForm1Startup::normalStartPreparesTray() {
    Form1Fixture f;
    QCOMPARE(f.Load(), Form1::StartOutcome::Normal);

    QCOMPARE(f.shell->appBarMessages, QList<int>{ABM_GETTASKBARPOS});
    QCOMPARE(f.shell->appBarSizes, QList<std::uint32_t>{36u});
    QVERIFY(f->Hooked());
    const NotifyIconData &record = f->TrayModule().TrayIconData;
    QCOMPARE(record.cbSize, 88u);
    QCOMPARE(record.uFlags, 7u);
    QCOMPARE(record.uCallbackMessage, 0x601u);
    QCOMPARE(record.szTip, QString(64, QLatin1Char(' ')));
    QCOMPARE(record.hWnd.data(), static_cast<QWidget *>(f.window.get()));
}

void TestForm1Startup::tipsWherePointerRests() {
    Form1Fixture f;
    QCOMPARE(f.Load(), Form1::StartOutcome::Normal);
    QVERIFY(f.Show());
    QWidget *window = f.window.get();

    const QString calendarTip = u"Select the Date here"_s;
    QCOMPARE(f->Calendar1->toolTip(), calendarTip);
    QCOMPARE(f->List1->toolTip(), u"Messages queue"_s);
    QCOMPARE(f->List8->toolTip(), u"Messages queue"_s);
    QCOMPARE(f->Text2->toolTip(), u"Message to send"_s);

    // Where the user actually points: the days, the month title, the table.
    auto *days =
        f->Calendar1->calendarWidget()->findChild<QTableView *>(u"qt_calendar_calendarview"_s);
    QVERIFY(days);
    QCOMPARE(tipAt(window, centreIn(window, days)), calendarTip);
    QCOMPARE(tipAt(window, f->Calendar1->mapTo(window, QPoint(f->Calendar1->width() / 2, 8))),
             calendarTip);
    QCOMPARE(tipAt(window, centreIn(window, f->List8)), u"Messages queue"_s);
    QCOMPARE(tipAt(window, centreIn(window, f->Text2)), u"Message to send"_s);
    QCOMPARE(tipAt(window, centreIn(window, f->Text7)), u"Type here your e-mail address"_s);
    QCOMPARE(tipAt(window, centreIn(window, f->Text4)),
             u"Type here the destination e-mail address"_s);
    QCOMPARE(tipAt(window, centreIn(window, f->Text5)), u"Type here the e-mail subject"_s);
}

void TestForm1Startup::queueFile_data() {
    QTest::addColumn<QString>("existing"); // the name an existing file has; empty: none
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("missing: created empty") << QString() << QByteArray();
    QTest::newRow("existing empty file kept") << QueueFileName << QByteArray();
    QTest::newRow("existing content kept") << QueueFileName << QByteArray("kept\r\nas it is\n");
    QTest::newRow("lower-case name kept, none added")
        << u"tallowick.txt"_s << QByteArray("kept\r\n");
    QTest::newRow("upper-case name kept, none added") << u"TALLOWICK.TXT"_s << QByteArray();
}

void TestForm1Startup::queueFile() {
    QFETCH(QString, existing);
    QFETCH(QByteArray, content);

    Form1Fixture f;
    const QString name = existing.isEmpty() ? QueueFileName : existing;
    const QString path = QDir(f.workDir.path()).filePath(name);
    if (!existing.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const QString before = QDir::currentPath();
    QCOMPARE(f.Load(), Form1::StartOutcome::Normal);
    QCOMPARE(QDir::currentPath(), before);

    QFile file(path);
    QVERIFY(file.exists());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
    // Nothing else is written beside it.
    QCOMPARE(QDir(f.workDir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{name});

    // A second start in the same place leaves it as it is.
    Form1Fixture again;
    QCOMPARE(again.Load(f.workDir.path()), Form1::StartOutcome::Normal);
    QFile second(path);
    QVERIFY(second.open(QIODevice::ReadOnly));
    QCOMPARE(second.readAll(), content);
}

void TestForm1Startup::platforms_data() {
    QTest::addColumn<int>("platform");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<QString>("refusal"); // empty: accepted

    const QString oldNt = u"This program will not work on NT versions earlier then 3.51"_s;
    const QString not32 = u"This program is intended only for use with 32-bit Windows versions."_s;
    QTest::newRow("NT 3.50 (350)") << 2 << 3 << 50 << true << oldNt;
    QTest::newRow("NT 3.1 (301)") << 2 << 3 << 1 << true << oldNt;
    QTest::newRow("NT 0.0") << 2 << 0 << 0 << true << oldNt;
    QTest::newRow("NT 3.51 (351)") << 2 << 3 << 51 << true << QString();
    QTest::newRow("NT 4.0 (400)") << 2 << 4 << 0 << true << QString();
    QTest::newRow("NT 5.0 (500)") << 2 << 5 << 0 << true << QString();
    QTest::newRow("NT 5.1 (501)") << 2 << 5 << 1 << true << QString();
    QTest::newRow("NT 10.0 (1000)") << 2 << 10 << 0 << true << QString();
    QTest::newRow("95 family 4.0") << 1 << 4 << 0 << true << QString();
    QTest::newRow("95 family 4.10") << 1 << 4 << 10 << true << QString();
    QTest::newRow("95 family 0.0") << 1 << 0 << 0 << true << QString();
    QTest::newRow("95 family 3.0") << 1 << 3 << 0 << true << QString();
    QTest::newRow("platform 0 (Win32s)") << 0 << 3 << 10 << true << not32;
    QTest::newRow("platform 3 (CE)") << 3 << 4 << 0 << true << not32;
    QTest::newRow("query fails: zeros") << 2 << 10 << 0 << false << not32;
}

void TestForm1Startup::platforms() {
    QFETCH(int, platform);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(bool, answers);
    QFETCH(QString, refusal);

    Form1Fixture f({std::uint32_t(platform), std::uint32_t(major), std::uint32_t(minor), answers});
    QSignalSpy ended(f.window.get(), &Form1::ProgramEnded);
    const Form1::StartOutcome outcome = f.Load();

    if (refusal.isEmpty()) {
        QCOMPARE(outcome, Form1::StartOutcome::Normal);
        QCOMPARE(f.prompts.Texts(), QStringList{});
        QCOMPARE(f.shell->appBarMessages.size(), 1);
        QVERIFY(f->Hooked());
        QVERIFY(f.Show());
        QTest::qWait(50);
        QCOMPARE(ended.count(), 0);
        return;
    }
    QCOMPARE(outcome, Form1::StartOutcome::Refused);
    QCOMPARE(f.prompts.Texts(), QStringList{refusal});
    QCOMPARE(f.prompts.boxes[0].buttons, Prompts::vbOKOnly);
    QCOMPARE(f.prompts.boxes[0].title, QString());
    // The tray is never asked, the hook never installed, and the program ends.
    QCOMPARE(f.shell->appBarMessages.size(), 0);
    QVERIFY(!f->Hooked());
    QVERIFY(!f->isVisible());
    QVERIFY(f->Unloaded());
    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(f->Notices().isEmpty());
}

// A host known by its kernel, as the running system's version query reports it.
void TestForm1Startup::kernels_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("refusal"); // empty: accepted

    QTest::newRow("Linux 3.10 (EL7)") << u"linux"_s << u"3.10.0-1160.el7.x86_64"_s << QString();
    QTest::newRow("Linux 2.6.32") << u"linux"_s << u"2.6.32"_s << QString();
    QTest::newRow("Linux 6.1") << u"linux"_s << u"6.1.0-27-amd64"_s << QString();
    QTest::newRow("Linux, version unreadable") << u"linux"_s << QString() << QString();
    QTest::newRow("FreeBSD 13.2") << u"freebsd"_s << u"13.2-RELEASE"_s << QString();
    QTest::newRow("macOS (Darwin 23.6)") << u"darwin"_s << u"23.6.0"_s << QString();
    QTest::newRow("Windows 10") << u"winnt"_s << u"10.0.19045"_s << QString();
    QTest::newRow("Windows NT 3.50")
        << u"winnt"_s << u"3.50.807"_s
        << u"This program will not work on NT versions earlier then 3.51"_s;
}

void TestForm1Startup::kernels() {
    QFETCH(QString, type);
    QFETCH(QString, version);
    QFETCH(QString, refusal);

    ReportedSystem system;
    system.query = [&](OSVERSIONINFO &info) {
        return KernelVersionRecord(type, version, info);
    };
    Form1Fixture f(system);
    QCOMPARE(f.Load(),
             refusal.isEmpty() ? Form1::StartOutcome::Normal : Form1::StartOutcome::Refused);
    QCOMPARE(f.prompts.Texts(), refusal.isEmpty() ? QStringList{} : QStringList{refusal});
    // A Unix kernel's own version stays readable in the record.
    OSVERSIONINFO info;
    QVERIFY(KernelVersionRecord(type, version, info));
    if (type != u"winnt"_s)
        QVERIFY2(info.szCSDVersion.contains(type) && info.szCSDVersion.contains(version),
                 qPrintable(info.szCSDVersion));
}

void TestForm1Startup::versionBeyond16Bits() {
    // 400.0 gives 40000, which the 16-bit version value cannot hold: a failing
    // step, shown and then start-up stops where it is.
    Form1Fixture f({VER_PLATFORM_WIN32_NT, 400, 0, true});
    QSignalSpy ended(f.window.get(), &Form1::ProgramEnded);
    QCOMPARE(f.Load(), Form1::StartOutcome::BrokenOff);
    QCOMPARE(f.prompts.Texts().size(), 1);
    QVERIFY(!f.prompts.Texts().first().isEmpty());
    QCOMPARE(f.shell->appBarMessages.size(), 0);
    QVERIFY(!f->Hooked());
    QCOMPARE(f->Combo1->count(), 24);
    QVERIFY(f.Show());
    QTest::qWait(50);
    QCOMPARE(ended.count(), 0);
}

void TestForm1Startup::noTray_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("no taskbar (0)") << 0;
    QTest::newRow("odd answer (2)") << 2;
    QTest::newRow("negative answer") << -1;
}

void TestForm1Startup::noTray() {
    QFETCH(int, answer);

    Form1Fixture f({}, answer);
    QSignalSpy ended(f.window.get(), &Form1::ProgramEnded);
    QCOMPARE(f.Load(), Form1::StartOutcome::Refused);
    QCOMPARE(f.prompts.Texts(), QStringList{u"There is no tray currently available"_s});
    QCOMPARE(f.shell->appBarMessages, QList<int>{ABM_GETTASKBARPOS});
    QVERIFY(!f->Hooked());
    QCOMPARE(f.shell->Ids(NIM_ADD), QList<std::uint32_t>{});
    QVERIFY(f->Unloaded());
    QTRY_COMPARE(ended.count(), 1);
}

void TestForm1Startup::queueFileNameTakenByDirectory() {
    Form1Fixture f;
    QVERIFY(QDir(f.workDir.path()).mkdir(QueueFileName));
    QSignalSpy ended(f.window.get(), &Form1::ProgramEnded);
    QCOMPARE(f.Load(), Form1::StartOutcome::BrokenOff);

    // The system's own description of the failure, once.
    QCOMPARE(f.prompts.Texts().size(), 1);
    QVERIFY(!f.prompts.Texts().first().trimmed().isEmpty());
    QCOMPARE(f.prompts.boxes[0].title, QString());
    qInfo("shown: %s", qPrintable(f.prompts.Texts().first()));

    // The steps before it ran, none after it.
    QVERIFY(f->Option1->isChecked());
    QVERIFY(f->Text7->text().startsWith(u"Reminder@"_s));
    QCOMPARE(f->Combo1->count(), 0);
    QCOMPARE(f->Combo2->count(), 0);
    QCOMPARE(f->Combo1->currentText(), u"00"_s);
    QCOMPARE(f->Combo2->currentText(), u"01"_s);
    QCOMPARE(f.system.queries, 0);
    QCOMPARE(f.shell->appBarMessages.size(), 0);
    QVERIFY(!f->Hooked());
    QVERIFY(QFileInfo(QDir(f.workDir.path()).filePath(QueueFileName)).isDir());

    // The window still opens and works.
    QVERIFY(f.Show());
    QVERIFY(!f->Unloaded());
    Ui::Entry entry;
    entry.date = QDate(2001, 3, 5);
    entry.hour = u"07"_s;
    entry.minute = u"40"_s;
    entry.message = u"still works"_s;
    Ui::Store(f.form(), entry);
    QCOMPARE(f.prompts.Texts().size(), 1);
    QCOMPARE(f->List8->model()->rowCount(), 1);
    QCOMPARE(Ui::Items(f->List8).value(0), u"05Mar2001 07:40"_s);
    QTest::qWait(50);
    QCOMPARE(ended.count(), 0);
}

void TestForm1Startup::queueFileNameTakenByOtherEntry_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("dangling link") << u"link"_s;
    QTest::newRow("FIFO") << u"fifo"_s;
}

// A link or a FIFO holding the name is left as it is: nothing is created where the link points,
// the FIFO is not opened (which would wait for a reader), and start-up goes on.
void TestForm1Startup::queueFileNameTakenByOtherEntry() {
#ifndef Q_OS_UNIX
    QSKIP("needs symbolic links and FIFOs");
#else
    QFETCH(QString, kind);

    Form1Fixture f;
    QTemporaryDir elsewhere;
    const QString target = QDir(elsewhere.path()).filePath(u"pointed-at.txt"_s);
    const QString path = QDir(f.workDir.path()).filePath(QueueFileName);
    if (kind == u"link"_s)
        QVERIFY(QFile::link(target, path));
    else
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);

    // Should opening the FIFO block, a reader set free after a while turns the hang into a
    // failure.
    std::atomic<bool> done{false};
    std::atomic<bool> freed{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 100 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (done || kind != u"fifo"_s)
            return;
        freed = true;
        const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        ::close(reader);
    });
    const Form1::StartOutcome outcome = f.Load();
    done = true;
    watchdog.join();

    QVERIFY(!freed);
    QCOMPARE(outcome, Form1::StartOutcome::Normal);
    QCOMPARE(f.prompts.Texts(), QStringList());
    QCOMPARE(f->Combo2->count(), 6);
    const QFileInfo entry(path);
    if (kind == u"link"_s) {
        QVERIFY(entry.isSymLink());
        QCOMPARE(entry.symLinkTarget(), target);
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(QDir(elsewhere.path())
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList());
    } else {
        struct stat st {};
        QCOMPARE(::lstat(QFile::encodeName(path).constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
    }
    // Nothing else is made beside it.
    QCOMPARE(
        QDir(f.workDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
        QStringList{QueueFileName});
#endif
}

QTEST_MAIN(TestForm1Startup)
#include "tst_form1startup.moc"
