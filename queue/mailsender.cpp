#include "mailsender.h"

#include <QLoggingCategory>

#include <exception>

Q_LOGGING_CATEGORY(lcMailSender, "tallowick.mailsender")

MailSender::MailSender(Dispatch dispatch, Clock now, QObject *parent)
    : QObject(parent)
    , m_dispatch(std::move(dispatch))
    , m_now(std::move(now)) {}

void MailSender::Hand(MailJob job, Done done) {
    if (m_stopped)
        return;
    m_held.insert(job.key);
    m_waiting.push_back({std::move(job), std::move(done)});
    startNext();
}

bool MailSender::Holds(EntryKey key) const {
    return m_held.contains(key);
}

EntryKey MailSender::Sending() const {
    return m_current ? m_current->job.key : 0;
}

void MailSender::Withdraw(EntryKey key) {
    if (!m_held.contains(key) || Sending() == key)
        return;
    std::erase_if(m_waiting, [key](const Handed &h) { return h.job.key == key; });
    m_held.remove(key);
}

void MailSender::Stop() {
    m_stopped = true;
    for (const Handed &handed : m_waiting)
        m_held.remove(handed.job.key);
    m_waiting.clear();
}

void MailSender::startNext() {
    if (m_current || m_waiting.empty() || m_stopped)
        return;
    m_current = std::move(m_waiting.front());
    m_waiting.pop_front();
    const quint64 session = ++m_session;
    Q_EMIT SendingChanged();
    const MailJob job = m_current->job; // its own copy: an answer given at once ends m_current
    try {
        m_dispatch(job,
                   [this, session](const DeliveryOutcome &outcome) { ended(session, outcome); });
    } catch (const std::exception &fault) {
        qCWarning(lcMailSender, "A mail could not be started: %s", fault.what());
        ended(session, DeliveryOutcome::Failed(m_now(), DeliveryOutcome::Reason::Fault,
                                               QString::fromLocal8Bit(fault.what())));
    }
}

void MailSender::ended(quint64 session, const DeliveryOutcome &outcome) {
    if (session != m_session || !m_current)
        return; // answered already
    const Done done = std::move(m_current->done);
    m_held.remove(m_current->job.key);
    m_current.reset();
    Q_EMIT SendingChanged();
    if (done)
        done(outcome);
    startNext();
}
