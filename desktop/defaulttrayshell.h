#pragma once

#include "trayshell.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>
#include <map>
#include <memory>
#include <utility>

class FallbackTrayWindow;
class QMenu;
class TrayActivation;

// The shell of this desktop. Icons go into the system tray where there is
// one; elsewhere each icon gets a FallbackTrayWindow. The shell owns every
// icon it shows, one per (hWnd, uID).
//
// A StatusNotifier host (KDE's, waybar's, GNOME's AppIndicator extension)
// decides for itself what a click on an icon means: some ask the program to
// activate it, some open the icon's menu. There each icon carries a small
// menu whose first item brings the window back as a double click does and
// whose second runs the window's exit command. The X tray and the stand-in
// pass every click on to the window as it is, and carry no menu.
class DefaultTrayShell : public QObject, public TrayShell {
    Q_OBJECT
public:
    DefaultTrayShell();
    ~DefaultTrayShell() override;

    bool Shell_NotifyIcon(NotifyMessage message, const NotifyIconData &data) override;
    std::int32_t SHAppBarMessage(int message, AppBarData &data) override;
    void SetExitCommand(const QWidget *hWnd, std::function<void()> command) override;

    // The menu items' texts.
    static inline const QString RestoreText = QStringLiteral("Restore");
    static inline const QString ExitText = QStringLiteral("Exit");

    // The text a tray shows for a tip field: everything before its NUL.
    static QString VisibleTip(const QString &szTip);
    // Whether stand-in windows can be shown: any widget application can.
    static bool FallbackAvailable();

    // The stand-in window of icon (hWnd, uID), or null (system tray or none).
    FallbackTrayWindow *FallbackWindow(const QWidget *hWnd, std::uint32_t uID) const;
    // The system tray icon of (hWnd, uID), or null (stand-in or none).
    QSystemTrayIcon *SystemTrayIcon(const QWidget *hWnd, std::uint32_t uID) const;
    // The menu of icon (hWnd, uID), or null: only a StatusNotifier host gets one.
    QMenu *TrayMenu(const QWidget *hWnd, std::uint32_t uID) const;

    // Whether the system tray is a StatusNotifier host, as Qt decides it: a
    // watcher on the session bus with a host registered. Asked once.
    static bool StatusNotifierHost();

private:
    using Key = std::pair<const QWidget *, std::uint32_t>;
    struct Entry;

    bool Add(const NotifyIconData &data);
    bool Modify(const NotifyIconData &data);
    bool Delete(const Key &key);
    void Activated(const Key &key, QSystemTrayIcon::ActivationReason reason);
    void DeleteAllOf(const QWidget *window);
    std::unique_ptr<QMenu> MenuFor(const Key &key);

    std::map<Key, std::unique_ptr<Entry>> m_icons;
    std::map<const QWidget *, std::function<void()>> m_exitCommands;
    QElapsedTimer m_clock;
};
