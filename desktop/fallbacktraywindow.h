#pragma once

#include <QIcon>
#include <QPointer>
#include <QWidget>

#include <cstdint>

// Stands in for a tray icon on desktops without a system tray: a small
// frameless window that stays on top, shows the icon with the tip as its
// tooltip, and posts the mouse activity over it to the icon's window.
// It takes the keyboard focus like any small window: Return or Space on it
// does what a left double click does, and so does its accessible action.
class FallbackTrayWindow : public QWidget {
    Q_OBJECT
public:
    FallbackTrayWindow(QWidget *target, std::uint32_t uID, const QIcon &icon, const QString &tip,
                       int slot);

    void SetIcon(const QIcon &icon);
    void SetTip(const QString &tip);
    QIcon Icon() const { return m_icon; }
    // Asks the icon's window back, as a left double click on the icon does.
    void Restore();

    // What a screen reader says about it, beside the tip that names it.
    static inline const QString Description =
        QStringLiteral("Press Return or Space, or double-click, to bring the window back.");

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void Report(std::int32_t left, std::int32_t right, std::int32_t middle, Qt::MouseButton button);

    QPointer<QWidget> m_target;
    std::uint32_t m_uID;
    QIcon m_icon;
};
