#include "singleinstance.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <chrono>

using namespace std::chrono_literals;

namespace {

const QString BusService = QStringLiteral("org.freedesktop.DBus");
const QString BusPath = QStringLiteral("/org/freedesktop/DBus");
const QString BusInterface = QStringLiteral("org.freedesktop.DBus");
// org.freedesktop.Application's platform-data keys.
const QString ActivationTokenKey = QStringLiteral("activation-token");
const QString StartupIdKey = QStringLiteral("desktop-startup-id");

// RequestName: fail at once rather than wait in the queue for the name.
constexpr uint DoNotQueue = 4;
// RequestName's answers.
constexpr uint PrimaryOwner = 1;
constexpr uint AlreadyOwner = 4;
constexpr uint Exists = 3;

// The bus answers at once, and so does a running Tallowick, message box or
// not; one that has not answered by then is not brought back.
constexpr std::chrono::milliseconds AnswerTimeout = 5s;

QString CannotCheck(const QString &why) {
    return QStringLiteral("Tallowick: cannot reach a Tallowick already running in this session "
                          "(%1); starting on its own.")
        .arg(why);
}

} // namespace

SingleInstance::SingleInstance(QDBusConnection bus, QString serviceName, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_serviceName(std::move(serviceName)) {}

void SingleInstance::Start() {
    QString why;
    if (!m_bus.isConnected()) {
        const QDBusError error = m_bus.lastError();
        why = QStringLiteral("no session bus: ") +
              (error.isValid() ? error.message() : QStringLiteral("not connected"));
    } else {
        // On the bus before the name is owned: a later start may call as soon as it is.
        m_registered =
            m_bus.registerObject(ObjectPath, this, QDBusConnection::ExportScriptableSlots);
        if (!m_registered)
            why = QStringLiteral("%1 is taken on the session bus").arg(ObjectPath);
    }
    if (!why.isEmpty()) {
        // Decided comes from the event loop, whatever the outcome.
        QMetaObject::invokeMethod(
            this, [this, why] { decide(Outcome::Unchecked, why); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage request = QDBusMessage::createMethodCall(BusService, BusPath, BusInterface,
                                                          QStringLiteral("RequestName"));
    request << m_serviceName << DoNotQueue;
    auto *call = new QDBusPendingCallWatcher(
        m_bus.asyncCall(request, static_cast<int>(AnswerTimeout.count())), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, &SingleInstance::nameRequested);
}

void SingleInstance::nameRequested(QDBusPendingCallWatcher *call) {
    call->deleteLater();
    const QDBusPendingReply<uint> reply = *call;
    if (reply.isError())
        return decide(Outcome::Unchecked,
                      QStringLiteral("the session bus gave no name: ") + reply.error().message());
    const uint answer = reply.value();
    if (answer == PrimaryOwner || answer == AlreadyOwner) {
        m_owner = true;
        return decide(Outcome::First);
    }
    if (answer != Exists)
        return decide(Outcome::Unchecked,
                      QStringLiteral("the session bus answered %1 for the name").arg(answer));

    QDBusMessage activate = QDBusMessage::createMethodCall(
        m_serviceName, ObjectPath, QStringLiteral("org.freedesktop.Application"),
        QStringLiteral("Activate"));
    activate << PlatformData(qEnvironmentVariable("XDG_ACTIVATION_TOKEN"),
                             qEnvironmentVariable("DESKTOP_STARTUP_ID"));
    auto *activation = new QDBusPendingCallWatcher(
        m_bus.asyncCall(activate, static_cast<int>(AnswerTimeout.count())), this);
    connect(activation, &QDBusPendingCallWatcher::finished, this,
            &SingleInstance::activateAnswered);
}

void SingleInstance::activateAnswered(QDBusPendingCallWatcher *call) {
    call->deleteLater();
    if (call->isError())
        return decide(Outcome::Unchecked, QStringLiteral("the running Tallowick did not answer: ") +
                                              call->error().message());
    decide(Outcome::HandedOver);
}

void SingleInstance::decide(Outcome outcome, const QString &reason) {
    if (m_decided)
        return;
    m_decided = true;
    if (outcome != Outcome::First && m_registered) {
        m_bus.unregisterObject(ObjectPath);
        m_registered = false;
    }
    m_reason = reason.isEmpty() ? QString() : CannotCheck(reason);
    Q_EMIT Decided(outcome);
}

void SingleInstance::Activate(const QVariantMap &platformData) {
    if (!m_owner)
        return;
    // Qt hands the token to the compositor with the next activation, and only once.
    if (const QString token = TokenOf(platformData); !token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    Q_EMIT ActivationRequested();
}

void SingleInstance::Release() {
    if (!m_owner)
        return;
    m_owner = false;
    m_bus.unregisterObject(ObjectPath);
    m_registered = false;
    QDBusMessage release = QDBusMessage::createMethodCall(BusService, BusPath, BusInterface,
                                                          QStringLiteral("ReleaseName"));
    release << m_serviceName;
    m_bus.send(release); // the answer changes nothing
}

QVariantMap SingleInstance::PlatformData(const QString &activationToken, const QString &startupId) {
    QVariantMap platformData;
    if (!activationToken.isEmpty())
        platformData.insert(ActivationTokenKey, activationToken);
    else if (!startupId.isEmpty())
        platformData.insert(ActivationTokenKey, startupId);
    if (!startupId.isEmpty())
        platformData.insert(StartupIdKey, startupId);
    return platformData;
}

QString SingleInstance::TokenOf(const QVariantMap &platformData) {
    // A launcher of the X11 kind may send the startup id alone.
    const QString token = platformData.value(ActivationTokenKey).toString();
    return token.isEmpty() ? platformData.value(StartupIdKey).toString() : token;
}
