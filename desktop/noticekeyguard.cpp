#include "noticekeyguard.h"

NoticeKeyGuard::NoticeKeyGuard(Clock now)
    : m_now(now ? std::move(now) : Clock(&std::chrono::steady_clock::now)) {}

void NoticeKeyGuard::Shown() {
    m_shown = true;
    m_shownAt = m_now();
    m_lastKey = m_shownAt;
}

bool NoticeKeyGuard::Admit() {
    const auto now = m_now();
    const bool admitted = m_shown && now - m_shownAt >= OnScreen && now - m_lastKey >= Quiet;
    m_lastKey = now;
    return admitted;
}
