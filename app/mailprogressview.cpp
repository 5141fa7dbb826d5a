#include "mailprogressview.h"

#include "readabletext.h"
#include "resultlineaccessible.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace {

// What a lamp's colour says, for those who cannot see the colour.
QString lampState(Lamp lamp) {
    switch (lamp) {
    case Lamp::Idle:
        break;
    case Lamp::Passed:
        return QStringLiteral("dark green: step passed");
    case Lamp::BodySent:
        return QStringLiteral("teal: message sent, waiting for the server to take it");
    case Lamp::Succeeded:
        return QStringLiteral("bright green: mail delivered");
    case Lamp::Failed:
        return QStringLiteral("red: mail not delivered");
    }
    return QStringLiteral("grey: idle");
}

QColor lampColour(Lamp lamp) {
    switch (lamp) {
    case Lamp::Idle:
        break;
    case Lamp::Passed:
        return QColor(0, 128, 0);
    case Lamp::BodySent:
        return QColor(0, 128, 128);
    case Lamp::Succeeded:
        return QColor(0, 255, 0);
    case Lamp::Failed:
        return QColor(255, 0, 0);
    }
    return QColor(192, 192, 192);
}

} // namespace

MailProgressView::MailProgressView(QPlainTextEdit *events, QLabel *resultLine,
                                   std::array<QLabel *, 9> lamps)
    : m_events(events)
    , m_resultLine(resultLine)
    , m_lamps(lamps) {
    ResultLineAccessible::Install(m_resultLine);
}

QString MailProgressView::EventsText() const {
    return m_events->toPlainText();
}

void MailProgressView::SetEventsText(const QString &text) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_events->setPlainText(plain);
}

void MailProgressView::EventsCaretToEnd() {
    m_events->moveCursor(QTextCursor::End);
    m_events->ensureCursorVisible();
    m_events->repaint();
}

void MailProgressView::SetResultLine(const QString &text) {
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    const bool changed = line != m_resultLine->text();
    m_resultLine->setText(line);
    // Read out each new outcome, wherever the focus is.
    if (changed && !line.isEmpty())
        ResultLineAccessible::Announce(m_resultLine);
}

void MailProgressView::SetLamp(int member, Lamp colour) {
    if (member < 0 || member >= int(m_lamps.size()))
        return;
    QLabel *lamp = m_lamps[std::size_t(member)];
    ReadableText::SetBackground(lamp, lampColour(colour));
    lamp->setAccessibleDescription(lampState(colour));
}
