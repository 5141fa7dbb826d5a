#include "defaulttrayshell.h"
#include "fallbacktraywindow.h"
#include "icons.h"
#include "module2.h"
#include "recordingwindow.h"

#include <QAccessible>
#include <QtTest>

// Under the offscreen platform there is no system tray, so every icon of the
// default shell is a stand-in window.
class TestDefaultTrayShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void reportsATray();
    void addAndDelete();
    void tipShownUpToNul_data();
    void tipShownUpToNul();
    void modify();
    void doubleClickReachesWindow();
    void otherButtons();
    void iconsGoWithTheirWindow();
    void doubleClickRestoresHiddenWindow();
    void keyboardRestores_data();
    void keyboardRestores();

private:
    static NotifyIconData Record(QWidget *window, std::uint32_t id, const QString &tip) {
        NotifyIconData data;
        data.cbSize = NotifyIconDataSize;
        data.hWnd = window;
        data.uID = id;
        data.uFlags = NotifyIconAllFlags;
        data.uCallbackMessage = TrayCallbackMessage;
        data.hIcon = QIcon(Icons::Monitor(false));
        data.szTip = Module2::TipField(tip);
        return data;
    }
};

void TestDefaultTrayShell::initTestCase() {
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
}

void TestDefaultTrayShell::reportsATray() {
    const auto shell = TrayShell::CreateDefault();
    AppBarData data;
    data.cbSize = AppBarDataSize;
    QCOMPARE(shell->SHAppBarMessage(ABM_GETTASKBARPOS, data), 1);
    QCOMPARE(shell->SHAppBarMessage(0, data), 0);
}

