#include "arrowstyle.h"
#include "form1.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    // The desktop's style with the calendar's page arrows drawn by the program.
    QApplication::setStyle(new ArrowStyle(QApplication::style()));
    QApplication::setApplicationName(Form1::AppTitle);
    QApplication::setDesktopFileName(QStringLiteral("tallowick"));
    // The program ends when its main window has closed and the last notice
    // window is dismissed, not when the last visible window goes (the main
    // window may be hidden in the tray).
    QApplication::setQuitOnLastWindowClosed(false);

    Form1 form;
    QObject::connect(&form, &Form1::ProgramEnded, &app, &QApplication::quit);
    if (form.Form_Load() == Form1::StartOutcome::Refused)
        return 1;
    form.show();
    return app.exec();
}
