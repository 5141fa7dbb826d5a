#pragma once

#include "winapi.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>

class TrayShell;

// The tray record handed to the shell with every icon operation.
struct NotifyIconData {
    std::uint32_t cbSize = 0;
    QPointer<QWidget> hWnd; // receives the callback messages
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0; // 7: message, icon and tip are valid
    std::uint32_t uCallbackMessage = 0;
    QIcon hIcon;
    QString szTip; // always 64 characters (see Module2::TipField)
};

struct AppBarData {
    std::uint32_t cbSize = 0;
};

// The tray icon service and the main window's message hook. One instance,
// owned by the main window; every call runs on the GUI thread.
class Module2 {
public:
    explicit Module2(TrayShell &shell);
    ~Module2();
    Module2(const Module2 &) = delete;
    Module2 &operator=(const Module2 &) = delete;

    NotifyIconData TrayIconData; // the one tray record
    AppBarData TaskbarData;      // only cbSize is ever set

    // Readies the tray record for hWnd's icons: its size, flags, callback
    // message and a blank tip.
    void PrepareTrayRecord(QWidget *hWnd);
    // Asks the shell whether a tray can show icons: 1 when it can.
    std::int32_t QueryTaskbar();
    // Adds icon `id` for TrayIconData.hWnd with the given tip and picture.
    void AddTrayIcon(std::uint32_t id, const QString &tip, const QIcon &icon);
    // Deletes icon `id`; a missing icon is no fault.
    void DeleteTrayIcon(std::uint32_t id);
    // Deletes icons 1..count in ascending order; nothing when count < 1.
    void DeleteTrayIcons(int count);
    // The tip as the record holds it: the text, one NUL, blanks; 64 characters.
    static QString TipField(const QString &tip);

    // Lets HookWindowProc see every event of hWnd before the window does.
    // A second call while hooked does nothing.
    void InstallHook(QWidget *hWnd);
    // Puts the window's own handling back; nothing when not hooked.
    void RemoveHook(QWidget *hWnd);
    bool Hooked() const;

    // The name of a tray mouse message ("LBUTTONDBLCLK", "Unknown 1024", ...).
    static QString EventName(std::int32_t lParam);

    // Sees each message of the hooked window before the window does. A left
    // double click on a tray icon (TrayCallbackMessage with WM_LBUTTONDBLCLK)
    // deletes icon 1 and brings the window back. Returns 0; the message always
    // goes on to the window unchanged.
    std::int32_t HookWindowProc(QWidget *hWnd, std::uint32_t uMsg, std::uint32_t wParam,
                                std::int32_t lParam);

private:
    TrayShell &m_shell;
    // The installed event filter; null while the window is not hooked. It is
    // a child of the hooked window, so it never outlives it.
    QPointer<QObject> PreviousWindowProc;
};
