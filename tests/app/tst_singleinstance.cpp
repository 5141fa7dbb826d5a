#include "singleinstance.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// What a later start sends the running Tallowick (org.freedesktop.Application's
// platform data), and which token the running one takes from it.
class TestSingleInstance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void platformData_data();
    void platformData();
    void tokenOf_data();
    void tokenOf();
};

void TestSingleInstance::platformData_data() {
    QTest::addColumn<QString>("activationToken"); // XDG_ACTIVATION_TOKEN
    QTest::addColumn<QString>("startupId");       // DESKTOP_STARTUP_ID
    QTest::addColumn<QVariantMap>("expected");

    const QString token = QStringLiteral("wayland-token-1");
    const QString startup = QStringLiteral("gnome-shell-1234-host-tallowick-1_TIME5678");
    QTest::newRow("neither: nothing") << QString() << QString() << QVariantMap();
    QTest::newRow("a Wayland launcher's token")
        << token << QString() << QVariantMap{{QStringLiteral("activation-token"), token}};
    QTest::newRow("Debian 12's launchers: a startup id only, sent as the token too")
        << QString() << startup
        << QVariantMap{{QStringLiteral("activation-token"), startup},
                       {QStringLiteral("desktop-startup-id"), startup}};
    QTest::newRow("both: each under its own key")
        << token << startup
        << QVariantMap{{QStringLiteral("activation-token"), token},
                       {QStringLiteral("desktop-startup-id"), startup}};
}

void TestSingleInstance::platformData() {
    QFETCH(QString, activationToken);
    QFETCH(QString, startupId);
    QFETCH(QVariantMap, expected);
    QCOMPARE(SingleInstance::PlatformData(activationToken, startupId), expected);
}

void TestSingleInstance::tokenOf_data() {
    QTest::addColumn<QVariantMap>("platformData");
    QTest::addColumn<QString>("expected");

    QTest::newRow("none") << QVariantMap() << QString();
    QTest::newRow("the token") << QVariantMap{{QStringLiteral("activation-token"), u"a"_s}}
                               << u"a"_s;
    QTest::newRow("a startup id alone (an X11 launcher's caller)")
        << QVariantMap{{QStringLiteral("desktop-startup-id"), u"s"_s}} << u"s"_s;
    QTest::newRow("both: the token first")
        << QVariantMap{{QStringLiteral("activation-token"), u"a"_s},
                       {QStringLiteral("desktop-startup-id"), u"s"_s}}
        << u"a"_s;
    QTest::newRow("an empty token: the startup id")
        << QVariantMap{{QStringLiteral("activation-token"), QString()},
                       {QStringLiteral("desktop-startup-id"), u"s"_s}}
        << u"s"_s;
    QTest::newRow("other keys only") << QVariantMap{{QStringLiteral("pointer"), 3}} << QString();
}

void TestSingleInstance::tokenOf() {
    QFETCH(QVariantMap, platformData);
    QFETCH(QString, expected);
    QCOMPARE(SingleInstance::TokenOf(platformData), expected);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
