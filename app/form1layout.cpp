#include "form1layout.h"

#include "icons.h"
#include "monthcalendar.h"
#include "queuecolumn.h"
#include "readabletext.h"
#include "timeboxaccessible.h"
#include "twips.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <array>
#include <vector>

namespace {

using K = DesignedControl::Kind;
using F = DesignedControl::Font;
using Q = NotificationQueue;

const QColor LabelColour(0, 192, 192);
const QColor HeaderColour(0, 255, 0);
const QColor OptionColour(0, 192, 0);
const QColor LampStartColour(180, 180, 180); // the desktop's active-border grey

// The window as designed. Lamps are numbered Label8_0 to Label8_8, headers
// Label9_0 to Label9_4, the tray pictures Image1_1 and Image1_2.
const auto Controls = std::to_array<DesignedControl>({
    // Entry area.
    {"Calendar1", K::Calendar, 120, 0, 4335, 2295, "", 0, "Due date"},
    {"Label1", K::Label, 4440, 0, 4815, 255, "Message To send", -1, "", true, true, F::Bold},
    {"Text2", K::TextBox, 4440, 240, 4815, 1455, "Message: ", 3, "Message To send"},
    {"Label10", K::Label, 4440, 1680, 3975, 255, "Attachments", -1, "", true, true},
    {"Text6", K::TextBox, 4440, 1920, 3975, 735, "Feature not yet ready.", 47, "Attachments",
     false},
    {"Command2", K::Button, 8400, 1680, 855, 1335, "Store", 2, "Store"},
    {"Label6", K::Label, 120, 2280, 1215, 375, " At this Time:"},
    {"Combo1", K::Combo, 1320, 2280, 735, 315, "00", 13, "Hour"},
    {"Label7", K::Label, 2040, 2280, 255, 375, ":", -1, "", true, true},
    {"Combo2", K::Combo, 2280, 2280, 615, 315, "01", 15, "Minute"},
    {"Label11", K::Label, 2880, 2280, 1455, 375, "", -1, "", true, true},
    {"Label14", K::Label, 120, 2640, 1575, 375, "From: (E-mail address)", -1, "", true, false,
     F::Small},
    {"Text7", K::LineEdit, 1680, 2640, 2655, 375, "", 49, "From: (E-mail address)", true, false,
     F::Dialog, "Type here your e-mail address"},
    {"Label3", K::Label, 4440, 2640, 1575, 375, "SMTP Mail Server:"},
    {"Text3", K::LineEdit, 6000, 2640, 2415, 375, "smtp.example.com", 7, "SMTP Mail Server"},
    {"Label4", K::Label, 120, 3000, 1575, 375, "To: (E-mail Address:)", -1, "", true, false,
     F::Small},
    {"Text4", K::LineEdit, 1680, 3000, 2655, 375, "", 9, "To: (E-mail Address)", true, false,
     F::Dialog, "Type here the destination e-mail address"},
    {"Label12", K::Label, 120, 3360, 1575, 375, "Subject:"},
    {"Text5", K::LineEdit, 1680, 3360, 2655, 345, "Reminder.", 31, "Subject", true, false,
     F::Dialog, "Type here the e-mail subject"},
    // The two tray pictures lie under lamps 7 and 8 and are not seen.
    {"Image1_1", K::Picture, 8520, 3360, 255, 255, "", -1, "Tray picture, blue screen", true, false,
     F::Dialog, "", 1},
    {"Image1_2", K::Picture, 9000, 3360, 255, 255, "", -1, "Tray picture, green screen", true,
     false, F::Dialog, "", 2},
    {"Label8_0", K::Lamp, 4440, 3360, 735, 375, "", -1, "Mail transfer lamp 0"},
    {"Label8_1", K::Lamp, 5160, 3360, 615, 375, "", -1, "Mail transfer lamp 1"},
    {"Label8_2", K::Lamp, 5640, 3360, 615, 375, "", -1, "Mail transfer lamp 2"},
    {"Label8_3", K::Lamp, 6240, 3360, 615, 375, "", -1, "Mail transfer lamp 3"},
    {"Label8_4", K::Lamp, 6720, 3360, 615, 375, "", -1, "Mail transfer lamp 4"},
    {"Label8_5", K::Lamp, 7320, 3360, 615, 375, "", -1, "Mail transfer lamp 5"},
    {"Label8_6", K::Lamp, 7800, 3360, 615, 375, "", -1, "Mail transfer lamp 6"},
    {"Label8_7", K::Lamp, 8400, 3360, 615, 375, "", -1, "Mail transfer lamp 7"},
    {"Label8_8", K::Lamp, 8880, 3360, 375, 375, "", -1, "Mail transfer lamp 8"},
    {"Label2", K::Label, 120, 3720, 9135, 255},
    {"Command1", K::Button, 120, 3960, 855, 375, "Remove", 1, "Remove", false},
    {"Option1", K::Option, 1080, 3960, 975, 255, "Pop Up", 11, "Pop Up"},
    {"Option2", K::Option, 2280, 3960, 975, 255, "E-mail", 12, "E-mail"},
    {"Check1", K::Check, 3480, 3960, 975, 255, "Sound", 17, "Sound", false},
    {"Command5", K::Button, 7560, 3960, 855, 375, "Hide", 18, "Hide"},
    {"Command4", K::Button, 8520, 3960, 735, 375, "Exit", 5, "Exit"},
    // Queue area: headers over the columns of the table.
    {"Label9_0", K::Header, 120, 4320, 1575, 255, "Time"},
    {"Label13", K::Header, 1680, 4320, 1695, 255, "Subject"},
    {"Label9_3", K::Header, 3360, 4320, 1335, 255, "Recipient"},
    {"Label9_1", K::Header, 4680, 4320, 2055, 255, "Message"},
    {"Label9_2", K::Header, 6720, 4320, 495, 255, "S"},
    {"Label9_4", K::Header, 7200, 4320, 495, 255, "F"},
    {"Label5", K::Header, 7680, 4320, 1575, 255, "Events"},
    // List1 holds the due texts; it lies under List8 and is never seen.
    {"List1", K::Column, 120, 4560, 1575, 3180, "", 37, "Due time", true, false, F::Dialog, "",
     Q::DueTextColumn},
    {"List8", K::Column, 120, 4560, 1575, 3180, "", 45, "Time", true, false, F::Dialog, "",
     Q::DisplayLineColumn},
    {"List7", K::Column, 1680, 4560, 1695, 3180, "", 32, "Subject", false, false, F::Dialog, "",
     Q::SubjectColumn},
    {"List4", K::Column, 3360, 4560, 1335, 3180, "", 34, "Recipient", false, false, F::Dialog, "",
     Q::RecipientColumn},
    {"List2", K::Column, 4680, 4560, 2055, 3180, "", 36, "Message", false, false, F::Dialog, "",
     Q::MessageColumn},
    {"List3", K::Column, 6720, 4560, 495, 3180, "", 35, "Status", false, false, F::Dialog, "",
     Q::StatusColumn},
    {"List5", K::Column, 7200, 4560, 495, 3180, "", 33, "Delivery", false, false, F::Dialog, "",
     Q::ModeColumn},
    {"Text1", K::Events, 7680, 4560, 1575, 3135, "", 38, "Events"},
});

QFont fontOf(DesignedControl::Font font) {
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                   QStringLiteral("Sans Serif")});
    f.setPointSizeF(font == F::Small ? 6.75 : 8.25);
    f.setBold(font == F::Bold);
    return f;
}

