#pragma once

#include "duetime.h"
#include "queueentry.h"

#include <QAbstractTableModel>
#include <QString>

#include <optional>
#include <vector>

// The stored notifications, in store order: one row per entry, one column per
// field. Every view of the queue (the table's columns, the tick, the mail
// dispatch) reads this one model, so the columns cannot drift apart. It knows
// nothing of widgets.
class NotificationQueue : public QAbstractTableModel {
    Q_OBJECT
public:
    // Positions and counts are 16-bit: at most this many entries.
    static constexpr int MaxEntries = 32767;

    // The columns, one per field of an entry.
    enum Column : int {
        DueTextColumn,     // shown by List1, never seen
        MessageColumn,     // List2
        StatusColumn,      // List3
        RecipientColumn,   // List4
        ModeColumn,        // List5
        SubjectColumn,     // List7
        DisplayLineColumn, // List8, the "Time" column
        ColumnCount
    };

    explicit NotificationQueue(QObject *parent = nullptr);

    int Count() const;
    bool IsFull() const { return Count() >= MaxEntries; }

    // Adds an entry at the end. The caller checks IsFull first.
    void Append(const QueueEntry &entry);
    // Removes the entry at k; every later entry moves up one position.
    // Nothing happens when k is not a position (-1: no row selected).
    void Remove(int k);

    // The entry at k; an empty entry when k is not a position.
    QueueEntry Entry(int k) const;
    QString DueText(int k) const;
    QString Message(int k) const;
    QString Status(int k) const;
    QString Recipient(int k) const;
    QString Mode(int k) const;
    QString Subject(int k) const;
    QString DisplayLine(int k) const;
    // The due text at k as read once when the entry was stored; nothing when it
    // cannot be read (or k is not a position).
    std::optional<WallMinute> Due(int k) const;

    void SetStatus(int k, const QString &status);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        QueueEntry entry;
        std::optional<WallMinute> due; // DueText read back, kept for the tick
    };
    const Row *rowAt(int k) const;
    QString fieldAt(int k, Column column) const;

    std::vector<Row> m_rows;
};
