#include "module2.h"
#include "trayactivation.h"

#include <QtTest>

namespace {

constexpr int Interval = 400;

struct Step {
    QSystemTrayIcon::ActivationReason reason;
    qint64 at;
};

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestTrayActivation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void translate_data();
    void translate();
};

void TestTrayActivation::translate_data() {
    using R = QSystemTrayIcon;
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QList<std::int32_t>>("messages");

    const std::int32_t Down = WM_LBUTTONDOWN, Up = WM_LBUTTONUP, Dbl = WM_LBUTTONDBLCLK;

    QTest::newRow("one click") << QList<Step>{{R::Trigger, 0}} << QList<std::int32_t>{Down, Up};
    QTest::newRow("two activations in time: double click")
        << QList<Step>{{R::Trigger, 1000}, {R::Trigger, 1250}}
        << QList<std::int32_t>{Down, Up, Dbl, Up};
    QTest::newRow("right at the interval") << QList<Step>{{R::Trigger, 0}, {R::Trigger, Interval}}
                                           << QList<std::int32_t>{Down, Up, Dbl, Up};
    QTest::newRow("just too slow") << QList<Step>{{R::Trigger, 0}, {R::Trigger, Interval + 1}}
                                   << QList<std::int32_t>{Down, Up, Down, Up};
    QTest::newRow("X tray: Trigger then DoubleClick")
        << QList<Step>{{R::Trigger, 0}, {R::DoubleClick, 150}}
        << QList<std::int32_t>{Down, Up, Dbl};
    QTest::newRow("two Triggers then DoubleClick: one double click")
        << QList<Step>{{R::Trigger, 0}, {R::Trigger, 150}, {R::DoubleClick, 150}}
        << QList<std::int32_t>{Down, Up, Dbl, Up};
    QTest::newRow("DoubleClick then Trigger: one double click")
        << QList<Step>{{R::Trigger, 0}, {R::DoubleClick, 150}, {R::Trigger, 160}}
        << QList<std::int32_t>{Down, Up, Dbl, Down, Up};
    QTest::newRow("three quick activations: one double click")
        << QList<Step>{{R::Trigger, 0}, {R::Trigger, 100}, {R::Trigger, 200}}
        << QList<std::int32_t>{Down, Up, Dbl, Up, Down, Up};
    QTest::newRow("two double clicks on the X tray")
        << QList<Step>{{R::Trigger, 0},
                       {R::DoubleClick, 100},
                       {R::Trigger, 300},
                       {R::DoubleClick, 400}}
        << QList<std::int32_t>{Down, Up, Dbl, Down, Up, Dbl};
    QTest::newRow("two double clicks on a StatusNotifier host")
        << QList<Step>{{R::Trigger, 0}, {R::Trigger, 100}, {R::Trigger, 2000}, {R::Trigger, 2100}}
        << QList<std::int32_t>{Down, Up, Dbl, Up, Down, Up, Dbl, Up};
    QTest::newRow("right click in between breaks the pair")
        << QList<Step>{{R::Trigger, 0}, {R::Context, 100}, {R::Trigger, 200}}
        << QList<std::int32_t>{Down, Up, WM_RBUTTONDOWN, WM_RBUTTONUP, Down, Up};
    QTest::newRow("middle click") << QList<Step>{{R::MiddleClick, 0}}
                                  << QList<std::int32_t>{WM_MBUTTONDOWN, WM_MBUTTONUP};
    QTest::newRow("unknown activation") << QList<Step>{{R::Unknown, 0}} << QList<std::int32_t>{};
}

void TestTrayActivation::translate() {
    QFETCH(QList<Step>, steps);
    QFETCH(QList<std::int32_t>, messages);

    TrayActivation activation(Interval);
    QList<std::int32_t> got;
    for (const Step &step : steps)
        got += activation.Translate(step.reason, step.at);
    QCOMPARE(got, messages);
}

QTEST_MAIN(TestTrayActivation)
#include "tst_trayactivation.moc"
