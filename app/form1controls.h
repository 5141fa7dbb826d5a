#pragma once

#include "storecheck.h"

#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class QWidget;
class MonthCalendar;
class QueueColumn;

// The main window's controls, named as the window's design names them.
struct Form1Controls {
    MonthCalendar *Calendar1 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr,
           *Label5 = nullptr, *Label6 = nullptr, *Label7 = nullptr, *Label10 = nullptr,
           *Label11 = nullptr, *Label12 = nullptr, *Label13 = nullptr, *Label14 = nullptr;
    std::array<QLabel *, 9> Label8{};
    std::array<QLabel *, 5> Label9{};
    std::array<QLabel *, 3> Image1{}; // members 1 and 2
    QPlainTextEdit *Text1 = nullptr, *Text2 = nullptr, *Text6 = nullptr;
    QLineEdit *Text3 = nullptr, *Text4 = nullptr, *Text5 = nullptr, *Text7 = nullptr;
    QComboBox *Combo1 = nullptr, *Combo2 = nullptr;
    // The queue's columns, each a view of one column of the queue. The visible
    // ones share one selection, so a highlighted row is the same row in all.
    QueueColumn *List1 = nullptr, *List2 = nullptr, *List3 = nullptr, *List4 = nullptr,
                *List5 = nullptr, *List7 = nullptr, *List8 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr, *Command4 = nullptr, *Command5 = nullptr;
    QRadioButton *Option1 = nullptr, *Option2 = nullptr;
    QCheckBox *Check1 = nullptr;
    QAction *Exit = nullptr, *Help = nullptr;
    QTimer *Timer1 = nullptr, *Timer2 = nullptr, *Timer3 = nullptr;

    // The box a refused store puts the focus in, if any.
    QWidget *BoxOf(StoreRefusal::Box box) const;
};
