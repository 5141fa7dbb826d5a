#include "quietrestore.h"

#include <QWidget>
#include <QWindow>
#include <QtTest>

#include <chrono>
#include <memory>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// Stands in for a window manager that never reports the window back: the
// window system's word on the window's state does not reach it.
class NoReport : public QObject {
public:
    explicit NoReport(QWindow *window)
        : m_window(window) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        return watched == m_window && event->type() == QEvent::WindowStateChange &&
               event->spontaneous();
    }

private:
    QWindow *m_window;
};

bool TakesNoKeyboard(const QWidget &widget) {
    return widget.windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus);
}

} // namespace

class TestQuietRestore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void holdEnds_data();
    void holdEnds();
    void aWindowNotMinimisedIsNotHeld();
    void aWindowThatTakesNoKeyboardKeepsSaying();
};

void TestQuietRestore::holdEnds_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("heldAfterEvents"); // still held once the window system has spoken

    QTest::newRow("the window system reports the window back") << u"report"_s << false;
    QTest::newRow("no report: the fallback ends it") << u"fallback"_s << true;
    QTest::newRow("the person asks for the window") << u"release"_s << false;
    QTest::newRow("hidden meanwhile") << u"hide"_s << false;
}

void TestQuietRestore::holdEnds() {
    QFETCH(QString, how);
    QFETCH(bool, heldAfterEvents);

    QWidget widget;
    widget.showMinimized();
    QVERIFY(QTest::qWaitForWindowExposed(widget.windowHandle()));
    QVERIFY(widget.isMinimized());
    const auto fallback = how == u"fallback" ? 300ms : 60s;
    QuietRestore restore(&widget, fallback);
    QSignalSpy released(&restore, &QuietRestore::Released);
    NoReport noReport(widget.windowHandle());
    if (how == u"fallback")
        qApp->installEventFilter(&noReport);

    restore.Restore();
    // Un-minimised at once, and saying so until the window system has answered.
    QVERIFY(!widget.isMinimized());
    QVERIFY(restore.Holding());
    QVERIFY(TakesNoKeyboard(widget));

    if (how == u"release")
        restore.Release();
    if (how == u"hide")
        widget.hide();
    QCoreApplication::processEvents();
    QCOMPARE(restore.Holding(), heldAfterEvents);
    QCOMPARE(TakesNoKeyboard(widget), heldAfterEvents);

    QTRY_COMPARE_WITH_TIMEOUT(released.count(), 1, 5000);
    QVERIFY(!restore.Holding());
    QVERIFY(!TakesNoKeyboard(widget));
    // Ended once: a late report changes nothing more.
    restore.Release();
    QCOMPARE(released.count(), 1);
    qApp->removeEventFilter(&noReport);
}

void TestQuietRestore::aWindowNotMinimisedIsNotHeld() {
    QWidget widget;
    widget.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(widget.windowHandle()));
    QuietRestore restore(&widget);
    restore.Restore();
    QVERIFY(!restore.Holding());
    QVERIFY(!TakesNoKeyboard(widget));
    QCOMPARE(widget.windowState(), Qt::WindowNoState);
}

void TestQuietRestore::aWindowThatTakesNoKeyboardKeepsSaying() {
    QWidget widget;
    widget.showMinimized();
    QVERIFY(QTest::qWaitForWindowExposed(widget.windowHandle()));
    widget.windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus, true);
    QuietRestore restore(&widget);
    restore.Restore();
    QVERIFY(restore.Holding());
    QTRY_VERIFY(!restore.Holding());
    QVERIFY(TakesNoKeyboard(widget));
}

QTEST_MAIN(TestQuietRestore)
#include "tst_quietrestore.moc"
