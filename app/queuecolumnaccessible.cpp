#include "queuecolumnaccessible.h"

#include "queuecolumn.h"

#include <QItemSelectionModel>
#include <QWidget>

QueueColumnAccessible::QueueColumnAccessible(QueueColumn *column)
    : QAccessibleWidget(column, QAccessible::List) {}

QueueColumn *QueueColumnAccessible::column() const {
    return static_cast<QueueColumn *>(widget());
}

int QueueColumnAccessible::childCount() const {
    return column()->model()->rowCount();
}

QAccessibleInterface *QueueColumnAccessible::child(int index) const {
    return column()->AccessibleRow(index);
}

int QueueColumnAccessible::indexOfChild(const QAccessibleInterface *child) const {
    const auto *cell = dynamic_cast<const QueueCellAccessible *>(child);
    return cell && cell->isValid() && cell->parent() == this ? cell->Row() : -1;
}

QAccessibleInterface *QueueColumnAccessible::childAt(int x, int y) const {
    const QPoint inside = column()->viewport()->mapFromGlobal(QPoint(x, y));
    return child(column()->indexAt(inside).row());
}

QAccessibleInterface *QueueColumnAccessible::focusChild() const {
    return column()->hasFocus() ? child(column()->currentIndex().row()) : nullptr;
}

QAccessible::State QueueColumnAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    // The column under the Time column is on screen only in name.
    state.invisible = state.invisible || column()->Covered();
    return state;
}

QueueCellAccessible::QueueCellAccessible(QueueColumn *column, const QModelIndex &index)
    : m_column(column)
    , m_index(index) {}

bool QueueCellAccessible::isValid() const {
    return !m_column.isNull() && m_index.isValid();
}

QWindow *QueueCellAccessible::window() const {
    return m_column ? m_column->window()->windowHandle() : nullptr;
}

QAccessibleInterface *QueueCellAccessible::parent() const {
    return m_column ? QAccessible::queryAccessibleInterface(m_column.data()) : nullptr;
}

QString QueueCellAccessible::text(QAccessible::Text t) const {
    if (!isValid())
        return {};
    switch (t) {
    case QAccessible::Name:
        return m_index.data().toString();
    case QAccessible::Description:
        return m_index.data(Qt::AccessibleDescriptionRole).toString();
    default:
        return {};
    }
}

QRect QueueCellAccessible::rect() const {
    if (!isValid())
        return {};
    const QRect inViewport = m_column->visualRect(m_index);
    return QRect(m_column->viewport()->mapToGlobal(inViewport.topLeft()), inViewport.size());
}

QAccessible::State QueueCellAccessible::state() const {
    QAccessible::State state;
    if (!isValid())
        return state;
    state.selectable = true;
    state.selected = m_column->selectionModel()->isSelected(m_index);
    state.disabled = !m_column->isEnabled();
    state.invisible = !m_column->isVisible() || m_column->Covered();
    state.offscreen = !m_column->viewport()->rect().intersects(m_column->visualRect(m_index));
    return state;
}
