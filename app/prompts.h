#pragma once

#include <QString>

class QWidget;

// The program's modal message boxes. The window asks through this interface
// so that tests can answer the boxes without showing them.
class Prompts {
public:
    // Button sets.
    static constexpr int vbOKOnly = 0;
    static constexpr int vbOKCancel = 1;
    // Answers.
    static constexpr int vbOK = 1;
    static constexpr int vbCancel = 2;

    // Title of every box shown without one of its own.
    static inline const QString ApplicationTitle = QStringLiteral("Tallowick");

    virtual ~Prompts() = default;
    // Shows the text modally and returns the button pressed.
    virtual int MsgBox(QWidget *parent, const QString &prompt, int buttons = vbOKOnly,
                       const QString &title = QString()) = 0;
};

// Real message boxes: text only, no icon.
class MessageBoxPrompts : public Prompts {
public:
    int MsgBox(QWidget *parent, const QString &prompt, int buttons = vbOKOnly,
               const QString &title = QString()) override;
};
