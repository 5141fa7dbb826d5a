#pragma once

#include "queueentry.h"

#include <QAbstractTableModel>
#include <QString>

#include <map>
#include <optional>
#include <vector>

// The stored notifications, in store order: one row per entry, one column per
// field. Every view of the queue (the table's columns, the tick) reads this
// one model, so the columns cannot drift apart. It knows nothing of widgets.
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

    // Adds an entry at the end and gives it a key of its own. The caller checks IsFull first.
    EntryKey Append(const QueueEntry &entry);
    // Removes the entry at k; every later entry moves up one position.
    // Nothing happens when k is not a position (-1: no row selected).
    void Remove(int k);

    // The key of the entry at k; 0 when k is not a position.
    EntryKey Key(int k) const;
    // Where the entry with `key` stands now; -1 when it has been removed.
    int PositionOf(EntryKey key) const;

    // The entry at k; an empty entry when k is not a position.
    QueueEntry Entry(int k) const;
    // The due minute at k; nothing when k is not a position.
    std::optional<WallMinute> Due(int k) const;
    QString Message(int k) const;
    EntryStatus Status(int k) const;
    QString Recipient(int k) const;
    EntryMode Mode(int k) const;
    QString Subject(int k) const;
    // The text the Time column shows for the due minute: "05Mar2001 07:40".
    QString DisplayLine(int k) const;

    // Sets the status at k; `lastFailure` is what the window said of the attempt when it
    // failed, shown (as tooltip and accessible description) on the status cell of a retry.
    void SetStatus(int k, EntryStatus status, const QString &lastFailure = QString());

    // The codes the table shows for a status and a mode.
    static QString StatusText(EntryStatus status);
    static QString ModeText(EntryMode mode);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    const QueueEntry *rowAt(int k) const;
    QString textAt(int k, Column column) const;

    std::vector<QueueEntry> m_rows;
    // Each row's key, beside it. Keys are given in store order and rows never change their
    // order, so the keys stay ascending and a key is found by halving.
    std::vector<EntryKey> m_keys;
    EntryKey m_lastKey = 0;
    // What the window said of an entry's latest attempt when it failed, by position. Few
    // entries have one, so they are kept beside the rows rather than widening each of them.
    std::map<int, QString> m_lastFailures;
};
