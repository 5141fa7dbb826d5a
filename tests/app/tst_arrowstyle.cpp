#include "arrowstyle.h"
#include "icons.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolButton>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestArrowStyle : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void drawnPictures_data();
    void drawnPictures();
    void otherPicturesFromTheBase();
};

void TestArrowStyle::initTestCase() {
    QApplication::setStyle(new ArrowStyle(QApplication::style()));
}

void TestArrowStyle::drawnPictures_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QIcon>("expected");
    QTest::newRow("previous month") << u"qt_calendar_prevmonth"_s << Icons::PageArrow(false);
    QTest::newRow("next month") << u"qt_calendar_nextmonth"_s << Icons::PageArrow(true);
    QTest::newRow("menu bar overflow") << u"qt_menubar_ext_button"_s << Icons::MoreItems(false);
}

void TestArrowStyle::drawnPictures() {
    QFETCH(QString, button);
    QFETCH(QIcon, expected);
    // The widgets take these pictures from the style when they are built.
    QMainWindow window;
    window.menuBar();
    window.setCentralWidget(new QCalendarWidget);
    const auto *found = window.findChild<QToolButton *>(button);
    QVERIFY(found);
    QCOMPARE(found->icon().pixmap(16).toImage(), expected.pixmap(16).toImage());
}

void TestArrowStyle::otherPicturesFromTheBase() {
    const auto *style = static_cast<QProxyStyle *>(QApplication::style());
    QCOMPARE(style->standardIcon(QStyle::SP_ArrowUp).pixmap(16).toImage(),
             style->baseStyle()->standardIcon(QStyle::SP_ArrowUp).pixmap(16).toImage());
}

QTEST_MAIN(TestArrowStyle)
#include "tst_arrowstyle.moc"
