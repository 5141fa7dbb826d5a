#include "queuecolumn.h"

#include "queuecolumnaccessible.h"

#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QToolTip>

#include <mutex>

QueueColumn::QueueColumn(NotificationQueue &queue, NotificationQueue::Column column,
                         QWidget *parent)
    : QListView(parent) {
    InstallAccessibility();
    setModel(&queue);
    setModelColumn(column);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Whole rows are selected, so the shared selection covers every column.
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Rows that move take their accessible items' positions with them.
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&queue, signal, this, &QueueColumn::forgetAccessibleRows);
    connect(&queue, &QAbstractItemModel::modelReset, this, &QueueColumn::forgetAccessibleRows);
}

QueueColumn::~QueueColumn() {
    forgetAccessibleRows();
}

void QueueColumn::ShareSelection(QItemSelectionModel *selection) {
    QItemSelectionModel *own = selectionModel();
    setSelectionModel(selection);
    if (own != selection)
        delete own;
}

QItemSelectionModel *QueueColumn::Join(QueueColumn *lead, const QList<QueueColumn *> &followers,
                                       QueueColumn *hidden) {
    // Whole rows are selected, so a row selected in the lead shows in every
    // follower at once.
    QItemSelectionModel *selection = lead->selectionModel();
    for (QueueColumn *column : followers)
        column->ShareSelection(selection);
    hidden->lower();
    hidden->m_covered = true;
    hidden->setFocusPolicy(Qt::NoFocus);
    hidden->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The others follow the lead when it scrolls, and catch up when their own
    // rows are laid out after the lead's.
    QList<QueueColumn *> scrolled = followers;
    scrolled.append(hidden);
    for (QueueColumn *column : scrolled) {
        column->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        QScrollBar *own = column->verticalScrollBar();
        QScrollBar *leading = lead->verticalScrollBar();
        connect(leading, &QScrollBar::valueChanged, own, &QScrollBar::setValue);
        connect(own, &QScrollBar::rangeChanged, own,
                [own, leading] { own->setValue(leading->value()); });
    }
    return selection;
}

bool QueueColumn::viewportEvent(QEvent *event) {
    if (event->type() != QEvent::ToolTip)
        return QListView::viewportEvent(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex cell = indexAt(help->pos());
    const QString tip = cell.data(Qt::ToolTipRole).toString();
    if (tip.isEmpty())
        return QListView::viewportEvent(event);
    // A tooltip takes text that looks like markup for markup, and a server's reply may look
    // like anything: escaped, it reads as it came, its blanks kept.
    const QString shown = QStringLiteral("<p style='white-space:pre-wrap'>") + tip.toHtmlEscaped() +
                          QStringLiteral("</p>");
    QToolTip::showText(help->globalPos(), shown, viewport(), visualRect(cell));
    return true;
}

QAccessibleInterface *QueueColumn::AccessibleRow(int row) {
    if (row < 0 || row >= model()->rowCount())
        return nullptr;
    if (const auto known = m_accessibleRows.constFind(row); known != m_accessibleRows.cend())
        return QAccessible::accessibleInterface(*known);
    auto *item = new QueueCellAccessible(this, model()->index(row, modelColumn()));
    m_accessibleRows.insert(row, QAccessible::registerAccessibleInterface(item));
    return item;
}

void QueueColumn::forgetAccessibleRows() {
    for (const QAccessible::Id id : std::as_const(m_accessibleRows))
        QAccessible::deleteAccessibleInterface(id);
    m_accessibleRows.clear();
}

void QueueColumn::InstallAccessibility() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        QAccessible::installFactory([](const QString &, QObject *object) -> QAccessibleInterface * {
            if (auto *column = qobject_cast<QueueColumn *>(object))
                return new QueueColumnAccessible(column);
            return nullptr;
        });
    });
}
