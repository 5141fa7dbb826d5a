#pragma once

#include "queueentry.h"

#include <QString>

class QListWidget;

// The stored notifications, kept as seven parallel list boxes of the main
// window, one per field: item k of every list belongs to entry k. This class
// is the only code that adds, removes or changes their items, so the lists
// always hold the same number of items in the same order.
class NotificationQueue {
public:
    // Positions and counts are 16-bit: at most this many entries.
    static constexpr int MaxEntries = 32767;

    struct Lists {
        QListWidget *List1; // DueText (never seen: it lies under List8)
        QListWidget *List2; // Message
        QListWidget *List3; // Status
        QListWidget *List4; // Recipient
        QListWidget *List5; // Mode
        QListWidget *List7; // Subject
        QListWidget *List8; // DisplayLine: the visible "Time" column
    };

    explicit NotificationQueue(const Lists &lists);

    int Count() const;
    bool IsFull() const { return Count() >= MaxEntries; }

    // Adds an entry at the end. The caller checks IsFull first.
    void Append(const QueueEntry &entry);
    // Removes the entry at k; every later entry moves up one position.
    // Nothing happens when k is not a position (-1: no row selected).
    void Remove(int k);

    QueueEntry Entry(int k) const;
    QString DueText(int k) const;
    QString Message(int k) const;
    QString Status(int k) const;
    QString Recipient(int k) const;
    QString Mode(int k) const;
    QString Subject(int k) const;
    QString DisplayLine(int k) const;

    void SetStatus(int k, const QString &status);

    // The row selected in the visible column, -1 when none.
    int SelectedRow() const;
    // Shows row k (or no row, for -1) as selected in the other visible columns.
    void Select(int k);

private:
    static QString itemText(const QListWidget *list, int k);
    Lists m_lists;
};