// A label whose text is shown as it is: the result line carries the server's words.
QLabel *boxedLabel(const DesignedControl &c, QWidget *client) {
    auto *label = new QLabel(QString::fromUtf8(c.text), client);
    label->setTextFormat(Qt::PlainText);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    const bool centred = c.centred || c.kind == K::Header;
    label->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    return label;
}

QWidget *make(const DesignedControl &c, QWidget *client, NotificationQueue &queue) {
    const QString text = QString::fromUtf8(c.text);
    switch (c.kind) {
    case K::Calendar:
        return new MonthCalendar(client);
    case K::Label:
    case K::Header:
    case K::Lamp:
        return boxedLabel(c, client);
    case K::Picture: {
        auto *picture = new QLabel(client);
        picture->setTextFormat(Qt::PlainText);
        picture->setPixmap(Icons::Monitor(c.column == 2));
        picture->setScaledContents(true);
        return picture;
    }
    case K::LineEdit:
        return new QLineEdit(text, client);
    case K::TextBox:
    case K::Events: {
        auto *box = new QPlainTextEdit(text, client);
        box->setTabChangesFocus(true);
        if (c.kind == K::Events) {
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box->setReadOnly(true);
        }
        return box;
    }
    case K::Combo: {
        auto *combo = new QComboBox(client);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setEditText(text);
        return combo;
    }
    case K::Button:
        return new QPushButton(text, client);
    case K::Option:
        return new QRadioButton(text, client);
    case K::Check:
        return new QCheckBox(text, client);
    case K::Column:
        return new QueueColumn(queue, NotificationQueue::Column(c.column), client);
    }
    return nullptr;
}

