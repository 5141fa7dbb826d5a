#include "noticewindows.h"

#include "form2.h"

#include <QTimer>

void NoticeWindows::OpenNotice(const QString &text) {
    auto *notice = new Form2();
    notice->SetText(text);
    notice->show();
    m_notices.append(notice);
    // Queued: by the time it runs the notice is gone from the open ones.
    connect(notice, &QObject::destroyed, this, &NoticeWindows::endIfNoWindowLeft,
            Qt::QueuedConnection);
}

QList<Form2 *> NoticeWindows::Notices() const {
    QList<Form2 *> open;
    for (const QPointer<Form2> &notice : m_notices) {
        // A closed notice is hidden at once and deleted a moment later.
        if (!notice.isNull() && notice->isVisible())
            open.append(notice.data());
    }
    return open;
}

void NoticeWindows::CloseNotices() {
    for (Form2 *notice : Notices())
        notice->close();
    m_notices.removeAll(nullptr);
}

void NoticeWindows::WindowClosed() {
    m_windowClosed = true;
    QTimer::singleShot(0, this, &NoticeWindows::endIfNoWindowLeft);
}

void NoticeWindows::endIfNoWindowLeft() {
    m_notices.removeAll(nullptr);
    if (m_windowClosed && !m_ended && Notices().isEmpty()) {
        m_ended = true;
        Q_EMIT ProgramEnded();
    }
}
