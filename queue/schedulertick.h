#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

class NotificationQueue;

// What a tick needs from the main window to deliver due entries.
class TickWindow {
public:
    virtual ~TickWindow() = default;
    // Restores the main window and opens a new notice window with the text.
    virtual void ShowNotice(const QString &text) = 0;
    // Sends entry k as mail; true when the server took it.
    virtual bool DispatchMail(int k) = 0;
    // One pass over the pending window events.
    virtual void ProcessEvents() = 0;
    // True once the user has chosen to leave: the tick stops delivering.
    virtual bool Leaving() const = 0;
};

// One pass of the scheduler over the queue: every entry whose due minute has
// come and that is not yet delivered is delivered by its mode, in position
// order, and its status becomes "OK" or "WT".
class SchedulerTick {
public:
    using Clock = std::function<QDateTime()>;

    SchedulerTick(NotificationQueue &queue, TickWindow &window, Clock now);

    // Delivers what is due. Never throws: a delivery that fails by an
    // exception leaves its entry "WT" and the tick goes on.
    void Run();

    // The text of a notice: " " + display line, CR LF, the stored message.
    static QString NoticeText(const QString &displayLine, const QString &message);

private:
    NotificationQueue &m_queue;
    TickWindow &m_window;
    Clock m_now;
};
