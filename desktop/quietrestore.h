#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>

class QWidget;
class QWindow;

// Brings a minimised top-level window back without handing it the keyboard.
//
// On X11 un-minimising maps the window again, and the window manager decides
// then whether to focus it, by the input hint (WM_HINTS) it last read from the
// window. So the window says that it takes no keyboard from before it asks to
// be mapped until the window manager has handled the map: until it reports
// the window no longer minimised (it sets WM_STATE in the same step as it maps
// and focuses) and the window is exposed again. Said back any sooner, the
// window manager may read the hint only after it turned back, and hand the
// window the keyboard (openbox did, in about four runs of ten).
//
// A window manager that keeps minimised windows mapped (mutter) never sees a
// map request: it is asked to un-minimise the window with _NET_ACTIVE_WINDOW,
// which it handles under the same hint.
class QuietRestore : public QObject {
    Q_OBJECT
public:
    // Ends a hold the window manager never answers (no window manager, or one
    // that refuses): then nothing is mapped that could take the keyboard.
    static constexpr std::chrono::milliseconds DefaultFallback = std::chrono::seconds(10);

    explicit QuietRestore(QWidget *widget, std::chrono::milliseconds fallback = DefaultFallback);

    // Un-minimises the widget's window (a maximised one comes back normal);
    // the keyboard stays where the person types.
    void Restore();
    // The window may take the keyboard again at once: the person asked for it.
    void Release();
    // The window says that it takes no keyboard, until the window manager has
    // mapped it.
    bool Holding() const { return m_holding; }

Q_SIGNALS:
    // The hold has ended: the window takes the keyboard again when given it.
    void Released();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void releaseWhenSettled();

    QPointer<QWidget> m_widget;
    QPointer<QWindow> m_window; // the one the hold was put on
    QTimer m_fallback;
    bool m_holding = false;
    bool m_reported = false; // the window system said: no longer minimised
};
