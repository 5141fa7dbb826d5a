#include "form2.h"

#include "icons.h"
#include "readabletext.h"
#include "twips.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWindow>

#include <mutex>

namespace {

const QString Caption = QStringLiteral("Tallowick");
const QString OkCaption = QStringLiteral("OK");

constexpr int ClientWidth = 5475;
constexpr int ClientHeight = 1395;
constexpr QRect Text1Rect = TwipsRect(60, 60, 4515, 1275);
constexpr QRect Command1Rect = TwipsRect(4680, 60, 735, 375);

// The notices' window icon, drawn once a run and kept by the application.
// Every notice shows the same pictures, so what Qt makes of them for a
// window (kept under the pictures' own keys) is found again for the next.
QIcon noticeIcon() {
    constexpr char Kept[] = "tallowickNoticeIcon";
    QVariant icon = qApp->property(Kept);
    if (!icon.isValid()) {
        icon = QVariant::fromValue(Icons::Notice());
        qApp->setProperty(Kept, icon);
    }
    return icon.value<QIcon>();
}

} // namespace

Form2::Form2(QWidget *parent, NoticeKeyGuard::Clock now)
    // Above the window the person works in: a window manager that is asked not
    // to hand a new window the keyboard may otherwise stack it underneath.
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
    , m_keyGuard(std::move(now)) {
    InstallAccessibility();
    setAttribute(Qt::WA_DeleteOnClose);
    // The keyboard stays where the person types; on X11 the window manager is
    // told so (a user time of 0 when mapped).
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    setWindowIcon(noticeIcon());
    setFixedSize(TwipsToPixels(ClientWidth), TwipsToPixels(ClientHeight));

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Notice text"));
    Text1->setGeometry(Text1Rect);
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A notice is read, never edited or copied: OK is its only active control.
    // Disabled, its text must still read plainly. All notices share one
    // palette: the style keeps what it draws under the palette's key, and a
    // palette of each notice's own would leave its pictures behind with it.
    Text1->setEnabled(false);
    ReadableText::KeepClassDisabledReadable(this);

    Command1 = new QPushButton(OkCaption, this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAccessibleName(OkCaption);
    Command1->setGeometry(Command1Rect);
    Command1->setDefault(true);

    setTabOrder(Text1, Command1);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
}

void Form2::SetText(const QString &text) {
    Text1->setPlainText(text);
    // A screen reader names the notice by the program and its first line, the due time.
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    setAccessibleName(firstLine.isEmpty() ? Caption : Caption + QStringLiteral(": ") + firstLine);
    // What a screen reader reads out when the notice appears: the message.
    setAccessibleDescription(text.section(QLatin1Char('\n'), 1).trimmed());
}

void Form2::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!m_keysWatched && windowHandle() != nullptr) {
        // Every key the window gets passes here once, whichever control has
        // the focus.
        windowHandle()->installEventFilter(this);
        m_keysWatched = true;
    }
    m_keyGuard.Shown();
    m_askAttention = true;
}

bool Form2::eventFilter(QObject *watched, QEvent *event) {
    if (watched != windowHandle())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress && !m_keyGuard.Admit())
        return true;
    if (event->type() == QEvent::Expose && m_askAttention && windowHandle()->isExposed()) {
        // Not given the keyboard, the notice asks for attention once it is on
        // the screen (asked sooner, the window manager may not see it): a
        // taskbar marks it until the person turns to it.
        m_askAttention = false;
        QApplication::alert(this);
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::InstallAccessibility() {
    // A notice is an alert to a screen reader, not a bare window: readers
    // speak an alert as it appears, also while the focus is elsewhere.
    static std::once_flag installed;
    std::call_once(installed, [] {
        QAccessible::installFactory([](const QString &, QObject *object) -> QAccessibleInterface * {
            if (auto *notice = qobject_cast<Form2 *>(object))
                return new QAccessibleWidget(notice, QAccessible::AlertMessage);
            return nullptr;
        });
    });
}

void Form2::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Command1->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form2::Command1_Click() {
    close();
}
