#include "windowhook.h"

#include "module2.h"

#include <QWidget>

WindowHook::WindowHook(Module2 &module, QWidget *window)
    : QObject(window)
    , module(module)
    , window(window) {}

bool WindowHook::eventFilter(QObject *watched, QEvent *event) {
    if (watched != window)
        return false;
    return module.HookWindowProc(window, event);
}
