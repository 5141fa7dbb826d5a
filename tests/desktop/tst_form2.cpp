// Exposes QPixmapCache::totalUsed(), which Qt builds for its own tests.
#define Q_TEST_QPIXMAPCACHE

#include "form2.h"

#include <QApplication>
#include <QPixmapCache>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>

class TestForm2 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void layout();
    void keepsLongText();
    void closingOneLeavesOthers();
    void escapeClosesAsOkDoes();
    void closedNoticesLeaveNoPictures();
};

void TestForm2::cleanup() {
    for (QWidget *window : QApplication::topLevelWidgets())
        window->close();
}

void TestForm2::layout() {
    auto *notice = new Form2;
    notice->show();
    QCOMPARE(notice->windowTitle(), QStringLiteral("Tallowick"));
    QCOMPARE(notice->size(), QSize(365, 93));
    QCOMPARE(notice->minimumSize(), notice->maximumSize());
    QVERIFY(!notice->isModal());
    QVERIFY(notice->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!notice->windowIcon().isNull());

    QCOMPARE(notice->Text1->objectName(), QStringLiteral("Text1"));
    QCOMPARE(notice->Text1->accessibleName(), QStringLiteral("Notice text"));
    QCOMPARE(notice->Text1->geometry(), QRect(4, 4, 301, 85));
    QVERIFY(notice->Text1->isReadOnly());
    QVERIFY(!notice->Text1->isEnabled());
    QCOMPARE(notice->Text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(notice->Text1->toPlainText().isEmpty());

    QCOMPARE(notice->Command1->objectName(), QStringLiteral("Command1"));
    QCOMPARE(notice->Command1->text(), QStringLiteral("OK"));
    QCOMPARE(notice->Command1->accessibleName(), QStringLiteral("OK"));
    QCOMPARE(notice->Command1->geometry(), QRect(312, 4, 49, 25));
    QCOMPARE(notice->findChild<QPushButton *>(QStringLiteral("Command1")), notice->Command1);
}

void TestForm2::keepsLongText() {
    auto *notice = new Form2;
    QString text = QStringLiteral(" 01May2027 09:05\r\n");
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("line %1 of a message longer than the box\n").arg(i);
    notice->SetText(text);
    notice->show();
    // The box keeps all of it (CR LF reads back as one line break).
    QString expected = text;
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QCOMPARE(notice->Text1->toPlainText(), expected);
    QVERIFY(notice->Text1->verticalScrollBar()->maximum() > 0);
    QVERIFY(!notice->Text1->isEnabled());
}

void TestForm2::closingOneLeavesOthers() {
    QList<QPointer<Form2>> notices;
    for (int i = 0; i < 4; ++i) {
        auto *notice = new Form2;
        notice->SetText(QStringLiteral("notice %1").arg(i));
        notice->show();
        notices.append(notice);
    }
    QTest::mouseClick(notices.at(1)->Command1, Qt::LeftButton);
    QTRY_VERIFY(notices.at(1).isNull());

    QVERIFY(notices.at(2)->close()); // the close box
    QTRY_VERIFY(notices.at(2).isNull());

    for (int i : {0, 3}) {
        QVERIFY(notices.at(i)->isVisible());
        QCOMPARE(notices.at(i)->Text1->toPlainText(), QStringLiteral("notice %1").arg(i));
    }
}

void TestForm2::escapeClosesAsOkDoes() {
    QPointer<Form2> other = new Form2;
    other->show();
    QPointer<Form2> notice = new Form2;
    notice->show();
    QVERIFY(QTest::qWaitForWindowExposed(notice.data()));
    QSignalSpy ok(notice->Command1, &QPushButton::clicked);
    QTest::keyClick(notice.data(), Qt::Key_Escape, Qt::ShiftModifier); // not Escape alone
    QVERIFY(notice);
    QTest::keyClick(notice->Command1, Qt::Key_Escape);
    QCOMPARE(ok.count(), 1);
    QTRY_VERIFY(notice.isNull());
    QVERIFY(other && other->isVisible());
}

void TestForm2::closedNoticesLeaveNoPictures() {
    QPixmapCache::clear();
    QList<QPointer<Form2>> notices;
    for (int i = 0; i < 3; ++i) {
        auto *notice = new Form2;
        notice->SetText(QStringLiteral(" 07Dec2026 12:00\r\nnotice %1").arg(i));
        notice->show();
        notice->grab(); // drawn as on the screen
        notices.append(notice);
    }
    // What was drawn for the open notices is kept while they are open.
    QVERIFY(QPixmapCache::totalUsed() > 0);

    for (const QPointer<Form2> &notice : notices)
        notice->close();
    QTRY_VERIFY(std::all_of(notices.cbegin(), notices.cend(),
                            [](const QPointer<Form2> &notice) { return notice.isNull(); }));
    // Pictures keyed to a closed notice's own palette and icon would never be
    // used again: a day of notices would fill the cache with them.
    QCOMPARE(QPixmapCache::totalUsed(), 0);
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
