#pragma once

#include "traycallbackevent.h"

#include <QEvent>
#include <QList>
#include <QWidget>

#include <cstdint>

// A window that writes down the events it gets to handle itself: custom
// events by type, tray callbacks with their identifier and mouse message.
class RecordingWindow : public QWidget {
public:
    struct Seen {
        int type = 0;
        std::uint32_t wParam = 0;
        std::int32_t lParam = 0;
        bool operator==(const Seen &) const = default;
    };
    QList<Seen> seen;

    QList<std::int32_t> Callbacks() const {
        QList<std::int32_t> messages;
        for (const Seen &s : seen)
            if (s.type == TrayCallbackEvent::EventType())
                messages.append(s.lParam);
        return messages;
    }

protected:
    bool event(QEvent *e) override {
        if (e->type() == TrayCallbackEvent::EventType()) {
            const auto *callback = static_cast<TrayCallbackEvent *>(e);
            seen.append({e->type(), callback->wParam, callback->lParam});
        } else if (e->type() >= QEvent::User) {
            seen.append({e->type(), 0, 0});
        }
        return QWidget::event(e);
    }
};
