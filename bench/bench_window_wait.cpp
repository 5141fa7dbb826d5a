// CPU of the whole program while a mail session waits 10 seconds for a
// server that accepted the connection and says nothing, with the window, its
// clock caption and the queue table live. Prints figures.
#include "benchsupport.h"
#include "form1.h"
#include "monthcalendar.h"
#include "prompts.h"
#include "winsock.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

class SilentPrompts : public Prompts {
public:
    int MsgBox(QWidget *, const QString &, int, const QString &) override { return vbOK; }
};

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int waitSeconds = argc > 1 ? QByteArray(argv[1]).toInt() : 10;

    SilentServer silent;
    if (!silent.Listen()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }

    SilentPrompts prompts;
    Form1Services services;
    services.prompts = &prompts;
    Form1 form(std::move(services));
    form.Timer2->stop();
    form.show();
    const QDateTime now = QDateTime::currentDateTime();
    form.Calendar1->SetValue(now.date());
    form.Combo1->setEditText(now.toString(QStringLiteral("HH")));
    form.Combo2->setEditText(now.toString(QStringLiteral("mm")));
    form.Text3->setText(QStringLiteral("127.0.0.1"));
    form.Text7->setText(QStringLiteral("bench@example.org"));
    form.Text4->setText(QStringLiteral("reader@example.org"));
    form.Option2->setChecked(true);
    form.Command2_Click();
    form.Winsock1->setPortOverride(silent.serverPort());
    form.MailModule().ReplyTimeoutOverride = std::chrono::seconds(waitSeconds);

    QElapsedTimer wall;
    const double before = ProcessCpuSeconds();
    wall.start();
    form.Timer2_Timer(); // one tick: hands over one session, whose wait times out
    while (!form.Mail().Idle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double cpu = ProcessCpuSeconds() - before;
    const double elapsed = wall.nsecsElapsed() / 1e9;

    std::printf("whole program during a %d s wait for a silent server: %.3f s CPU in %.3f s "
                "= %.2f%% of a core (target < 1%%); status %s\n",
                waitSeconds, cpu, elapsed, 100.0 * cpu / elapsed,
                qPrintable(NotificationQueue::StatusText(form.Queue().Status(0))));
    return 0;
}
