#pragma once

#include <QObject>

class Module2;
class QWidget;

// The event filter that Module2 puts in front of the hooked window. A child
// of that window, so it goes when the window goes.
class WindowHook : public QObject {
    Q_OBJECT
public:
    WindowHook(Module2 &module, QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Module2 &m_module;
    QWidget *m_window;
};
