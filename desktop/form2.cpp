#include "form2.h"

#include "icons.h"
#include "readabletext.h"
#include "twips.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPixmapCache>
#include <QPlainTextEdit>
#include <QPushButton>

#include <mutex>

namespace {

const QString Caption = QStringLiteral("Tallowick");
const QString OkCaption = QStringLiteral("OK");

constexpr int ClientWidth = 5475;
constexpr int ClientHeight = 1395;
constexpr QRect Text1Rect = TwipsRect(60, 60, 4515, 1275);
constexpr QRect Command1Rect = TwipsRect(4680, 60, 735, 375);

} // namespace

Form2::Form2(QWidget *parent)
    : QWidget(parent, Qt::Window) {
    InstallAccessibility();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    setWindowIcon(Icons::Notice());
    setFixedSize(TwipsToPixels(ClientWidth), TwipsToPixels(ClientHeight));

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Notice text"));
    Text1->setGeometry(Text1Rect);
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A notice is read, never edited or copied: OK is its only active control.
    // Disabled, its text must still read plainly.
    Text1->setEnabled(false);
    ReadableText::KeepDisabledReadable(this);

    Command1 = new QPushButton(OkCaption, this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAccessibleName(OkCaption);
    Command1->setGeometry(Command1Rect);
    Command1->setDefault(true);

    setTabOrder(Text1, Command1);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
}

Form2::~Form2() {
    // Qt keeps what it draws for a window in one cache for the whole program,
    // keyed to the window's own palette and icon pictures, which every notice
    // has afresh: nothing drawn for a notice is used again once it is gone,
    // yet it would stay there, 20 to 25 KiB a notice, until the cache is full
    // (10 MiB). Dropping the cache costs the main window a few small
    // pictures, drawn again when next shown.
    QPixmapCache::clear();
}

void Form2::SetText(const QString &text) {
    Text1->setPlainText(text);
    // A screen reader names the notice by the program and its first line, the due time.
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    setAccessibleName(firstLine.isEmpty() ? Caption : Caption + QStringLiteral(": ") + firstLine);
}

void Form2::InstallAccessibility() {
    // A notice is a dialog to a screen reader, not a bare window.
    static std::once_flag installed;
    std::call_once(installed, [] {
        QAccessible::installFactory([](const QString &, QObject *object) -> QAccessibleInterface * {
            if (auto *notice = qobject_cast<Form2 *>(object))
                return new QAccessibleWidget(notice, QAccessible::Dialog);
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
