#include "form1controls.h"

#include "monthcalendar.h"

#include <QComboBox>
#include <QLineEdit>

QWidget *Form1Controls::BoxOf(StoreRefusal::Box box) const {
    switch (box) {
    case StoreRefusal::Box::Originator:
        return Text7;
    case StoreRefusal::Box::Recipient:
        return Text4;
    case StoreRefusal::Box::Subject:
        return Text5;
    case StoreRefusal::Box::Calendar:
        return Calendar1;
    case StoreRefusal::Box::Hour:
        return Combo1;
    case StoreRefusal::Box::Minute:
        return Combo2;
    case StoreRefusal::Box::None:
        break;
    }
    return nullptr;
}
