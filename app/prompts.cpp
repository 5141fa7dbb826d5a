#include "prompts.h"

#include <QMessageBox>

int MessageBoxPrompts::MsgBox(QWidget *parent, const QString &prompt, int buttons,
                              const QString &title) {
    QMessageBox box(parent);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(title.isEmpty() ? ApplicationTitle : title);
    box.setText(prompt);
    box.setTextFormat(Qt::PlainText);
    if (buttons == vbOKCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Cancel ? vbCancel : vbOK;
}
