#include "arrowstyle.h"
#include "icons.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QToolButton>
#include <QtTest>

class TestArrowStyle : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void calendarPageButtons_data();
    void calendarPageButtons();
};

void TestArrowStyle::calendarPageButtons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("forward");
    QTest::newRow("previous month") << QStringLiteral("qt_calendar_prevmonth") << false;
    QTest::newRow("next month") << QStringLiteral("qt_calendar_nextmonth") << true;
}

void TestArrowStyle::calendarPageButtons() {
    QFETCH(QString, button);
    QFETCH(bool, forward);
    if (!qobject_cast<ArrowStyle *>(QApplication::style()))
        QApplication::setStyle(new ArrowStyle(QApplication::style()));
    auto *style = static_cast<QProxyStyle *>(QApplication::style());
    // The calendar takes its page pictures from the style when it is built.
    QCalendarWidget calendar;
    const auto *page = calendar.findChild<QToolButton *>(button);
    QVERIFY(page);
    QCOMPARE(page->icon().pixmap(16).toImage(), Icons::PageArrow(forward).pixmap(16).toImage());
    // Every other picture is the desktop style's own.
    QCOMPARE(style->standardIcon(QStyle::SP_ArrowUp).pixmap(16).toImage(),
             style->baseStyle()->standardIcon(QStyle::SP_ArrowUp).pixmap(16).toImage());
}

QTEST_MAIN(TestArrowStyle)
#include "tst_arrowstyle.moc"
