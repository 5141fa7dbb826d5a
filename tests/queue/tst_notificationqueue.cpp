#include "notificationqueue.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QueueEntry entry(int n) {
    const QString tag = QString::number(n);
    return {{QDate(2026, 12, 7), 10, n},
            u" message "_s + tag,
            EntryStatus::NeverTried,
            u"to"_s + tag + u"@example.org"_s,
            n % 2 ? EntryMode::Mail : EntryMode::PopUp,
            u"subject "_s + tag};
}

// The row as the views see it, one text per column.
QStringList cells(const NotificationQueue &queue, int k) {
    QStringList texts;
    for (int column = 0; column < queue.columnCount(); ++column)
        texts << queue.index(k, column).data().toString();
    return texts;
}
} // namespace

class TestNotificationQueue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void appendShowsEveryFieldInItsColumn() {
        NotificationQueue queue;
        QAbstractItemModelTester tester(&queue,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        queue.Append(entry(1));
        queue.Append(entry(2));
        QCOMPARE(queue.Count(), 2);
        QCOMPARE(queue.columnCount(), 7);
        const QueueEntry e = entry(2);
        QCOMPARE(cells(queue, 1),
                 (QStringList{u"2026/12/7 10:02"_s, e.Message, u"##"_s, e.Recipient, u"PU"_s,
                              e.Subject, u"07Dec2026 10:02"_s}));
        queue.SetStatus(0, EntryStatus::Delivered);
        queue.SetStatus(1, EntryStatus::TriedAndFailed);
        QCOMPARE(cells(queue, 0).mid(2, 3), (QStringList{u"OK"_s, entry(1).Recipient, u"MX"_s}));
        QCOMPARE(cells(queue, 1).at(2), u"WT"_s);
        queue.SetStatus(0, EntryStatus::NeverTried);
        queue.SetStatus(1, EntryStatus::NeverTried);
        QCOMPARE(queue.Entry(0), entry(1));
        QVERIFY(queue.Due(0).has_value());
        QCOMPARE(queue.Due(0)->minute, 1);
    }

    void removeClosesTheGap_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QList<int>>("left");
        QTest::newRow("first") << 0 << QList<int>{2, 3, 4};
        QTest::newRow("middle") << 2 << QList<int>{1, 2, 4};
        QTest::newRow("last") << 3 << QList<int>{1, 2, 3};
        QTest::newRow("no selection") << -1 << QList<int>{1, 2, 3, 4};
        QTest::newRow("past the end") << 4 << QList<int>{1, 2, 3, 4};
    }
    void removeClosesTheGap() {
        QFETCH(int, position);
        QFETCH(QList<int>, left);
        NotificationQueue queue;
        QAbstractItemModelTester tester(&queue,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int n = 1; n <= 4; ++n) {
            queue.Append(entry(n));
            queue.SetStatus(n - 1, EntryStatus::TriedAndFailed, u"why %1"_s.arg(n));
        }
        queue.Remove(position);
        QCOMPARE(queue.Count(), left.size());
        for (int k = 0; k < left.size(); ++k) {
            QueueEntry expected = entry(left[k]);
            expected.Status = EntryStatus::TriedAndFailed;
            QCOMPARE(queue.Entry(k), expected);
            QCOMPARE(queue.Due(k)->minute, left[k]);
            // Why it waits moves with the entry.
            const QModelIndex status = queue.index(k, NotificationQueue::StatusColumn);
            QCOMPARE(status.data(Qt::AccessibleDescriptionRole).toString(),
                     u"why %1"_s.arg(left[k]));
        }
    }

    void statusChangesOnlyItsCell() {
        NotificationQueue queue;
        queue.Append(entry(1));
        queue.Append(entry(2));
        QSignalSpy changed(&queue, &QAbstractItemModel::dataChanged);
        queue.SetStatus(1, EntryStatus::TriedAndFailed);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][0].toModelIndex(), queue.index(1, NotificationQueue::StatusColumn));
        QueueEntry expected = entry(2);
        expected.Status = EntryStatus::TriedAndFailed;
        QCOMPARE(queue.Entry(1), expected);
        QCOMPARE(queue.Entry(0), entry(1));
        queue.SetStatus(7, EntryStatus::Delivered); // not a position: nothing happens
        QCOMPARE(changed.size(), 1);
        QCOMPARE(queue.Entry(7), QueueEntry{});
        QVERIFY(!queue.Due(7).has_value());
    }
};

QTEST_GUILESS_MAIN(TestNotificationQueue)
#include "tst_notificationqueue.moc"
