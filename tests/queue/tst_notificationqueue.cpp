#include "queuefixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QueueEntry entry(int n) {
    const QString tag = QString::number(n);
    return {u"2026/12/7 10:"_s + tag,
            u" message "_s + tag,
            StatusCode::Waiting,
            u"to"_s + tag + u"@example.org"_s,
            n % 2 ? ModeCode::Mail : ModeCode::PopUp,
            u"subject "_s + tag,
            u"07Dec2026 10:"_s + tag};
}
} // namespace

class TestNotificationQueue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void appendFillsEveryColumnInPlace() {
        QueueFixture f;
        f.queue.Append(entry(1));
        f.queue.Append(entry(2));
        QCOMPARE(f.queue.Count(), 2);
        QVERIFY(f.Aligned());
        QCOMPARE(f.List(1).item(1)->text(), entry(2).DueText);
        QCOMPARE(f.List(2).item(1)->text(), entry(2).Message);
        QCOMPARE(f.List(3).item(1)->text(), u"##"_s);
        QCOMPARE(f.List(4).item(1)->text(), entry(2).Recipient);
        QCOMPARE(f.List(5).item(1)->text(), u"PU"_s);
        QCOMPARE(f.List(7).item(1)->text(), entry(2).Subject);
        QCOMPARE(f.List(8).item(1)->text(), entry(2).DisplayLine);
        QCOMPARE(f.queue.Entry(0), entry(1));
    }

    void removeKeepsColumnsAligned_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QList<int>>("left");
        QTest::newRow("first") << 0 << QList<int>{2, 3, 4};
        QTest::newRow("middle") << 2 << QList<int>{1, 2, 4};
        QTest::newRow("last") << 3 << QList<int>{1, 2, 3};
        QTest::newRow("no selection") << -1 << QList<int>{1, 2, 3, 4};
        QTest::newRow("past the end") << 4 << QList<int>{1, 2, 3, 4};
    }
    void removeKeepsColumnsAligned() {
        QFETCH(int, position);
        QFETCH(QList<int>, left);
        QueueFixture f;
        for (int n = 1; n <= 4; ++n)
            f.queue.Append(entry(n));
        f.queue.Remove(position);
        QVERIFY(f.Aligned());
        QCOMPARE(f.queue.Count(), left.size());
        for (int k = 0; k < left.size(); ++k)
            QCOMPARE(f.queue.Entry(k), entry(left[k]));
    }

    void removingTheLastEntryEmptiesEveryList() {
        QueueFixture f;
        f.queue.Append(entry(1));
        f.queue.Remove(0);
        for (auto &box : f.boxes)
            QCOMPARE(box->count(), 0);
    }

    void statusChangesOnlyTheStatusColumn() {
        QueueFixture f;
        f.queue.Append(entry(1));
        f.queue.Append(entry(2));
        f.queue.SetStatus(1, StatusCode::Retry);
        QCOMPARE(f.queue.Status(1), u"WT"_s);
        QueueEntry expected = entry(2);
        expected.Status = StatusCode::Retry;
        QCOMPARE(f.queue.Entry(1), expected);
        QCOMPARE(f.queue.Entry(0), entry(1));
        f.queue.SetStatus(7, StatusCode::Delivered); // not a position: nothing happens
        QCOMPARE(f.queue.Count(), 2);
    }

    void selectionFollowsTheTimeColumn() {
        QueueFixture f;
        for (int n = 1; n <= 3; ++n)
            f.queue.Append(entry(n));
        QCOMPARE(f.queue.SelectedRow(), -1);
        f.List(8).setCurrentRow(2);
        QCOMPARE(f.queue.SelectedRow(), 2);
        f.queue.Select(f.queue.SelectedRow());
        for (int list : {2, 3, 4, 5, 7})
            QCOMPARE(f.List(list).currentRow(), 2);
        QCOMPARE(f.List(1).currentRow(), -1); // the hidden column is left alone
        f.queue.Select(-1);
        for (int list : {2, 3, 4, 5, 7})
            QVERIFY(f.List(list).selectedItems().isEmpty());
    }
};

QTEST_MAIN(TestNotificationQueue)
#include "tst_notificationqueue.moc"
