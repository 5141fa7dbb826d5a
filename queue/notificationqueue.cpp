#include "notificationqueue.h"

#include <algorithm>

namespace {

// The text a view shows in one column of an entry.
QString cellText(const QueueEntry &entry, int column) {
    switch (column) {
    case NotificationQueue::DueTextColumn:
        return DueTime::Text(entry.Due);
    case NotificationQueue::MessageColumn:
        return entry.Message;
    case NotificationQueue::StatusColumn:
        return NotificationQueue::StatusText(entry.Status);
    case NotificationQueue::RecipientColumn:
        return entry.Recipient;
    case NotificationQueue::ModeColumn:
        return NotificationQueue::ModeText(entry.Mode);
    case NotificationQueue::SubjectColumn:
        return entry.Subject;
    default:
        return DueTime::DisplayLine(entry.Due);
    }
}

} // namespace

NotificationQueue::NotificationQueue(QObject *parent)
    : QAbstractTableModel(parent) {}

QString NotificationQueue::StatusText(EntryStatus status) {
    switch (status) {
    case EntryStatus::NeverTried:
        break;
    case EntryStatus::Delivered:
        return QStringLiteral("OK");
    case EntryStatus::TriedAndFailed:
        return QStringLiteral("WT");
    }
    return QStringLiteral("##");
}

QString NotificationQueue::ModeText(EntryMode mode) {
    switch (mode) {
    case EntryMode::PopUp:
        break;
    case EntryMode::Mail:
        return QStringLiteral("MX");
    }
    return QStringLiteral("PU");
}

int NotificationQueue::Count() const {
    return int(m_rows.size());
}

EntryKey NotificationQueue::Append(const QueueEntry &entry) {
    Q_ASSERT(!IsFull());
    const int k = Count();
    beginInsertRows(QModelIndex(), k, k);
    m_rows.push_back(entry);
    m_keys.push_back(++m_lastKey);
    endInsertRows();
    return m_lastKey;
}

void NotificationQueue::Remove(int k) {
    if (k < 0 || k >= Count())
        return;
    beginRemoveRows(QModelIndex(), k, k);
    m_rows.erase(m_rows.begin() + k);
    m_keys.erase(m_keys.begin() + k);
    // The notes of later entries move up with them.
    std::map<int, QString> notes;
    for (auto &[position, note] : m_lastFailures)
        if (position != k)
            notes.emplace(position > k ? position - 1 : position, std::move(note));
    m_lastFailures = std::move(notes);
    endRemoveRows();
}

const QueueEntry *NotificationQueue::rowAt(int k) const {
    return k >= 0 && k < Count() ? &m_rows[std::size_t(k)] : nullptr;
}

EntryKey NotificationQueue::Key(int k) const {
    return k >= 0 && k < Count() ? m_keys[std::size_t(k)] : 0;
}

int NotificationQueue::PositionOf(EntryKey key) const {
    const auto found = std::ranges::lower_bound(m_keys, key);
    return found != m_keys.end() && *found == key ? int(found - m_keys.begin()) : -1;
}

QueueEntry NotificationQueue::Entry(int k) const {
    const QueueEntry *row = rowAt(k);
    return row ? *row : QueueEntry{};
}

QString NotificationQueue::textAt(int k, Column column) const {
    const QueueEntry *row = rowAt(k);
    return row ? cellText(*row, column) : QString();
}

std::optional<WallMinute> NotificationQueue::Due(int k) const {
    const QueueEntry *row = rowAt(k);
    return row ? std::optional(row->Due) : std::nullopt;
}
QString NotificationQueue::Message(int k) const {
    return textAt(k, MessageColumn);
}
EntryStatus NotificationQueue::Status(int k) const {
    const QueueEntry *row = rowAt(k);
    return row ? row->Status : EntryStatus::NeverTried;
}
QString NotificationQueue::Recipient(int k) const {
    return textAt(k, RecipientColumn);
}
EntryMode NotificationQueue::Mode(int k) const {
    const QueueEntry *row = rowAt(k);
    return row ? row->Mode : EntryMode::PopUp;
}
QString NotificationQueue::Subject(int k) const {
    return textAt(k, SubjectColumn);
}
QString NotificationQueue::DisplayLine(int k) const {
    return textAt(k, DisplayLineColumn);
}

void NotificationQueue::SetStatus(int k, EntryStatus status, const QString &lastFailure) {
    if (k < 0 || k >= Count())
        return;
    m_rows[std::size_t(k)].Status = status;
    if (lastFailure.isEmpty())
        m_lastFailures.erase(k);
    else
        m_lastFailures[k] = lastFailure;
    const QModelIndex cell = index(k, StatusColumn);
    Q_EMIT dataChanged(cell, cell,
                       {Qt::DisplayRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
}

int NotificationQueue::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : Count();
}

int NotificationQueue::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant NotificationQueue::data(const QModelIndex &index, int role) const {
    const QueueEntry *row = index.isValid() ? rowAt(index.row()) : nullptr;
    if (row == nullptr)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(*row, index.column());
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        // Why a retry waits, on its status cell. Plain text: views must not take it for markup.
        if (index.column() == StatusColumn && row->Status == EntryStatus::TriedAndFailed) {
            if (const auto note = m_lastFailures.find(index.row()); note != m_lastFailures.end())
                return note->second;
        }
        break;
    default:
        break;
    }
    return {};
}
