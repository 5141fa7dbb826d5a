#include "monthcalendar.h"

#include "duetime.h"
#include "readabletext.h"

#include <QCalendarWidget>
#include <QEvent>
#include <QSpinBox>
#include <QTableView>
#include <QTextCharFormat>
#include <QToolButton>
#include <QVBoxLayout>

MonthCalendar::MonthCalendar(QWidget *parent)
    : QWidget(parent)
    , m_calendar(new QCalendarWidget(this)) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_calendar);
    setFocusProxy(m_calendar);

    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setGridVisible(true);
    m_calendar->setFirstDayOfWeek(Qt::Sunday);
    // Only the dates a due time can carry; the year editor follows this range.
    m_calendar->setDateRange(QDate(DueTime::FirstYear, 1, 1), QDate(DueTime::LastYear, 12, 31));
    QFont dates(QStringLiteral("Liberation Sans"));
    dates.setPointSizeF(8.25);
    m_calendar->setFont(dates);
    QTextCharFormat dayNames;
    QFont bold = dates;
    bold.setBold(true);
    dayNames.setFont(bold);
    m_calendar->setHeaderTextFormat(dayNames);

    // The page arrows show no text: name them for screen readers.
    for (const auto &[name, accessible] : {std::pair{"qt_calendar_prevmonth", "Previous month"},
                                           {"qt_calendar_nextmonth", "Next month"}}) {
        if (auto *button = m_calendar->findChild<QToolButton *>(QLatin1String(name)))
            button->setAccessibleName(QLatin1String(accessible));
    }
    // Nor do the day grid and the year box that the year button opens.
    if (auto *days =
            m_calendar->findChild<QTableView *>(QStringLiteral("qt_calendar_calendarview")))
        days->setAccessibleName(QStringLiteral("Days of the month"));
    if (auto *year = m_calendar->findChild<QSpinBox *>(QStringLiteral("qt_calendar_yearedit")))
        year->setAccessibleName(QStringLiteral("Year"));

    connect(m_calendar, &QCalendarWidget::clicked, this, [this](QDate) { Q_EMIT Click(); });
    ApplyReadableColours();
}

void MonthCalendar::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    // A desktop turning from light to dark changes the colours to read on.
    if (event->type() == QEvent::PaletteChange && !m_applying)
        ApplyReadableColours();
}

void MonthCalendar::ApplyReadableColours() {
    m_applying = true;
    // Qt draws weekends in pure red whatever the background, and the month
    // header and the chosen day in the desktop's highlight, which for some
    // styles is too light under white text.
    QPalette own = palette();
    m_calendar->setPalette(QPalette()); // back to what the desktop gives
    QPalette colours = m_calendar->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::Highlight,
                         ReadableText::Readable(own.color(group, QPalette::Highlight),
                                                own.color(group, QPalette::HighlightedText)));
    }
    m_calendar->setPalette(colours);
    // Dates lie on Base, the day names above them on AlternateBase.
    const QColor weekend = ReadableText::Readable(
        ReadableText::Readable(QColor(Qt::red), colours.color(QPalette::Active, QPalette::Base)),
        colours.color(QPalette::Active, QPalette::AlternateBase));
    for (const Qt::DayOfWeek day : {Qt::Saturday, Qt::Sunday}) {
        QTextCharFormat format = m_calendar->weekdayTextFormat(day);
        format.setForeground(weekend);
        m_calendar->setWeekdayTextFormat(day, format);
    }
    m_applying = false;
}

int MonthCalendar::Year() const {
    return Value().year();
}
int MonthCalendar::Month() const {
    return Value().month();
}
int MonthCalendar::Day() const {
    return Value().day();
}
QDate MonthCalendar::Value() const {
    return m_calendar->selectedDate();
}

void MonthCalendar::SetValue(QDate date) {
    m_calendar->setSelectedDate(date);
    m_calendar->setCurrentPage(date.year(), date.month());
}

void MonthCalendar::Today(QDate today) {
    SetValue(today);
}
