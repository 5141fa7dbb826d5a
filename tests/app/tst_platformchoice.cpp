#include "platformchoice.h"

#include <QtTest>

using Platform = PlatformChoice::Platform;

class TestPlatformChoice : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void choose_data();
    void choose();
    void applySetsOnlyWhatItChose_data();
    void applySetsOnlyWhatItChose();
    void aDisplayWithNoServerDoesNotAnswer();
};

void TestPlatformChoice::choose_data() {
    QTest::addColumn<QByteArray>("qpa");
    QTest::addColumn<QByteArray>("session");
    QTest::addColumn<QByteArray>("wayland");
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<Platform>("expected");
    QTest::addColumn<bool>("asked"); // whether the X display was tried

    const QList<QByteArray> none{"tallowick"};
    const auto args = [](std::initializer_list<QByteArray> more) {
        QList<QByteArray> all{"tallowick"};
        all.append(QList<QByteArray>(more));
        return all;
    };
    // session type, Wayland socket, X display
    QTest::newRow("GNOME or KDE on Wayland, Xwayland answers")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << none << true << Platform::Xwayland << true;
    QTest::newRow("a Wayland socket without a session type")
        << QByteArray() << QByteArray() << QByteArray("wayland-1") << QByteArray(":1") << none
        << true << Platform::Xwayland << true;
    QTest::newRow("a Wayland session type without the socket's name")
        << QByteArray() << QByteArray("wayland") << QByteArray() << QByteArray(":0") << none << true
        << Platform::Xwayland << true;
    QTest::newRow("Xwayland set but not answering")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << none << false << Platform::AsQtChooses << true;
    QTest::newRow("Wayland without Xwayland (sway without it, weston)")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray() << none
        << true << Platform::AsQtChooses << false;
    QTest::newRow("an X11 session")
        << QByteArray() << QByteArray("x11") << QByteArray() << QByteArray(":0") << none << true
        << Platform::AsQtChooses << false;
    QTest::newRow("no session type, an X display only")
        << QByteArray() << QByteArray() << QByteArray() << QByteArray(":0") << none << true
        << Platform::AsQtChooses << false;
    QTest::newRow("a tty session type is not Wayland")
        << QByteArray() << QByteArray("tty") << QByteArray() << QByteArray(":0") << none << true
        << Platform::AsQtChooses << false;

    // The person's own choice.
    QTest::newRow("QT_QPA_PLATFORM=wayland")
        << QByteArray("wayland") << QByteArray("wayland") << QByteArray("wayland-0")
        << QByteArray(":0") << none << true << Platform::AsQtChooses << false;
    QTest::newRow("QT_QPA_PLATFORM=xcb (Qt runs it so itself)")
        << QByteArray("xcb") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << none << true << Platform::AsQtChooses << false;
    QTest::newRow("QT_QPA_PLATFORM empty, which Qt takes as unset")
        << QByteArray("") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << none << true << Platform::Xwayland << true;
    QTest::newRow("-platform wayland")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << args({"-platform", "wayland"}) << true << Platform::AsQtChooses << false;
    QTest::newRow("--platform wayland after another argument")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << args({"-style", "fusion", "--platform", "wayland"}) << true << Platform::AsQtChooses
        << false;
    QTest::newRow("-platform last, without a name: Qt ignores it")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << args({"-platform"}) << true << Platform::Xwayland << true;
    QTest::newRow("-platform=wayland: a form Qt does not read")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << args({"-platform=wayland"}) << true << Platform::Xwayland << true;
    QTest::newRow("-platformtheme is another option")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << args({"-platformtheme", "gtk3"}) << true << Platform::Xwayland << true;
    QTest::newRow("the program's own name is no option")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << QList<QByteArray>{"-platform", "wayland"} << true << Platform::Xwayland << true;
}

void TestPlatformChoice::choose() {
    QFETCH(QByteArray, qpa);
    QFETCH(QByteArray, session);
    QFETCH(QByteArray, wayland);
    QFETCH(QByteArray, display);
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(bool, answers);
    QFETCH(Platform, expected);
    QFETCH(bool, asked);

    QList<QByteArray> tried;
    const auto xAnswers = [&](const QByteArray &name) {
        tried.append(name);
        return answers;
    };
    const PlatformChoice::Environment environment{qpa, session, wayland, display, arguments};
    QCOMPARE(PlatformChoice::Choose(environment, xAnswers), expected);
    QCOMPARE(tried, asked ? QList<QByteArray>{display} : QList<QByteArray>{});
}

void TestPlatformChoice::applySetsOnlyWhatItChose_data() {
    QTest::addColumn<QByteArray>("qpa");
    QTest::addColumn<QByteArray>("session");
    QTest::addColumn<QByteArray>("expectedQpa");

    QTest::newRow("chosen: set to xcb")
        << QByteArray() << QByteArray("wayland") << QByteArray("xcb");
    QTest::newRow("the person's choice stays")
        << QByteArray("wayland") << QByteArray("wayland") << QByteArray("wayland");
    QTest::newRow("an X11 session: left unset")
        << QByteArray() << QByteArray("x11") << QByteArray();
}

void TestPlatformChoice::applySetsOnlyWhatItChose() {
    QFETCH(QByteArray, qpa);
    QFETCH(QByteArray, session);
    QFETCH(QByteArray, expectedQpa);

    // This process's own environment, as the program reads it; restored after.
    const QByteArray names[] = {"QT_QPA_PLATFORM", "XDG_SESSION_TYPE", "WAYLAND_DISPLAY",
                                "DISPLAY"};
    QMap<QByteArray, std::optional<QByteArray>> saved;
    for (const QByteArray &name : names)
        saved[name] = qEnvironmentVariableIsSet(name.constData())
                          ? std::optional(qgetenv(name.constData()))
                          : std::nullopt;
    const auto restore = qScopeGuard([&] {
        for (auto it = saved.cbegin(); it != saved.cend(); ++it)
            it.value() ? qputenv(it.key().constData(), *it.value())
                       : qunsetenv(it.key().constData());
    });
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", ":42");
    qputenv("XDG_SESSION_TYPE", session);
    qpa.isEmpty() ? qunsetenv("QT_QPA_PLATFORM") : qputenv("QT_QPA_PLATFORM", qpa);

    QByteArray program("tallowick");
    char *argv[] = {program.data(), nullptr};
    QList<QByteArray> tried;
    PlatformChoice::Apply(1, argv, [&](const QByteArray &name) {
        tried.append(name);
        return true;
    });
    QCOMPARE(qgetenv("QT_QPA_PLATFORM"), expectedQpa);
    QCOMPARE(tried, expectedQpa == "xcb" ? QList<QByteArray>{":42"} : QList<QByteArray>{});
}

void TestPlatformChoice::aDisplayWithNoServerDoesNotAnswer() {
    // No X server listens on this display: the answer comes at once, and no.
    QVERIFY(!PlatformChoice::XDisplayAnswers(":65000"));
    QVERIFY(!PlatformChoice::XDisplayAnswers("not a display name"));
}

QTEST_GUILESS_MAIN(TestPlatformChoice)
#include "tst_platformchoice.moc"
