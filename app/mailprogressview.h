#pragma once

#include "sessionview.h"

#include <array>

class QLabel;
class QPlainTextEdit;

// Where the main window shows a mail session: the Events box, the result line
// and the strip of nine lamps. Texts from the server are shown as plain text.
class MailProgressView : public SessionView {
public:
    MailProgressView(QPlainTextEdit *events, QLabel *resultLine, std::array<QLabel *, 9> lamps);

    QString EventsText() const override;
    void SetEventsText(const QString &text) override;
    void EventsCaretToEnd() override;
    void SetResultLine(const QString &text) override;
    void SetLamp(int member, Lamp colour) override;

private:
    QPlainTextEdit *m_events;
    QLabel *m_resultLine;
    std::array<QLabel *, 9> m_lamps;
};
