#include "form2.h"

#include "icons.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace {

const QString Caption = QStringLiteral("Tallowick");
const QString OkCaption = QStringLiteral("OK");

// Window geometry is laid out in twips; 15 twips make one pixel.
constexpr int TwipsPerPixel = 15;
constexpr int Px(int twips) {
    return twips / TwipsPerPixel;
}

constexpr int ClientWidth = 5475;
constexpr int ClientHeight = 1395;
constexpr QRect Text1Twips{60, 60, 4515, 1275};
constexpr QRect Command1Twips{4680, 60, 735, 375};

QRect PxRect(const QRect &twips) {
    return {Px(twips.x()), Px(twips.y()), Px(twips.width()), Px(twips.height())};
}

} // namespace

Form2::Form2(QWidget *parent)
    : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Caption);
    setWindowIcon(Icons::Notice());
    setFixedSize(Px(ClientWidth), Px(ClientHeight));

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Notice text"));
    Text1->setGeometry(PxRect(Text1Twips));
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A notice is read, never edited or copied: OK is its only active control.
    Text1->setEnabled(false);

    Command1 = new QPushButton(OkCaption, this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAccessibleName(OkCaption);
    Command1->setGeometry(PxRect(Command1Twips));
    Command1->setDefault(true);

    setTabOrder(Text1, Command1);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
}

void Form2::SetText(const QString &text) {
    Text1->setPlainText(text);
}

void Form2::Command1_Click() {
    close();
}
