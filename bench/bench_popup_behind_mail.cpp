// How late a pop-up comes when a mail to a silent server is due in the same
// minute, stored before it, and how long Store is out of the person's reach
// meanwhile. One tick, through the real main window, against a loopback server
// that accepts the connection and never greets. Prints figures.
// Usage: bench_popup_behind_mail [reply wait in seconds, default 50]
#include "benchsupport.h"
#include "benchwindow.h"
#include "form1.h"
#include "form2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

// Times, from the start of the tick, when a notice is first shown and each
// stretch in which Store was disabled.
class Watch : public QObject {
public:
    Watch(QPushButton *store, QElapsedTimer &clock)
        : m_store(store)
        , m_clock(clock) {}

    qint64 noticeShownNs = -1;
    qint64 storeDisabledNs = 0;
    int storeDisabledStretches = 0;

    // Store as it stands once the run is over: a stretch still open counts up to now.
    void Close() {
        if (m_disabledSince >= 0)
            storeDisabledNs += m_clock.nsecsElapsed() - m_disabledSince;
        m_disabledSince = -1;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Show && noticeShownNs < 0 && qobject_cast<Form2 *>(watched))
            noticeShownNs = m_clock.nsecsElapsed();
        if (event->type() == QEvent::EnabledChange && watched == m_store) {
            if (!m_store->isEnabled() && m_disabledSince < 0) {
                m_disabledSince = m_clock.nsecsElapsed();
                ++storeDisabledStretches;
            } else if (m_store->isEnabled() && m_disabledSince >= 0) {
                storeDisabledNs += m_clock.nsecsElapsed() - m_disabledSince;
                m_disabledSince = -1;
            }
        }
        return false;
    }

private:
    QPushButton *m_store;
    QElapsedTimer &m_clock;
    qint64 m_disabledSince = -1;
};

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int waitSeconds = argc > 1 ? QByteArray(argv[1]).toInt() : 50;

    SilentServer silent;
    if (!silent.Listen()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }

    BenchWindow window;
    Form1 &form = window.form();
    // A mail first, then a pop-up, both due this minute.
    const auto wait = std::chrono::seconds(waitSeconds);
    window.StoreDueNow(EntryMode::Mail, QStringLiteral("the mail"), silent.serverPort(), wait);
    window.StoreDueNow(EntryMode::PopUp, QStringLiteral("the pop-up"), silent.serverPort(), wait);

    QElapsedTimer clock;
    Watch watch(form.Command2, clock);
    app.installEventFilter(&watch);
    // The run ends once the notice is up and Store is back, or when the mail's wait is over.
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, &app, [&] {
        const bool over = watch.noticeShownNs >= 0 && form.Command2->isEnabled();
        if (over || clock.elapsed() > (waitSeconds + 10) * 1000)
            app.quit();
    });
    clock.start();
    form.Timer2_Timer();
    done.start(1);
    app.exec();
    watch.Close();
    app.removeEventFilter(&watch);

    const auto ms = [](qint64 ns) {
        return double(ns) / 1e6;
    };
    std::printf("a pop-up behind a mail to a silent server (reply wait %d s), one tick:\n",
                waitSeconds);
    if (watch.noticeShownNs < 0)
        std::printf("  pop-up shown: not within %d s of the tick\n", waitSeconds + 10);
    else
        std::printf("  pop-up shown %.3f ms after the tick began\n", ms(watch.noticeShownNs));
    std::printf("  Store disabled for %.3f ms in all (%d stretch%s)\n", ms(watch.storeDisabledNs),
                watch.storeDisabledStretches, watch.storeDisabledStretches == 1 ? "" : "es");
    std::printf("  statuses: mail %s, pop-up %s\n",
                qPrintable(NotificationQueue::StatusText(form.Queue().Status(0))),
                qPrintable(NotificationQueue::StatusText(form.Queue().Status(1))));
    form.CloseNotices();
    return 0;
}
