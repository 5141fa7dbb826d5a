#pragma once

#include <chrono>
#include <functional>

// Keeps a notice from being answered by keys meant for another window. A
// notice comes up while the person may be typing elsewhere; where the desktop
// hands it the keyboard anyway, their next Return or blank would close it
// unread. So a key may answer a notice only once the notice has been on the
// screen for a moment and no key has come for about a second; every key that
// comes sooner does nothing and starts the wait again. Clicks are not keys:
// they always answer at once.
class NoticeKeyGuard {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // How long the notice must have been shown, and the keyboard quiet,
    // before a key answers it. One second, as browsers wait before a key may
    // answer a security dialog: longer than the pause between two words of
    // someone typing on, short enough that one who turns to the notice and
    // presses Return does not notice the wait.
    static constexpr std::chrono::milliseconds OnScreen{1000};
    static constexpr std::chrono::milliseconds Quiet{1000};

    // `now` is the clock it reads; none: the steady clock.
    explicit NoticeKeyGuard(Clock now = {});

    // The notice has come on the screen: the wait starts.
    void Shown();
    // A key has come: true when it may answer the notice. Each key, let
    // through or not, starts the quiet wait again.
    bool Admit();

private:
    Clock m_now;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_shownAt;
    std::chrono::steady_clock::time_point m_lastKey;
};