const QColor *backgroundOf(DesignedControl::Kind kind) {
    switch (kind) {
    case K::Label:
        return &LabelColour;
    case K::Header:
        return &HeaderColour;
    case K::Lamp:
        return &LampStartColour;
    case K::Option:
    case K::Check:
        return &OptionColour;
    default:
        return nullptr;
    }
}

// Points the named members at the controls built.
void take(Form1Controls &c, const QHash<QString, QWidget *> &built) {
    const auto pick = [&built]<typename T>(T *&member, const QString &name) {
        member = qobject_cast<T *>(built.value(name));
        Q_ASSERT(member != nullptr);
    };
    pick(c.Calendar1, QStringLiteral("Calendar1"));
    for (auto [label, name] : {std::pair{&c.Label1, "Label1"},
                               {&c.Label2, "Label2"},
                               {&c.Label3, "Label3"},
                               {&c.Label4, "Label4"},
                               {&c.Label5, "Label5"},
                               {&c.Label6, "Label6"},
                               {&c.Label7, "Label7"},
                               {&c.Label10, "Label10"},
                               {&c.Label11, "Label11"},
                               {&c.Label12, "Label12"},
                               {&c.Label13, "Label13"},
                               {&c.Label14, "Label14"}})
        pick(*label, QLatin1String(name));
    for (int i = 0; i < int(c.Label8.size()); ++i)
        pick(c.Label8[i], QStringLiteral("Label8_%1").arg(i));
    for (int i = 0; i < int(c.Label9.size()); ++i)
        pick(c.Label9[i], QStringLiteral("Label9_%1").arg(i));
    c.Image1[0] = nullptr; // the array's members are 1 and 2
    pick(c.Image1[1], QStringLiteral("Image1_1"));
    pick(c.Image1[2], QStringLiteral("Image1_2"));
    for (auto [box, name] :
         {std::pair{&c.Text1, "Text1"}, {&c.Text2, "Text2"}, {&c.Text6, "Text6"}})
        pick(*box, QLatin1String(name));
    for (auto [edit, name] : {std::pair{&c.Text3, "Text3"},
                              {&c.Text4, "Text4"},
                              {&c.Text5, "Text5"},
                              {&c.Text7, "Text7"}})
        pick(*edit, QLatin1String(name));
    pick(c.Combo1, QStringLiteral("Combo1"));
    pick(c.Combo2, QStringLiteral("Combo2"));
    for (auto [list, name] : {std::pair{&c.List1, "List1"},
                              {&c.List2, "List2"},
                              {&c.List3, "List3"},
                              {&c.List4, "List4"},
                              {&c.List5, "List5"},
                              {&c.List7, "List7"},
                              {&c.List8, "List8"}})
        pick(*list, QLatin1String(name));
    for (auto [button, name] : {std::pair{&c.Command1, "Command1"},
                                {&c.Command2, "Command2"},
                                {&c.Command4, "Command4"},
                                {&c.Command5, "Command5"}})
        pick(*button, QLatin1String(name));
    pick(c.Option1, QStringLiteral("Option1"));
    pick(c.Option2, QStringLiteral("Option2"));
    pick(c.Check1, QStringLiteral("Check1"));
}

} // namespace

