#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <optional>

class Form2;

// When the main window closes and when the program ends. A close asked for
// while a tick runs waits until the tick has unwound. An exit closes the
// notice windows together with the main window; closing the main window
// alone leaves them open. The program ends once the main window has closed
// and no notice window is left.
class ExitRules : public QObject {
    Q_OBJECT
public:
    enum class Request { CloseWindow, ExitProgram };

    // Opens a notice window showing `text`; it leaves the list when it closes.
    void OpenNotice(const QString &text);
    // The notice windows still open, oldest first.
    QList<Form2 *> Notices() const;
    void CloseNotices();

    // Keeps a request made while a tick runs; an exit is never turned back
    // into a mere close.
    void Defer(Request request);
    // True while a request waits for the tick to unwind.
    bool Deferred() const { return m_deferred.has_value(); }
    // The request that waited, if any, taken once the tick has unwound.
    std::optional<Request> TakeDeferred();

    // The main window has closed: the program ends once no notice is left.
    void WindowClosed();
    bool IsWindowClosed() const { return m_windowClosed; }

Q_SIGNALS:
    void ProgramEnded();

private:
    void endIfNoWindowLeft();

    QList<QPointer<Form2>> m_notices;
    std::optional<Request> m_deferred;
    bool m_windowClosed = false;
    bool m_ended = false;
};
