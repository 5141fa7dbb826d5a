#include "notificationqueue.h"

namespace {

const QString &field(const QueueEntry &entry, int column) {
    switch (column) {
    case NotificationQueue::DueTextColumn:
        return entry.DueText;
    case NotificationQueue::MessageColumn:
        return entry.Message;
    case NotificationQueue::StatusColumn:
        return entry.Status;
    case NotificationQueue::RecipientColumn:
        return entry.Recipient;
    case NotificationQueue::ModeColumn:
        return entry.Mode;
    case NotificationQueue::SubjectColumn:
        return entry.Subject;
    default:
        return entry.DisplayLine;
    }
}

} // namespace

NotificationQueue::NotificationQueue(QObject *parent)
    : QAbstractTableModel(parent) {}

int NotificationQueue::Count() const {
    return int(m_rows.size());
}

void NotificationQueue::Append(const QueueEntry &entry) {
    Q_ASSERT(!IsFull());
    const int k = Count();
    beginInsertRows(QModelIndex(), k, k);
    m_rows.push_back({entry, DueTime::Read(entry.DueText)});
    endInsertRows();
}

void NotificationQueue::Remove(int k) {
    if (k < 0 || k >= Count())
        return;
    beginRemoveRows(QModelIndex(), k, k);
    m_rows.erase(m_rows.begin() + k);
    endRemoveRows();
}

const NotificationQueue::Row *NotificationQueue::rowAt(int k) const {
    return k >= 0 && k < Count() ? &m_rows[std::size_t(k)] : nullptr;
}

QueueEntry NotificationQueue::Entry(int k) const {
    const Row *row = rowAt(k);
    return row ? row->entry : QueueEntry{};
}

QString NotificationQueue::fieldAt(int k, Column column) const {
    const Row *row = rowAt(k);
    return row ? field(row->entry, column) : QString();
}

QString NotificationQueue::DueText(int k) const {
    return fieldAt(k, DueTextColumn);
}
QString NotificationQueue::Message(int k) const {
    return fieldAt(k, MessageColumn);
}
QString NotificationQueue::Status(int k) const {
    return fieldAt(k, StatusColumn);
}
QString NotificationQueue::Recipient(int k) const {
    return fieldAt(k, RecipientColumn);
}
QString NotificationQueue::Mode(int k) const {
    return fieldAt(k, ModeColumn);
}
QString NotificationQueue::Subject(int k) const {
    return fieldAt(k, SubjectColumn);
}
QString NotificationQueue::DisplayLine(int k) const {
    return fieldAt(k, DisplayLineColumn);
}

std::optional<WallMinute> NotificationQueue::Due(int k) const {
    const Row *row = rowAt(k);
    return row ? row->due : std::nullopt;
}

void NotificationQueue::SetStatus(int k, const QString &status) {
    if (k < 0 || k >= Count())
        return;
    m_rows[std::size_t(k)].entry.Status = status;
    const QModelIndex cell = index(k, StatusColumn);
    Q_EMIT dataChanged(cell, cell, {Qt::DisplayRole});
}

int NotificationQueue::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : Count();
}

int NotificationQueue::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant NotificationQueue::data(const QModelIndex &index, int role) const {
    const Row *row = index.isValid() ? rowAt(index.row()) : nullptr;
    if (row == nullptr || role != Qt::DisplayRole)
        return {};
    return field(row->entry, index.column());
}
