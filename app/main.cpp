#include "arrowstyle.h"
#include "form1.h"
#include "platformchoice.h"
#include "singleinstance.h"

#include <QApplication>
#include <QDebug>

#include <memory>

int main(int argc, char *argv[]) {
    // Through Xwayland where a Wayland desktop offers it (see PlatformChoice):
    // decided before Qt reads its platform, as the application object is made.
    PlatformChoice::Apply(argc, argv);
    QApplication app(argc, argv);
    // The desktop's style with the calendar's page arrows drawn by the program.
    QApplication::setStyle(new ArrowStyle(QApplication::style()));
    QApplication::setApplicationName(Form1::AppTitle);
    QApplication::setDesktopFileName(QStringLiteral("tallowick"));
    // The program ends when its main window has closed and the last notice
    // window is dismissed, not when the last visible window goes (the main
    // window may be hidden in the tray).
    QApplication::setQuitOnLastWindowClosed(false);

    // One program per desktop session: a later start brings this one's window
    // back and ends, before start-up has made a file or shown a window.
    SingleInstance instance(QDBusConnection::sessionBus());
    std::unique_ptr<Form1> form;
    QObject::connect(
        &instance, &SingleInstance::Decided, &app, [&](SingleInstance::Outcome outcome) {
            if (outcome == SingleInstance::Outcome::HandedOver)
                return QCoreApplication::exit(0);
            if (outcome == SingleInstance::Outcome::Unchecked)
                qWarning().noquote() << instance.Reason();
            form = std::make_unique<Form1>();
            QObject::connect(form.get(), &Form1::ProgramEnded, &app, &QApplication::quit);
            // A closed window cannot come back: a later start is a program of its own.
            QObject::connect(form.get(), &Form1::WindowClosed, &instance, &SingleInstance::Release);
            if (form->Form_Load() == Form1::StartOutcome::Refused)
                return QCoreApplication::exit(1);
            form->show();
            QObject::connect(&instance, &SingleInstance::ActivationRequested, form.get(),
                             &Form1::BringBack);
        });
    instance.Start();
    return app.exec();
}
