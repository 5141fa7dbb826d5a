#include "benchwindow.h"

#include "form1.h"
#include "monthcalendar.h"
#include "winsock.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>

BenchWindow::BenchWindow() {
    Form1Services services;
    services.prompts = &m_prompts;
    m_form = std::make_unique<Form1>(std::move(services));
    m_form->Timer2->stop();
    m_form->show();
}

BenchWindow::~BenchWindow() = default;

void BenchWindow::StoreDueNow(EntryMode mode, const QString &message, quint16 port,
                              std::chrono::seconds wait) {
    Form1 &form = *m_form;
    const QDateTime now = QDateTime::currentDateTime();
    form.Calendar1->SetValue(now.date());
    form.Combo1->setEditText(now.toString(QStringLiteral("HH")));
    form.Combo2->setEditText(now.toString(QStringLiteral("mm")));
    form.Text3->setText(QStringLiteral("127.0.0.1"));
    form.Text7->setText(QStringLiteral("bench@example.org"));
    form.Text4->setText(QStringLiteral("reader@example.org"));
    form.Text2->setPlainText(message);
    switch (mode) {
    case EntryMode::PopUp:
        form.Option1->setChecked(true);
        break;
    case EntryMode::Mail:
        form.Option2->setChecked(true);
        break;
    }
    form.Winsock1->setPortOverride(port);
    form.MailModule().ReplyTimeoutOverride = wait;
    form.Command2_Click();
}
