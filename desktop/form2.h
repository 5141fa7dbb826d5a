#pragma once

#include "noticekeyguard.h"

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

// The pop-up notice window: shows one notification's text until the user
// presses OK or closes it. Any number can be open at once; each is created
// without a parent and deletes itself when closed.
//
// A notice comes due while the person may be working in another window. It
// comes up above that window without taking the keyboard where the desktop
// lets it, asks for attention instead, and is announced to screen readers;
// where the desktop gives it the keyboard anyway, keys typed on do not answer
// it (NoticeKeyGuard). OK and the close box always close it at once.
class Form2 : public QWidget {
    Q_OBJECT
public:
    // `now` is the clock the key guard reads (none: the steady clock); tests pin it.
    explicit Form2(QWidget *parent = nullptr, NoticeKeyGuard::Clock now = {});

    // Sets the text that Text1 shows.
    void SetText(const QString &text);

    QPlainTextEdit *Text1 = nullptr;
    QPushButton *Command1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    // Escape closes the notice as OK does.
    void keyPressEvent(QKeyEvent *event) override;
    // Holds back keys that come too soon (see NoticeKeyGuard).
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Command1_Click();
    // Lets screen readers see each notice as an alert; once a run.
    static void InstallAccessibility();

    NoticeKeyGuard m_keyGuard;
    bool m_keysWatched = false;
    bool m_askAttention = false; // until the notice is first on the screen
};
