#pragma once

#include "notificationqueue.h"

#include <QAccessible>
#include <QHash>
#include <QListView>

class QItemSelectionModel;

// One column of the queue table: a list view of one field of the queue. The
// visible columns share one selection, so a row shows highlighted in all of
// them at once. To a screen reader it is a list of that one field, one item
// a row.
class QueueColumn : public QListView {
    Q_OBJECT
public:
    QueueColumn(NotificationQueue &queue, NotificationQueue::Column column,
                QWidget *parent = nullptr);
    ~QueueColumn() override;

    // Shows `selection`'s rows highlighted (it must be a selection of this
    // column's queue); the column's own selection goes.
    void ShareSelection(QItemSelectionModel *selection);

    // Makes a table of columns: `followers` share the selection of `lead` and,
    // with `hidden` (which lies under `lead` and takes no input), scroll with
    // it. Returns the shared selection.
    static QItemSelectionModel *Join(QueueColumn *lead, const QList<QueueColumn *> &followers,
                                     QueueColumn *hidden);

    // The accessible item of `row`, made once and kept until the rows move.
    QAccessibleInterface *AccessibleRow(int row);
    // Whether this is the column Join laid under the lead: it is never seen,
    // and screen readers are told so.
    bool Covered() const { return m_covered; }

protected:
    // Shows a cell's tooltip as the plain text it is.
    bool viewportEvent(QEvent *event) override;

private:
    // Lets screen readers see each column as a list of its own field; once a run.
    static void InstallAccessibility();
    void forgetAccessibleRows();

    QHash<int, QAccessible::Id> m_accessibleRows;
    bool m_covered = false;
};
