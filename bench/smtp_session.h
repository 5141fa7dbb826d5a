#pragma once

#include <QDateTime>
#include <QEventLoop>
#include <QString>

#include "module1.h"
#include "sessionview.h"
#include "winsock.h"

// What the mail benchmarks need of the main window: a socket wired to the mail module, and a
// window part that keeps the texts (the result line is printed at the end).
class BenchView : public SessionView {
public:
    QString EventsText() const override { return events; }
    void SetEventsText(const QString &text) override { events = text; }
    void EventsCaretToEnd() override {}
    void SetResultLine(const QString &text) override { result = text; }
    void SetLamp(int, Lamp) override {}

    QString events;
    QString result;
};

struct BenchSession {
    Winsock socket;
    BenchView view;
    Module1 module{socket, view, [] {
                       return QDateTime::currentDateTime();
                   }};

    // Runs one session to its end; true when the server took the mail.
    bool Send(const QString &server, const QString &from, const QString &to, const QString &subject,
              const QString &body) {
        QEventLoop loop;
        bool delivered = false;
        module.SendMail(server, from, from, to, subject, body, [&](const DeliveryOutcome &outcome) {
            delivered = outcome.MailDelivered;
            loop.quit();
        });
        loop.exec();
        return delivered;
    }
};
