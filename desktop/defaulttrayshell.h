#pragma once

#include "trayshell.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QSystemTrayIcon>

#include <map>
#include <memory>
#include <utility>

class FallbackTrayWindow;
class TrayActivation;

// The shell of this desktop. Icons go into the system tray where there is
// one; elsewhere each icon gets a FallbackTrayWindow. The shell owns every
// icon it shows, one per (hWnd, uID).
class DefaultTrayShell : public QObject, public TrayShell {
    Q_OBJECT
public:
    DefaultTrayShell();
    ~DefaultTrayShell() override;

    bool Shell_NotifyIcon(NotifyMessage message, const NotifyIconData &data) override;
    std::int32_t SHAppBarMessage(int message, AppBarData &data) override;

    // The text a tray shows for a tip field: everything before its NUL.
    static QString VisibleTip(const QString &szTip);
    // Whether stand-in windows can be shown: any widget application can.
    static bool FallbackAvailable();

    // The stand-in window of icon (hWnd, uID), or null (system tray or none).
    FallbackTrayWindow *FallbackWindow(const QWidget *hWnd, std::uint32_t uID) const;
    // The system tray icon of (hWnd, uID), or null (stand-in or none).
    QSystemTrayIcon *SystemTrayIcon(const QWidget *hWnd, std::uint32_t uID) const;

private:
    using Key = std::pair<const QWidget *, std::uint32_t>;
    struct Entry;

    bool Add(const NotifyIconData &data);
    bool Modify(const NotifyIconData &data);
    bool Delete(const Key &key);
    void Activated(const Key &key, QSystemTrayIcon::ActivationReason reason);
    void DeleteAllOf(const QWidget *window);

    std::map<Key, std::unique_ptr<Entry>> m_icons;
    QElapsedTimer m_clock;
};
