#pragma once

#include <QString>

// Colours of the nine progress lamps of a mail transfer.
enum class Lamp {
    Idle,      // light grey (192,192,192): lamps 0 to 7 between sessions
    Passed,    // dark green (0,128,0): a step has been passed
    BodySent,  // teal (0,128,128): lamp 7 after the body, before the end of data
    Succeeded, // bright green (0,255,0): lamp 8, the session succeeded
    Failed,    // bright red (255,0,0): lamp 8, the session failed
};

// The part of the main window a mail session writes to: the Events box, the
// result line and the lamps. The window implements it; tests record it.
class SessionView {
public:
    virtual ~SessionView() = default;

    virtual QString EventsText() const = 0;
    virtual void SetEventsText(const QString &text) = 0;
    // Moves the Events box's caret to the end of its text and repaints it at once.
    virtual void EventsCaretToEnd() = 0;
    virtual void SetResultLine(const QString &text) = 0;
    virtual void SetLamp(int member, Lamp colour) = 0;
};
