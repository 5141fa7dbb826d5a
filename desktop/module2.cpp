#include "module2.h"

#include "trayshell.h"
#include "windowhook.h"

namespace {

const QString UnknownName = QStringLiteral("Unknown");

// The icon a left double click takes away when the window comes back.
constexpr std::uint32_t MainIconId = 1;

} // namespace

Module2::Module2(TrayShell &shell)
    : m_shell(shell) {}

Module2::~Module2() {
    // The filter refers to this module; it must not outlive it.
    delete PreviousWindowProc.data();
}

void Module2::PrepareTrayRecord(QWidget *hWnd) {
    TrayIconData.cbSize = NotifyIconDataSize;
    TrayIconData.uFlags = NotifyIconAllFlags;
    TrayIconData.uCallbackMessage = TrayCallbackMessage;
    TrayIconData.szTip = QString(TipFieldLength, u' ');
    TrayIconData.hWnd = hWnd;
}

std::int32_t Module2::QueryTaskbar() {
    TaskbarData.cbSize = AppBarDataSize;
    return m_shell.SHAppBarMessage(ABM_GETTASKBARPOS, TaskbarData);
}

void Module2::AddTrayIcon(std::uint32_t id, const QString &tip, const QIcon &icon) {
    TrayIconData.uID = id;
    TrayIconData.hIcon = icon;
    TrayIconData.szTip = TipField(tip);
    TrayIconData.uFlags = NotifyIconAllFlags;
    // A refused add (the icon is already there) changes nothing worth telling.
    m_shell.Shell_NotifyIcon(NIM_ADD, TrayIconData);
}

void Module2::DeleteTrayIcon(std::uint32_t id) {
    TrayIconData.uID = id;
    m_shell.Shell_NotifyIcon(NIM_DELETE, TrayIconData);
}

void Module2::DeleteTrayIcons(int count) {
    for (int id = 1; id <= count; ++id)
        DeleteTrayIcon(static_cast<std::uint32_t>(id));
}

QString Module2::TipField(const QString &tip) {
    return (tip + QChar(0)).leftJustified(TipFieldLength, QLatin1Char(' '), true);
}

void Module2::InstallHook(QWidget *hWnd) {
    if (Hooked() || hWnd == nullptr)
        return;
    auto *hook = new WindowHook(*this, hWnd);
    hWnd->installEventFilter(hook);
    PreviousWindowProc = hook;
}

void Module2::RemoveHook(QWidget *hWnd) {
    Q_UNUSED(hWnd);
    if (!Hooked())
        return;
    // Deleting the filter takes it out of the window's filter list.
    delete PreviousWindowProc.data();
    PreviousWindowProc = nullptr;
}

bool Module2::Hooked() const {
    return !PreviousWindowProc.isNull();
}

QString Module2::EventName(std::int32_t lParam) {
    switch (lParam) {
    case WM_MOUSEMOVE:
        return QStringLiteral("MOUSEMOVE");
    case WM_LBUTTONDOWN:
        return QStringLiteral("LBUTTONDOWN");
    case WM_LBUTTONUP:
        return QStringLiteral("LBUTTONUP");
    case WM_LBUTTONDBLCLK:
        return QStringLiteral("LBUTTONDBLCLK");
    case WM_RBUTTONDOWN:
        return QStringLiteral("RBUTTONDOWN");
    case WM_RBUTTONUP:
        return QStringLiteral("RBUTTONUP");
    case WM_RBUTTONDBLCLK:
        return QStringLiteral("RBUTTONDBLCLK");
    case WM_MBUTTONDOWN:
        return QStringLiteral("MBUTTONDOWN");
    case WM_MBUTTONUP:
        return QStringLiteral("MBUTTONUP");
    case WM_MBUTTONDBLCLK:
        return QStringLiteral("MBUTTONDBLCLK");
    default:
        break;
    }
    // Negative numbers bring their own sign in place of the blank.
    return lParam < 0 ? UnknownName + QString::number(lParam)
                      : UnknownName + QLatin1Char(' ') + QString::number(lParam);
}

std::int32_t Module2::HookWindowProc(QWidget *hWnd, std::uint32_t uMsg, std::uint32_t wParam,
                                     std::int32_t lParam) {
    Q_UNUSED(wParam); // any of the program's icons brings the window back
    if (!Hooked() || hWnd == nullptr)
        return 0;
    if (uMsg == TrayCallbackMessage && lParam == WM_LBUTTONDBLCLK) {
        DeleteTrayIcon(MainIconId);
        hWnd->show();
        hWnd->setEnabled(true);
        hWnd->raise();
        hWnd->activateWindow();
    }
    return 0;
}
