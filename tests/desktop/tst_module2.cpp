#include "module2.h"
#include "recordingshell.h"
#include "recordingwindow.h"
#include "traycallbackevent.h"
#include "trayshell.h"

#include <QPixmap>
#include <QtTest>

namespace {

QIcon SomeIcon() {
    QPixmap picture(16, 16);
    picture.fill(Qt::blue);
    return QIcon(picture);
}

} // namespace

class TestModule2 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tipField_data();
    void tipField();
    void deleteTrayIcons_data();
    void deleteTrayIcons();
    void addTrayIconFillsRecord();
    void deleteKeepsFlags();
    void queryTaskbar_data();
    void queryTaskbar();
    void eventName_data();
    void eventName();

    void doubleClickRestoresWindow_data();
    void doubleClickRestoresWindow();
    void otherMouseEventsChangeNothing_data();
    void otherMouseEventsChangeNothing();
    void eventsPassThroughInOrder();
    void installTwiceHooksOnce();
    void removeHookRestores();
    void hookDiesWithWindow();
    void windowOutlivesModule();

private:
    struct HookedWindow {
        RecordingShell shell;
        Module2 module{shell};
        RecordingWindow window;
        HookedWindow() {
            module.InstallHook(&window);
            module.TrayIconData.hWnd = &window;
            window.show();
            window.setEnabled(false);
            window.hide();
        }
    };
};

void TestModule2::tipField_data() {
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("shown"); // what lies before the NUL, or all 64 when none

    QTest::newRow("program's tip")
        << QStringLiteral("Tallowick32") << QStringLiteral("Tallowick32");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("63 whole") << QString(63, QLatin1Char('a')) << QString(63, QLatin1Char('a'));
    QTest::newRow("64 no room for NUL")
        << QString(64, QLatin1Char('b')) << QString(64, QLatin1Char('b'));
    QTest::newRow("70 cut at 64") << (QString(60, QLatin1Char('c')) + QStringLiteral("defghijkl"))
                                  << (QString(60, QLatin1Char('c')) + QStringLiteral("defg"));
    QTest::newRow("trailing blanks kept") << QStringLiteral("a b  ") << QStringLiteral("a b  ");
}

void TestModule2::tipField() {
    QFETCH(QString, tip);
    QFETCH(QString, shown);

    const QString field = Module2::TipField(tip);
    QCOMPARE(field.size(), 64);
    QVERIFY(field.startsWith(shown));
    if (shown.size() < 64) {
        QCOMPARE(field.at(shown.size()), QChar(0));
        QCOMPARE(field.mid(shown.size() + 1), QString(63 - shown.size(), QLatin1Char(' ')));
    } else {
        QVERIFY(!field.contains(QChar(0)));
    }
}

void TestModule2::deleteTrayIcons_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<std::uint32_t>>("ids");

    QTest::newRow("none") << 0 << QList<std::uint32_t>{};
    QTest::newRow("negative") << -1 << QList<std::uint32_t>{};
    QTest::newRow("one") << 1 << QList<std::uint32_t>{1};
    QTest::newRow("three in order") << 3 << QList<std::uint32_t>{1, 2, 3};
}

void TestModule2::deleteTrayIcons() {
    QFETCH(int, count);
    QFETCH(QList<std::uint32_t>, ids);

    RecordingShell shell;
    Module2 module(shell);
    module.DeleteTrayIcons(count);
    QCOMPARE(shell.calls.size(), ids.size());
    QCOMPARE(shell.Ids(NIM_DELETE), ids);
}

void TestModule2::addTrayIconFillsRecord() {
    RecordingShell shell;
    Module2 module(shell);
    QWidget window;
    module.PrepareTrayRecord(&window); // as start-up does
    module.TrayIconData.uFlags = 0;    // the add sets the flags it needs itself

    const QIcon icon = SomeIcon();
    module.AddTrayIcon(1, QStringLiteral("Tallowick32"), icon);

    QCOMPARE(shell.calls.size(), 1);
    const RecordingShell::Call &call = shell.calls.first();
    QCOMPARE(call.message, NIM_ADD);
    QCOMPARE(call.data.uID, 1u);
    QCOMPARE(call.data.uFlags, 7u);
    QCOMPARE(call.data.cbSize, 88u);
    QCOMPARE(call.data.uCallbackMessage, 0x601u);
    QCOMPARE(call.data.hWnd.data(), &window);
    QCOMPARE(call.data.hIcon.cacheKey(), icon.cacheKey());
    QCOMPARE(call.data.szTip, Module2::TipField(QStringLiteral("Tallowick32")));
    // The record keeps what the last operation put in it.
    QCOMPARE(module.TrayIconData.szTip, call.data.szTip);

    // Hide, restore, Hide again: added, deleted and added with the same id.
    module.DeleteTrayIcon(1);
    module.AddTrayIcon(1, QStringLiteral("Tallowick32"), icon);
    QCOMPARE(shell.calls.size(), 3);
    QCOMPARE(shell.calls.at(1).message, NIM_DELETE);
    QCOMPARE(shell.calls.at(2).message, NIM_ADD);
    QCOMPARE(shell.calls.at(2).data.uID, 1u);
}