namespace Form1Layout {

void Build(QWidget *client, NotificationQueue &queue, Form1Controls &controls) {
    // Disabled controls (the inert ones, the queue columns but Time, Remove,
    // and all of them while the window is disabled) still show readable text.
    ReadableText::KeepDisabledReadable(client);
    QHash<QString, QWidget *> built;
    std::vector<std::pair<int, QWidget *>> focusable;
    for (const DesignedControl &c : Controls) {
        QWidget *w = make(c, client, queue);
        w->setObjectName(QLatin1String(c.name));
        if (*c.accessible != '\0')
            w->setAccessibleName(QString::fromUtf8(c.accessible));
        if (*c.toolTip != '\0')
            w->setToolTip(QString::fromUtf8(c.toolTip));
        w->setGeometry(TwipsRect(c.left, c.top, c.width, c.height));
        w->setEnabled(c.enabled);
        if (c.font != F::Dialog)
            w->setFont(fontOf(c.font));
        if (const QColor *colour = backgroundOf(c.kind))
            ReadableText::SetBackground(w, *colour);
        if (c.kind == K::Lamp)
            w->setAccessibleDescription(QStringLiteral("not lit yet"));
        if (c.kind == K::Combo)
            TimeBoxAccessible::Install(static_cast<QComboBox *>(w), w->accessibleName());
        if (c.kind == K::Calendar) // the grid's frame, as a reader names it
            static_cast<MonthCalendar *>(w)->calendarWidget()->setAccessibleName(
                w->accessibleName());
        // The tray pictures lie under the lamps and are never seen: hidden, no
        // screen reader finds them either. (The due-time column, also unseen,
        // tells screen readers so itself.)
        if (c.kind == K::Picture)
            w->hide();
        if (c.tabIndex >= 0)
            focusable.emplace_back(c.tabIndex, w);
        built.insert(QString::fromLatin1(c.name), w);
    }
    // Labels take no focus, and disabled controls are skipped when tabbing.
    std::ranges::sort(focusable, {}, &std::pair<int, QWidget *>::first);
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1].second, focusable[i].second);
    take(controls, built);
}

void BuildMenu(QMenuBar *bar, Form1Controls &controls) {
    QMenu *file = bar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File"));
    controls.Exit = file->addAction(QStringLiteral("Exit"));
    controls.Exit->setObjectName(QStringLiteral("Exit"));
    controls.Help = bar->addAction(QStringLiteral("Help"));
    controls.Help->setObjectName(QStringLiteral("Help"));
}

void BuildTimers(QObject *owner, Form1Controls &controls) {
    const auto timer = [owner](const char *name, std::chrono::milliseconds interval) {
        auto *t = new QTimer(owner);
        t->setObjectName(QLatin1String(name));
        t->setInterval(interval);
        return t;
    };
    controls.Timer1 = timer("Timer1", std::chrono::seconds(1));
    // Coarse, as Timer3 is: both then fire in one wake-up a second. The caption
    // still changes once each second, none skipped.
    controls.Timer1->setTimerType(Qt::CoarseTimer);
    controls.Timer2 = timer("Timer2", std::chrono::seconds(10));
    controls.Timer3 = timer("Timer3", std::chrono::seconds(1));
}

QSize ClientSize() {
    return {TwipsToPixels(9300), TwipsToPixels(7785)};
}

QPoint Position() {
    return {TwipsToPixels(1725), TwipsToPixels(1470)};
}

QFont WindowFont() {
    QFont font = fontOf(F::Dialog);
    font.setPointSizeF(8);
    return font;
}

} // namespace Form1Layout