void TestDefaultTrayShell::addAndDelete() {
    DefaultTrayShell shell;
    QWidget window;
    const NotifyIconData data = Record(&window, 1, QStringLiteral("Tallowick32"));

    QVERIFY(shell.Shell_NotifyIcon(NIM_ADD, data));
    QPointer<FallbackTrayWindow> icon = shell.FallbackWindow(&window, 1);
    QVERIFY(icon);
    QVERIFY(icon->isVisible());
    QVERIFY(icon->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(shell.SystemTrayIcon(&window, 1), nullptr);

    // The same (hWnd, uID) again is refused and leaves the icon as it was.
    QVERIFY(!shell.Shell_NotifyIcon(NIM_ADD, Record(&window, 1, QStringLiteral("other"))));
    QCOMPARE(shell.FallbackWindow(&window, 1), icon.data());
    QCOMPARE(icon->toolTip(), QStringLiteral("Tallowick32"));

    // Another identifier is another icon.
    QVERIFY(shell.Shell_NotifyIcon(NIM_ADD, Record(&window, 2, QStringLiteral("two"))));
    QVERIFY(shell.FallbackWindow(&window, 2) != icon.data());

    QVERIFY(shell.Shell_NotifyIcon(NIM_DELETE, data));
    QCOMPARE(shell.FallbackWindow(&window, 1), nullptr);
    QVERIFY(!icon || !icon->isVisible());
    QTRY_VERIFY(icon.isNull());
    QVERIFY(!shell.Shell_NotifyIcon(NIM_DELETE, data));
    QVERIFY(shell.FallbackWindow(&window, 2) != nullptr);

    NotifyIconData noWindow = data;
    noWindow.hWnd = nullptr;
    QVERIFY(!shell.Shell_NotifyIcon(NIM_ADD, noWindow));
}

void TestDefaultTrayShell::tipShownUpToNul_data() {
    QTest::addColumn<QString>("tip");
    QTest::newRow("program's tip") << QStringLiteral("Tallowick32");
    QTest::newRow("63 characters") << QString(63, QLatin1Char('x'));
    QTest::newRow("empty") << QString();
}

void TestDefaultTrayShell::tipShownUpToNul() {
    QFETCH(QString, tip);
    DefaultTrayShell shell;
    QWidget window;
    QVERIFY(shell.Shell_NotifyIcon(NIM_ADD, Record(&window, 1, tip)));
    QCOMPARE(shell.FallbackWindow(&window, 1)->toolTip(), tip);
    QCOMPARE(DefaultTrayShell::VisibleTip(Module2::TipField(tip)), tip);
}

void TestDefaultTrayShell::modify() {
    DefaultTrayShell shell;
    QWidget window;
    NotifyIconData data = Record(&window, 1, QStringLiteral("before"));
    QVERIFY(!shell.Shell_NotifyIcon(NIM_MODIFY, data));
    QVERIFY(shell.Shell_NotifyIcon(NIM_ADD, data));
    data.szTip = Module2::TipField(QStringLiteral("after"));
    data.hIcon = QIcon(Icons::Monitor(true));
    QVERIFY(shell.Shell_NotifyIcon(NIM_MODIFY, data));
    QCOMPARE(shell.FallbackWindow(&window, 1)->toolTip(), QStringLiteral("after"));
    QCOMPARE(shell.FallbackWindow(&window, 1)->Icon().cacheKey(), data.hIcon.cacheKey());
}

void TestDefaultTrayShell::doubleClickReachesWindow() {
    DefaultTrayShell shell;
    RecordingWindow window;
    QVERIFY(shell.Shell_NotifyIcon(NIM_ADD, Record(&window, 4, QStringLiteral("t"))));
    FallbackTrayWindow *icon = shell.FallbackWindow(&window, 4);
    QVERIFY(QTest::qWaitForWindowExposed(icon));

    QTest::mouseDClick(icon, Qt::LeftButton, {}, QPoint(10, 10));
    QTRY_VERIFY(window.Callbacks().contains(WM_LBUTTONDBLCLK));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(window.Callbacks().count(WM_LBUTTONDBLCLK), 1);
    for (const RecordingWindow::Seen &seen : window.seen)
        QCOMPARE(seen.wParam, 4u);
}

void TestDefaultTrayShell::otherButtons() {
    DefaultTrayShell shell;
    RecordingWindow window;
    QVERIFY(shell.Shell_NotifyIcon(NIM_ADD, Record(&window, 1, QStringLiteral("t"))));
    FallbackTrayWindow *icon = shell.FallbackWindow(&window, 1);
    QVERIFY(QTest::qWaitForWindowExposed(icon));

    QTest::mouseClick(icon, Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseClick(icon, Qt::MiddleButton, {}, QPoint(5, 5));
    QCoreApplication::sendPostedEvents(&window);
    QList<std::int32_t> clicks = window.Callbacks();
    clicks.removeAll(WM_MOUSEMOVE);
    QCOMPARE(clicks,
             (QList<std::int32_t>{WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP}));
}

void TestDefaultTrayShell::iconsGoWithTheirWindow() {
    DefaultTrayShell shell;
    auto window = std::make_unique<QWidget>();
    const NotifyIconData data = Record(window.get(), 1, QStringLiteral("t"));
    QVERIFY(shell.Shell_NotifyIcon(NIM_ADD, data));
    QPointer<FallbackTrayWindow> icon = shell.FallbackWindow(window.get(), 1);
    window.reset();
    QTRY_VERIFY(icon.isNull());
}

void TestDefaultTrayShell::doubleClickRestoresHiddenWindow() {
    // Hide, then a double click on the icon: the whole road with the real shell.
    const auto shell = TrayShell::CreateDefault();
    Module2 module(*shell);
    QWidget window;
    window.show();
    QCOMPARE(module.QueryTaskbar(), 1);
    module.InstallHook(&window);
    module.TrayIconData.cbSize = NotifyIconDataSize;
    module.TrayIconData.uFlags = NotifyIconAllFlags;
    module.TrayIconData.uCallbackMessage = TrayCallbackMessage;
    module.TrayIconData.hWnd = &window;

    window.setEnabled(false);
    window.hide();
    module.AddTrayIcon(1, QStringLiteral("Tallowick32"), QIcon(Icons::Monitor(false)));
    auto *defaultShell = static_cast<DefaultTrayShell *>(shell.get());
    QPointer<FallbackTrayWindow> icon = defaultShell->FallbackWindow(&window, 1);
    QVERIFY(icon);
    QVERIFY(QTest::qWaitForWindowExposed(icon.data()));

    QTest::mouseDClick(icon.data(), Qt::LeftButton, {}, QPoint(10, 10));
    QTRY_VERIFY(window.isVisible());
    QVERIFY(window.isEnabled());
    QCOMPARE(defaultShell->FallbackWindow(&window, 1), nullptr);
    QTRY_VERIFY(icon.isNull());

    // And Hide again brings the icon back.
    window.setEnabled(false);
    window.hide();
    module.AddTrayIcon(1, QStringLiteral("Tallowick32"), QIcon(Icons::Monitor(false)));
    QVERIFY(defaultShell->FallbackWindow(&window, 1) != nullptr);
    module.DeleteTrayIcons(1);
    module.RemoveHook(&window);
    QCOMPARE(defaultShell->FallbackWindow(&window, 1), nullptr);
}

void TestDefaultTrayShell::keyboardRestores_data() {
    QTest::addColumn<int>("key"); // 0: the accessible Press action
    QTest::addColumn<bool>("restores");
    QTest::newRow("Return") << int(Qt::Key_Return) << true;
    QTest::newRow("Space") << int(Qt::Key_Space) << true;
    QTest::newRow("Press action") << 0 << true;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
}

void TestDefaultTrayShell::keyboardRestores() {
    // Without a mouse: the stand-in takes the focus, and Return or Space on
    // it, or a screen reader's Press, does what a double click does.
    QFETCH(int, key);
    QFETCH(bool, restores);
    const auto shell = TrayShell::CreateDefault();
    Module2 module(*shell);
    QWidget window;
    window.show();
    module.InstallHook(&window);
    module.PrepareTrayRecord(&window);
    window.setEnabled(false);
    window.hide();
    module.AddTrayIcon(1, QStringLiteral("Tallowick32"), QIcon(Icons::Monitor(false)));
    auto *defaultShell = static_cast<DefaultTrayShell *>(shell.get());
    QPointer<FallbackTrayWindow> icon = defaultShell->FallbackWindow(&window, 1);
    QVERIFY(icon);
    QCOMPARE(icon->windowType(), Qt::Window); // not a tool window: listed for Alt+Tab
    QVERIFY(icon->focusPolicy() & Qt::TabFocus);
    icon->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(icon.data()));
    QVERIFY(icon->hasFocus());

    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(icon.data());
    QVERIFY(accessible && accessible->actionInterface());
    QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Tallowick32"));
    QCOMPARE(accessible->text(QAccessible::Description), FallbackTrayWindow::Description);
    const QString press = QAccessibleActionInterface::pressAction();
    QVERIFY(accessible->actionInterface()->actionNames().contains(press));

    if (key == 0)
        accessible->actionInterface()->doAction(press);
    else
        QTest::keyClick(icon.data(), Qt::Key(key));
    if (restores) {
        QTRY_VERIFY(window.isVisible());
        QVERIFY(window.isEnabled());
        QTRY_VERIFY(icon.isNull());
    } else {
        QTest::qWait(100);
        QCoreApplication::sendPostedEvents();
        QVERIFY(!window.isVisible());
        QVERIFY(!window.isEnabled());
        QCOMPARE(defaultShell->FallbackWindow(&window, 1), icon.data());
    }
    module.DeleteTrayIcons(1);
    module.RemoveHook(&window);
}

QTEST_MAIN(TestDefaultTrayShell)
#include "tst_defaulttrayshell.moc"
