#pragma once

#include <QDate>
#include <QWidget>

class QCalendarWidget;

// The main window's date picker: always has one date selected, tells its
// year, month and day, and raises Click when the user clicks a day. It offers
// the years 1 to 9999 only, the dates a due time can carry.
class MonthCalendar : public QWidget {
    Q_OBJECT
public:
    explicit MonthCalendar(QWidget *parent = nullptr);

    int Year() const;
    int Month() const; // 1 to 12
    int Day() const;   // 1 to 31
    QDate Value() const;
    void SetValue(QDate date);
    // Shows the current month with today selected.
    void Today(QDate today);

    QCalendarWidget *calendarWidget() const { return m_calendar; }

Q_SIGNALS:
    // The user clicked a day; Value() is already that day.
    void Click();

protected:
    void changeEvent(QEvent *event) override;

private:
    // Weekend days in red, and the month header, at 4.5:1 on the desktop's colours.
    void ApplyReadableColours();

    QCalendarWidget *m_calendar;
    bool m_applying = false;
};
