#include "notificationqueue.h"

#include <QListWidget>

NotificationQueue::NotificationQueue(const Lists &lists)
    : m_lists(lists) {}

int NotificationQueue::Count() const {
    return m_lists.List1->count();
}

void NotificationQueue::Append(const QueueEntry &entry) {
    Q_ASSERT(!IsFull());
    m_lists.List1->addItem(entry.DueText);
    m_lists.List2->addItem(entry.Message);
    m_lists.List3->addItem(entry.Status);
    m_lists.List4->addItem(entry.Recipient);
    m_lists.List7->addItem(entry.Subject);
    m_lists.List8->addItem(entry.DisplayLine);
    m_lists.List5->addItem(entry.Mode);
}

void NotificationQueue::Remove(int k) {
    if (k < 0 || k >= Count())
        return;
    for (QListWidget *list : {m_lists.List1, m_lists.List2, m_lists.List3, m_lists.List4,
                              m_lists.List5, m_lists.List7, m_lists.List8})
        delete list->takeItem(k);
}

QString NotificationQueue::itemText(const QListWidget *list, int k) {
    const QListWidgetItem *item = list->item(k);
    return item ? item->text() : QString();
}

QueueEntry NotificationQueue::Entry(int k) const {
    return {DueText(k), Message(k), Status(k), Recipient(k), Mode(k), Subject(k), DisplayLine(k)};
}

QString NotificationQueue::DueText(int k) const {
    return itemText(m_lists.List1, k);
}
QString NotificationQueue::Message(int k) const {
    return itemText(m_lists.List2, k);
}
QString NotificationQueue::Status(int k) const {
    return itemText(m_lists.List3, k);
}
QString NotificationQueue::Recipient(int k) const {
    return itemText(m_lists.List4, k);
}
QString NotificationQueue::Mode(int k) const {
    return itemText(m_lists.List5, k);
}
QString NotificationQueue::Subject(int k) const {
    return itemText(m_lists.List7, k);
}
QString NotificationQueue::DisplayLine(int k) const {
    return itemText(m_lists.List8, k);
}

void NotificationQueue::SetStatus(int k, const QString &status) {
    if (QListWidgetItem *item = m_lists.List3->item(k))
        item->setText(status);
}

int NotificationQueue::SelectedRow() const {
    const QList<QListWidgetItem *> selected = m_lists.List8->selectedItems();
    return selected.isEmpty() ? -1 : m_lists.List8->row(selected.first());
}

void NotificationQueue::Select(int k) {
    for (QListWidget *list :
         {m_lists.List2, m_lists.List3, m_lists.List4, m_lists.List5, m_lists.List7}) {
        if (k < 0)
            list->clearSelection();
        list->setCurrentRow(k);
    }
}
