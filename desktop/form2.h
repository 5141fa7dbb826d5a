#pragma once

#include <QList>
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

    // The notice windows that exist and have not been closed, oldest first.
    static QList<Form2 *> OpenWindows();
    // Closes (and so deletes) every open notice window.
    static void CloseAll();

    QPlainTextEdit *Text1 = nullptr;
    QPushButton *Command1 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Command1_Click();
};
