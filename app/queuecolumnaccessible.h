#pragma once

#include <QAccessibleInterface>
#include <QAccessibleWidget>
#include <QPersistentModelIndex>
#include <QPointer>

class QueueColumn;

// A queue column as a screen reader sees it: a list whose items are the rows
// of that column's field alone (the item views' own accessibility would list
// every field of the queue in every column).
class QueueColumnAccessible : public QAccessibleWidget {
public:
    explicit QueueColumnAccessible(QueueColumn *column);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;
    QAccessible::State state() const override;

private:
    QueueColumn *column() const;
};

// One row of a queue column: its text, what more its cell says (why a retry waits), and
// whether it is the selected row.
class QueueCellAccessible : public QAccessibleInterface {
public:
    QueueCellAccessible(QueueColumn *column, const QModelIndex &index);

    bool isValid() const override;
    QObject *object() const override { return nullptr; }
    QWindow *window() const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override;

    int Row() const { return m_index.row(); }

private:
    QPointer<QueueColumn> m_column;
    QPersistentModelIndex m_index;
};
