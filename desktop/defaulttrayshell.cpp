#include "defaulttrayshell.h"

#include "fallbacktraywindow.h"
#include "icons.h"
#include "trayactivation.h"
#include "traycallbackevent.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMenu>

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString HostProperty = QStringLiteral("IsStatusNotifierHostRegistered");
// The watcher answers at once when it is there at all; a hung bus must not
// hold up start-up for long.
constexpr int WatcherTimeoutMs = 1000;

bool AskWatcher() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(WatcherService))
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        WatcherService, WatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << WatcherService << HostProperty;
    // Left blocking: Qt's isSystemTrayAvailable(), just before, blocks on this watcher too (25 s).
    const QDBusMessage reply = bus.call(get, QDBus::Block, WatcherTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

} // namespace

struct DefaultTrayShell::Entry {
    QPointer<QWidget> window;
    std::uint32_t uID = 0;
    QSystemTrayIcon *trayIcon = nullptr; // a child of the shell
    std::unique_ptr<FallbackTrayWindow> fallback;
    std::unique_ptr<TrayActivation> activation;
    std::unique_ptr<QMenu> menu; // StatusNotifier hosts only
    QMetaObject::Connection windowGone;
};

std::unique_ptr<TrayShell> TrayShell::CreateDefault() {
    return std::make_unique<DefaultTrayShell>();
}

DefaultTrayShell::DefaultTrayShell() {
    m_clock.start();
}

DefaultTrayShell::~DefaultTrayShell() {
    for (auto &[key, entry] : m_icons) {
        disconnect(entry->windowGone);
        delete entry->trayIcon; // before the menu it shows
    }
}

bool DefaultTrayShell::StatusNotifierHost() {
    // Qt chooses its tray the same way once per run and keeps to it.
    static const bool host = AskWatcher();
    return host;
}

void DefaultTrayShell::SetExitCommand(const QWidget *hWnd, std::function<void()> command) {
    if (command)
        m_exitCommands[hWnd] = std::move(command);
    else
        m_exitCommands.erase(hWnd);
}

std::unique_ptr<QMenu> DefaultTrayShell::MenuFor(const Key &key) {
    auto menu = std::make_unique<QMenu>();
    menu->setObjectName(QStringLiteral("TrayMenu"));
    QAction *restore = menu->addAction(RestoreText);
    connect(restore, &QAction::triggered, this, [this, key] {
        const auto found = m_icons.find(key);
        if (found != m_icons.end())
            TrayCallbackEvent::Post(found->second->window, key.second, WM_LBUTTONDBLCLK);
    });
    if (m_exitCommands.count(key.first) != 0) {
        QAction *exit = menu->addAction(ExitText);
        // The host waits for its click to be answered, and the exit command
        // asks the user first: it runs once the click has been answered.
        connect(exit, &QAction::triggered, this, [this, key] {
            QMetaObject::invokeMethod(
                this,
                [this, key] {
                    const auto command = m_exitCommands.find(key.first);
                    if (command != m_exitCommands.end() && m_icons.count(key) != 0)
                        command->second();
                },
                Qt::QueuedConnection);
        });
    }
    return menu;
}

QString DefaultTrayShell::VisibleTip(const QString &szTip) {
    const qsizetype end = szTip.indexOf(QChar(0));
    return end < 0 ? szTip : szTip.left(end);
}

