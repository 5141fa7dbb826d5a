#include "form2.h"
#include "noticekeyguard.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

class TestForm2 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void layout();
    void keepsLongText();
    void closingOneLeavesOthers();
    void escapeClosesAsOkDoes();
    void keysTypedOnDoNotAnswer_data();
    void keysTypedOnDoNotAnswer();
    void noticesShareTheirPictures();
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

// A clock the tests move by hand.
struct FakeClock {
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    NoticeKeyGuard::Clock clock() {
        return [this] {
            return now;
        };
    }
};

void TestForm2::escapeClosesAsOkDoes() {
    FakeClock time;
    QPointer<Form2> other = new Form2;
    other->show();
    QPointer<Form2> notice = new Form2(nullptr, time.clock());
    notice->show();
    QVERIFY(QTest::qWaitForWindowExposed(notice.data()));
    time.now += NoticeKeyGuard::Quiet;
    QSignalSpy ok(notice->Command1, &QPushButton::clicked);
    QTest::keyClick(notice->windowHandle(), Qt::Key_Escape, Qt::ShiftModifier); // not Escape alone
    QVERIFY(notice);
    time.now += NoticeKeyGuard::Quiet;
    QTest::keyClick(notice->windowHandle(), Qt::Key_Escape);
    QCOMPARE(ok.count(), 1);
    QTRY_VERIFY(notice.isNull());
    QVERIFY(other && other->isVisible());
}

// A notice that the desktop has given the keyboard while the person typed:
// a word, Return and a blank typed on leave it open, also once it has been up
// for a second, since each key starts the wait again; OK's own keys close it
// after a quiet second.
void TestForm2::keysTypedOnDoNotAnswer_data() {
    QTest::addColumn<Qt::Key>("answer");
    QTest::newRow("Return") << Qt::Key_Return;
    QTest::newRow("Space") << Qt::Key_Space;
    QTest::newRow("Escape") << Qt::Key_Escape;
}

void TestForm2::keysTypedOnDoNotAnswer() {
    QFETCH(Qt::Key, answer);
    FakeClock time;
    QPointer<Form2> notice = new Form2(nullptr, time.clock());
    notice->show();
    notice->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(notice.data()));
    QCOMPARE(QApplication::focusWidget(), notice->Command1);
    QSignalSpy ok(notice->Command1, &QPushButton::clicked);
    for (const Qt::Key key : {Qt::Key_W, Qt::Key_O, Qt::Key_R, Qt::Key_D, Qt::Key_Return,
                              Qt::Key_Space, Qt::Key_Escape, answer}) {
        time.now += std::chrono::milliseconds(180);
        QTest::keyClick(notice->windowHandle(), key);
    }
    QCOMPARE(ok.count(), 0);
    QVERIFY(notice && notice->isVisible());

    time.now += NoticeKeyGuard::Quiet;
    QTest::keyClick(notice->windowHandle(), answer);
    QCOMPARE(ok.count(), 1);
    QTRY_VERIFY(notice.isNull());
}

// The style keeps what it draws under the palette's key, and a window's icon
// is kept under its pictures' keys: notices that differ in these would each
// leave their own pictures behind, which a day of notices fills the cache with.
void TestForm2::noticesShareTheirPictures() {
    const auto keys = [](const Form2 *notice) {
        return QList<qint64>{notice->palette().cacheKey(), notice->Command1->palette().cacheKey(),
                             notice->Text1->palette().cacheKey(),
                             notice->Text1->verticalScrollBar()->palette().cacheKey(),
                             notice->windowIcon().cacheKey()};
    };
    QPointer<Form2> first = new Form2;
    first->show();
    const QList<qint64> shared = keys(first);
    first->close();
    QTRY_VERIFY(first.isNull());
    for (int i = 0; i < 3; ++i) {
        auto *notice = new Form2;
        notice->show();
        QCOMPARE(keys(notice), shared);
    }
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
