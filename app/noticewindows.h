#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class Form2;

// The notice windows the program opens, and its end: the program ends once the
// main window has closed and no notice window is left. An exit closes the
// notices together with the main window; closing the main window alone leaves
// them open.
class NoticeWindows : public QObject {
    Q_OBJECT
public:
    // Opens a notice window showing `text`; it leaves the list when it closes.
    void OpenNotice(const QString &text);
    // The notice windows still open, oldest first.
    QList<Form2 *> Notices() const;
    void CloseNotices();

    // The main window has closed: the program ends once no notice is left.
    void WindowClosed();
    bool IsWindowClosed() const { return m_windowClosed; }

Q_SIGNALS:
    void ProgramEnded();

private:
    void endIfNoWindowLeft();

    QList<QPointer<Form2>> m_notices;
    bool m_windowClosed = false;
    bool m_ended = false;
};
