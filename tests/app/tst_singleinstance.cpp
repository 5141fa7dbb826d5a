#include "singleinstance.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// What a later start sends the running Tallowick (org.freedesktop.Application's
// platform data), and the token the running one takes from it.
class TestSingleInstance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void launcherTokenReachesTheRunningProgram();
};

void TestSingleInstance::launcherTokenReachesTheRunningProgram() {
    const QString token = u"wayland-token"_s, startup = u"shell-1-host-tallowick-2_TIME3"_s;
    const QString tokenKey = u"activation-token"_s, startupKey = u"desktop-startup-id"_s;
    QCOMPARE(SingleInstance::PlatformData({}, {}), QVariantMap());
    QCOMPARE(SingleInstance::PlatformData(token, {}), (QVariantMap{{tokenKey, token}}));
    // Debian 12's launchers give a startup id only: it goes as the token too.
    QCOMPARE(SingleInstance::PlatformData({}, startup),
             (QVariantMap{{tokenKey, startup}, {startupKey, startup}}));
    QCOMPARE(SingleInstance::TokenOf(SingleInstance::PlatformData(token, startup)), token);
    // A caller that sends the startup id alone is understood too.
    QCOMPARE(SingleInstance::TokenOf({{startupKey, startup}}), startup);
    QCOMPARE(SingleInstance::TokenOf({{u"pointer"_s, 3}}), QString());
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
