#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QDBusPendingCallWatcher;

// One Tallowick per desktop session. The first start owns a well-known name
// on the session bus and answers there; a later start finds the name taken,
// asks its owner to bring the main window back, and ends. Every step waits
// for its answer through the event loop, never inside a call.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    enum class Outcome {
        First,      // this start owns the name: it runs, and answers later starts
        HandedOver, // the running Tallowick took the request: this start ends
        Unchecked,  // no answer either way (see Reason()): this start runs on its own
    };

    static inline const QString ServiceName = QStringLiteral("org.tallowick.Tallowick");
    static inline const QString ObjectPath = QStringLiteral("/org/tallowick/Tallowick");

    explicit SingleInstance(QDBusConnection bus, QString serviceName = ServiceName,
                            QObject *parent = nullptr);

    // Asks the bus for the name; Decided follows once, from the event loop.
    void Start();
    // Why no answer could be had; empty unless the outcome is Unchecked.
    QString Reason() const { return m_reason; }
    // Gives the name up, without waiting: a later start is a program of its own.
    void Release();

    // What a later start tells the running one about how its launcher started
    // it: the Wayland activation token, or else the startup id (which
    // compositors take as a token: Debian 12's launchers give only that one),
    // and the startup id as itself.
    static QVariantMap PlatformData(const QString &activationToken, const QString &startupId);
    // The token in a later start's platform data, whichever key carried it.
    static QString TokenOf(const QVariantMap &platformData);

public Q_SLOTS:
    // Called over the bus by a later start. Its platform data may carry the
    // token its launcher gave it, which lets the window take the focus on
    // Wayland.
    Q_SCRIPTABLE void Activate(const QVariantMap &platformData);

Q_SIGNALS:
    void Decided(SingleInstance::Outcome outcome);
    // A later start asks for the main window.
    void ActivationRequested();

private:
    void nameRequested(QDBusPendingCallWatcher *call);
    void activateAnswered(QDBusPendingCallWatcher *call);
    void decide(Outcome outcome, const QString &reason = QString());

    QDBusConnection m_bus;
    QString m_serviceName;
    QString m_reason;
    bool m_registered = false; // the object is on the bus at ObjectPath
    bool m_owner = false;
    bool m_decided = false;
};
