// The queue at its largest: what a tick costs when none of 32767 entries is
// due, and what one store and one removal cost at that size. Prints figures.
#include "form1.h"
#include "monthcalendar.h"
#include "prompts.h"

#include "queuecolumn.h"
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class SilentPrompts : public Prompts {
public:
    int MsgBox(QWidget *, const QString &, int, const QString &) override { return vbOK; }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDateTime now(QDate(2026, 12, 7), QTime(12, 0, 5));
    SilentPrompts prompts;
    Form1Services services;
    services.Now = [now] {
        return now;
    };
    services.prompts = &prompts;
    Form1 form(std::move(services));
    form.Timer1->stop();
    form.Timer2->stop();
    form.Timer3->stop();
    form.show();

    // Entries due tomorrow: every tick reads them all and delivers none.
    form.Calendar1->SetValue(now.date().addDays(1));
    form.Combo1->setEditText(QStringLiteral("09"));
    form.Combo2->setEditText(QStringLiteral("30"));
    form.Text5->setText(QStringLiteral("Weekly report"));

    const int size = NotificationQueue::MaxEntries;
    QElapsedTimer fill;
    fill.start();
    for (int i = 0; i < size - 1; ++i)
        form.Command2_Click();
    const double fillMs = fill.nsecsElapsed() / 1e6;

    QElapsedTimer one;
    one.start();
    form.Command2_Click();
    const double storeMs = one.nsecsElapsed() / 1e6;
    if (form.Queue().Count() != size) {
        std::fprintf(stderr, "queue holds %d entries, expected %d\n", form.Queue().Count(), size);
        return 1;
    }
    QCoreApplication::processEvents();

    std::vector<double> ticks;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer t;
        t.start();
        form.Timer2_Timer();
        ticks.push_back(t.nsecsElapsed() / 1e6);
    }

    std::vector<double> removals;
    for (int position : {0, size / 2, size - 3}) {
        form.List8->setCurrentIndex(
            form.Queue().index(position, NotificationQueue::DisplayLineColumn));
        QElapsedTimer t;
        t.start();
        form.Command1_Click();
        removals.push_back(t.nsecsElapsed() / 1e6);
    }

    std::printf("queue of %d entries, none due\n", size);
    std::printf("  tick (median of %zu): %8.2f ms   (min %.2f, max %.2f; target < 1 ms)\n",
                ticks.size(), median(ticks), *std::min_element(ticks.begin(), ticks.end()),
                *std::max_element(ticks.begin(), ticks.end()));
    std::printf("  store, the 32767th:   %8.3f ms\n", storeMs);
    std::printf("  store, mean of first %d: %6.3f ms (%.0f ms in all)\n", size - 1,
                fillMs / (size - 1), fillMs);
    std::printf("  remove first / middle / near last: %.3f / %.3f / %.3f ms\n", removals[0],
                removals[1], removals[2]);
    return 0;
}