void TestModule2::deleteKeepsFlags() {
    RecordingShell shell;
    Module2 module(shell);
    module.TrayIconData.uFlags = 3;
    module.TrayIconData.szTip = Module2::TipField(QStringLiteral("kept"));
    module.DeleteTrayIcon(9);
    QCOMPARE(shell.calls.size(), 1);
    QCOMPARE(shell.calls.first().data.uID, 9u);
    QCOMPARE(shell.calls.first().data.uFlags, 3u);
    QCOMPARE(shell.calls.first().data.szTip, Module2::TipField(QStringLiteral("kept")));
    QCOMPARE(module.TrayIconData.uID, 9u);
}

void TestModule2::queryTaskbar_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("tray") << 1;
    QTest::newRow("no tray") << 0;
    QTest::newRow("odd answer passed on") << 2;
}

void TestModule2::queryTaskbar() {
    QFETCH(int, answer);
    RecordingShell shell;
    shell.taskbar = answer;
    Module2 module(shell);
    QCOMPARE(module.QueryTaskbar(), answer);
    QCOMPARE(shell.appBarMessages, QList<int>{ABM_GETTASKBARPOS});
    QCOMPARE(shell.appBarSizes, QList<std::uint32_t>{36});
    QCOMPARE(module.TaskbarData.cbSize, 36u);
    QVERIFY(shell.calls.isEmpty());
}

void TestModule2::eventName_data() {
    QTest::addColumn<int>("lParam");
    QTest::addColumn<QString>("name");

    QTest::newRow("0x200") << 0x200 << QStringLiteral("MOUSEMOVE");
    QTest::newRow("0x201") << 0x201 << QStringLiteral("LBUTTONDOWN");
    QTest::newRow("0x202") << 0x202 << QStringLiteral("LBUTTONUP");
    QTest::newRow("0x203") << 0x203 << QStringLiteral("LBUTTONDBLCLK");
    QTest::newRow("0x204") << 0x204 << QStringLiteral("RBUTTONDOWN");
    QTest::newRow("0x205") << 0x205 << QStringLiteral("RBUTTONUP");
    QTest::newRow("0x206") << 0x206 << QStringLiteral("RBUTTONDBLCLK");
    QTest::newRow("0x207") << 0x207 << QStringLiteral("MBUTTONDOWN");
    QTest::newRow("0x208") << 0x208 << QStringLiteral("MBUTTONUP");
    QTest::newRow("0x209") << 0x209 << QStringLiteral("MBUTTONDBLCLK");
    QTest::newRow("1024") << 1024 << QStringLiteral("Unknown 1024");
    QTest::newRow("-5") << -5 << QStringLiteral("Unknown-5");
    QTest::newRow("0") << 0 << QStringLiteral("Unknown 0");
    QTest::newRow("0x1ff") << 0x1ff << QStringLiteral("Unknown 511");
    QTest::newRow("0x20a") << 0x20a << QStringLiteral("Unknown 522");
}

void TestModule2::eventName() {
    QFETCH(int, lParam);
    QFETCH(QString, name);
    QCOMPARE(Module2::EventName(lParam), name);
}

void TestModule2::doubleClickRestoresWindow_data() {
    QTest::addColumn<std::uint32_t>("wParam");
    QTest::newRow("icon 1") << std::uint32_t(1);
    QTest::newRow("any icon of ours") << std::uint32_t(7);
}

void TestModule2::doubleClickRestoresWindow() {
    QFETCH(std::uint32_t, wParam);
    HookedWindow h;
    QVERIFY(!h.window.isVisible());
    QVERIFY(!h.window.isEnabled());

    TrayCallbackEvent::Post(&h.window, wParam, WM_LBUTTONDBLCLK);
    QTRY_VERIFY(h.window.isVisible());
    QVERIFY(h.window.isEnabled());
    QCOMPARE(h.shell.Ids(NIM_DELETE), QList<std::uint32_t>{1});
    QCOMPARE(h.shell.calls.size(), 1);
    // The double click itself still reaches the window, unchanged.
    QCOMPARE(h.window.seen.size(), 1);
    QCOMPARE(h.window.seen.first(),
             (RecordingWindow::Seen{TrayCallbackEvent::EventType(), wParam, WM_LBUTTONDBLCLK}));
}

