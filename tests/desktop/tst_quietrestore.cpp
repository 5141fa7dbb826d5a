#include "quietrestore.h"

#include <QWidget>
#include <QWindow>
#include <QtTest>

#include <chrono>

using namespace std::chrono_literals;

namespace {

// Stands in for a window manager that never reports the window back: the
// window system's word on the window's state is dropped before it arrives.
class NoReport : public QObject {
protected:
    bool eventFilter(QObject *, QEvent *event) override {
        return event->type() == QEvent::WindowStateChange && event->spontaneous();
    }
};

} // namespace

class TestQuietRestore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void holdEnds_data();
    void holdEnds();
};

void TestQuietRestore::holdEnds_data() {
    QTest::addColumn<QByteArray>("how");
    QTest::addColumn<bool>("held");            // the window takes no keyboard, once restored
    QTest::addColumn<bool>("heldAfterEvents"); // ... and once the window system has spoken

    QTest::newRow("the window system reports it back") << QByteArray("report") << true << false;
    QTest::newRow("no report: the fallback ends it") << QByteArray("fallback") << true << true;
    QTest::newRow("the person asks for the window") << QByteArray("release") << true << false;
    QTest::newRow("hidden meanwhile") << QByteArray("hide") << true << false;
    QTest::newRow("not minimised: no hold") << QByteArray("shown") << false << false;
}

void TestQuietRestore::holdEnds() {
    QFETCH(QByteArray, how);
    QFETCH(bool, held);
    QFETCH(bool, heldAfterEvents);

    QWidget widget;
    how == "shown" ? widget.showMaximized() : widget.showMinimized();
    QVERIFY(QTest::qWaitForWindowExposed(widget.windowHandle()));
    QuietRestore restore(&widget, how == "fallback" ? 300ms : 60s);
    QSignalSpy released(&restore, &QuietRestore::Released);
    const auto takesNoKeyboard = [&] {
        return widget.windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus);
    };
    NoReport noReport;
    if (how == "fallback")
        qApp->installEventFilter(&noReport); // application filters come before the window's

    restore.Restore();
    QCOMPARE(widget.windowState(), Qt::WindowNoState);
    QCOMPARE(restore.Holding(), held);
    QCOMPARE(takesNoKeyboard(), held);
    if (how == "release")
        restore.Release();
    if (how == "hide")
        widget.hide();
    QCoreApplication::processEvents();
    QCOMPARE(takesNoKeyboard(), heldAfterEvents);

    QTRY_COMPARE_WITH_TIMEOUT(released.count(), held ? 1 : 0, 5000);
    QVERIFY(!restore.Holding());
    QVERIFY(!takesNoKeyboard());
    restore.Release(); // ended once: nothing more
    QCOMPARE(released.count(), held ? 1 : 0);
    qApp->removeEventFilter(&noReport);
}

QTEST_MAIN(TestQuietRestore)
#include "tst_quietrestore.moc"
