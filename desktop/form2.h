#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

// The pop-up notice window: shows one notification's text until the user
// presses OK or closes it. Any number can be open at once; each is created
// without a parent and deletes itself when closed.
class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(QWidget *parent = nullptr);
    ~Form2() override;

    // Sets the text that Text1 shows.
    void SetText(const QString &text);

    QPlainTextEdit *Text1 = nullptr;
    QPushButton *Command1 = nullptr;

protected:
    // Escape closes the notice as OK does.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Command1_Click();
    // Lets screen readers see each notice as a dialog; once a run.
    static void InstallAccessibility();
};