void TestModule2::otherMouseEventsChangeNothing_data() {
    QTest::addColumn<int>("lParam");
    for (int m : {0x200, 0x201, 0x202, 0x204, 0x205, 0x206, 0x207, 0x208, 0x209, 1024, -5})
        QTest::newRow(qPrintable(Module2::EventName(m))) << m;
}

void TestModule2::otherMouseEventsChangeNothing() {
    QFETCH(int, lParam);
    HookedWindow h;
    TrayCallbackEvent::Post(&h.window, 1, lParam);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QVERIFY(!h.window.isVisible());
    QVERIFY(!h.window.isEnabled());
    QVERIFY(h.shell.calls.isEmpty());
    QCOMPARE(h.window.Callbacks(), QList<std::int32_t>{lParam});
}

void TestModule2::eventsPassThroughInOrder() {
    HookedWindow h;
    const auto first = static_cast<QEvent::Type>(QEvent::User + 11);
    const auto second = static_cast<QEvent::Type>(QEvent::User + 12);
    QCoreApplication::postEvent(&h.window, new QEvent(first));
    TrayCallbackEvent::Post(&h.window, 1, WM_MOUSEMOVE);
    QCoreApplication::postEvent(&h.window, new QEvent(second));
    TrayCallbackEvent::Post(&h.window, 2, WM_RBUTTONUP);
    QCoreApplication::sendPostedEvents(&h.window);

    const int tray = TrayCallbackEvent::EventType();
    const QList<RecordingWindow::Seen> expected{
        {first, 0, 0}, {tray, 1, WM_MOUSEMOVE}, {second, 0, 0}, {tray, 2, WM_RBUTTONUP}};
    QCOMPARE(h.window.seen, expected);

    // Window-system events go on to the window too: a resize still resizes.
    h.window.resize(123, 45);
    QCOMPARE(h.window.size(), QSize(123, 45));
    h.window.setWindowTitle(QStringLiteral("title"));
    QCOMPARE(h.window.windowTitle(), QStringLiteral("title"));
}

void TestModule2::installTwiceHooksOnce() {
    HookedWindow h; // installed once already
    h.module.InstallHook(&h.window);
    QVERIFY(h.module.Hooked());
    TrayCallbackEvent::Post(&h.window, 1, WM_LBUTTONDBLCLK);
    QTRY_VERIFY(h.window.isVisible());
    QCoreApplication::sendPostedEvents();
    // Two hooks would have deleted the icon twice.
    QCOMPARE(h.shell.Ids(NIM_DELETE), QList<std::uint32_t>{1});
}

void TestModule2::removeHookRestores() {
    HookedWindow h;
    QVERIFY(h.module.Hooked());
    h.module.RemoveHook(&h.window);
    QVERIFY(!h.module.Hooked());
    h.module.RemoveHook(&h.window); // not hooked: nothing happens
    QVERIFY(!h.module.Hooked());

    TrayCallbackEvent::Post(&h.window, 1, WM_LBUTTONDBLCLK);
    QCoreApplication::sendPostedEvents(&h.window);
    QVERIFY(!h.window.isVisible());
    QVERIFY(h.shell.calls.isEmpty());
    QCOMPARE(h.window.Callbacks(), QList<std::int32_t>{WM_LBUTTONDBLCLK});

    // Called directly while unhooked, the hook does nothing either.
    QCOMPARE(h.module.HookWindowProc(&h.window, TrayCallbackMessage, 1, WM_LBUTTONDBLCLK), 0);
    QVERIFY(!h.window.isVisible());

    // And it can be put in again.
    h.module.InstallHook(&h.window);
    TrayCallbackEvent::Post(&h.window, 1, WM_LBUTTONDBLCLK);
    QTRY_VERIFY(h.window.isVisible());
}

void TestModule2::hookDiesWithWindow() {
    RecordingShell shell;
    Module2 module(shell);
    auto window = std::make_unique<QWidget>();
    module.InstallHook(window.get());
    QVERIFY(module.Hooked());
    window.reset();
    QVERIFY(!module.Hooked());
    module.RemoveHook(nullptr); // harmless once the window is gone
}

void TestModule2::windowOutlivesModule() {
    RecordingWindow window;
    {
        RecordingShell shell;
        Module2 module(shell);
        module.InstallHook(&window);
    }
    // No filter of the dead module is left on the window.
    TrayCallbackEvent::Post(&window, 1, WM_LBUTTONDBLCLK);
    QCoreApplication::sendPostedEvents(&window);
    QCOMPARE(window.Callbacks(), QList<std::int32_t>{WM_LBUTTONDBLCLK});
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestModule2)
#include "tst_module2.moc"