bool DefaultTrayShell::FallbackAvailable() {
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

std::int32_t DefaultTrayShell::SHAppBarMessage(int message, AppBarData &) {
    if (message != ABM_GETTASKBARPOS)
        return 0;
    const bool systemTray = QSystemTrayIcon::isSystemTrayAvailable();
    // Qt has just chosen its kind of tray for the rest of the run: ask alongside.
    if (systemTray)
        StatusNotifierHost();
    return systemTray || FallbackAvailable() ? 1 : 0;
}

bool DefaultTrayShell::Shell_NotifyIcon(NotifyMessage message, const NotifyIconData &data) {
    switch (message) {
    case NIM_ADD:
        return Add(data);
    case NIM_MODIFY:
        return Modify(data);
    case NIM_DELETE:
        return Delete({data.hWnd.data(), data.uID});
    }
    return false;
}

bool DefaultTrayShell::Add(const NotifyIconData &data) {
    QWidget *window = data.hWnd.data();
    const Key key{window, data.uID};
    if (window == nullptr || m_icons.count(key) != 0)
        return false;
    if (!QSystemTrayIcon::isSystemTrayAvailable() && !FallbackAvailable())
        return false;

    auto entry = std::make_unique<Entry>();
    entry->window = window;
    entry->uID = data.uID;
    const QString tip = VisibleTip(data.szTip);
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        // Trays ask for 22, 24, 32 px and more: the art enlarged stays sharp.
        entry->trayIcon = new QSystemTrayIcon(Icons::Enlarged(data.hIcon), this);
        entry->trayIcon->setToolTip(tip);
        entry->activation = std::make_unique<TrayActivation>(QApplication::doubleClickInterval());
        connect(entry->trayIcon, &QSystemTrayIcon::activated, this,
                [this, key](QSystemTrayIcon::ActivationReason reason) { Activated(key, reason); });
        if (StatusNotifierHost()) {
            entry->menu = MenuFor(key);
            entry->trayIcon->setContextMenu(entry->menu.get());
        }
        entry->trayIcon->show();
    } else {
        int slot = 0;
        for (const auto &[otherKey, other] : m_icons)
            slot += other->fallback ? 1 : 0;
        entry->fallback =
            std::make_unique<FallbackTrayWindow>(window, data.uID, data.hIcon, tip, slot);
        entry->fallback->show();
    }
    // Icons of a window that goes away go with it.
    entry->windowGone =
        connect(window, &QObject::destroyed, this, [this, window] { DeleteAllOf(window); });
    m_icons.emplace(key, std::move(entry));
    return true;
}

bool DefaultTrayShell::Modify(const NotifyIconData &data) {
    const auto found = m_icons.find({data.hWnd.data(), data.uID});
    if (found == m_icons.end())
        return false;
    Entry &entry = *found->second;
    const QString tip = VisibleTip(data.szTip);
    if (entry.trayIcon != nullptr) {
        entry.trayIcon->setIcon(Icons::Enlarged(data.hIcon));
        entry.trayIcon->setToolTip(tip);
    }
    if (entry.fallback) {
        entry.fallback->SetIcon(data.hIcon);
        entry.fallback->SetTip(tip);
    }
    return true;
}

bool DefaultTrayShell::Delete(const Key &key) {
    const auto found = m_icons.find(key);
    if (found == m_icons.end())
        return false;
    std::unique_ptr<Entry> entry = std::move(found->second);
    m_icons.erase(found);
    disconnect(entry->windowGone);
    // Deleted later: the request may come while the icon is still
    // delivering one of its own signals or events.
    if (entry->trayIcon != nullptr) {
        entry->trayIcon->hide();
        entry->trayIcon->deleteLater();
    }
    if (entry->menu)
        entry->menu.release()->deleteLater(); // after the icon that shows it
    if (entry->fallback) {
        entry->fallback->hide();
        entry->fallback.release()->deleteLater();
    }
    return true;
}

void DefaultTrayShell::DeleteAllOf(const QWidget *window) {
    for (auto it = m_icons.begin(); it != m_icons.end();) {
        const auto next = std::next(it);
        if (it->first.first == window)
            Delete(it->first);
        it = next;
    }
}

void DefaultTrayShell::Activated(const Key &key, QSystemTrayIcon::ActivationReason reason) {
    const auto found = m_icons.find(key);
    if (found == m_icons.end())
        return;
    Entry &entry = *found->second;
    for (const std::int32_t mouseMessage : entry.activation->Translate(reason, m_clock.elapsed()))
        TrayCallbackEvent::Post(entry.window, entry.uID, mouseMessage);
}

FallbackTrayWindow *DefaultTrayShell::FallbackWindow(const QWidget *hWnd, std::uint32_t uID) const {
    const auto found = m_icons.find({hWnd, uID});
    return found == m_icons.end() ? nullptr : found->second->fallback.get();
}

QSystemTrayIcon *DefaultTrayShell::SystemTrayIcon(const QWidget *hWnd, std::uint32_t uID) const {
    const auto found = m_icons.find({hWnd, uID});
    return found == m_icons.end() ? nullptr : found->second->trayIcon;
}

QMenu *DefaultTrayShell::TrayMenu(const QWidget *hWnd, std::uint32_t uID) const {
    const auto found = m_icons.find({hWnd, uID});
    return found == m_icons.end() ? nullptr : found->second->menu.get();
}
