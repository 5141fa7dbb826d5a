#include "platformchoice.h"

#include <QtTest>

using Platform = PlatformChoice::Platform;

class TestPlatformChoice : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void choose_data();
    void choose();
    void applySetsOnlyWhatItChose();
};

namespace {

// What the choice comes to, and whether it tried the X display on the way.
enum class Outcome { Xwayland, LeftToQt, LeftToQtUnanswered };
// The X display that does not answer in these tests.
constexpr char Silent[] = ":9";

} // namespace

void TestPlatformChoice::choose_data() {
    QTest::addColumn<PlatformChoice::Environment>("environment");
    QTest::addColumn<Outcome>("outcome");

    // QT_QPA_PLATFORM, XDG_SESSION_TYPE, WAYLAND_DISPLAY, DISPLAY, the arguments after the name.
    const struct {
        const char *name, *qpa, *session, *wayland, *display, *arguments;
        Outcome outcome;
    } rows[] = {
        {"GNOME or KDE on Wayland", "", "wayland", "wayland-0", ":0", "", Outcome::Xwayland},
        {"a Wayland socket, no session type", "", "", "wayland-1", ":1", "", Outcome::Xwayland},
        {"a Wayland session type, no socket", "", "wayland", "", ":0", "", Outcome::Xwayland},
        {"Xwayland does not answer", "", "wayland", "w", Silent, "", Outcome::LeftToQtUnanswered},
        {"Wayland without Xwayland", "", "wayland", "wayland-0", "", "", Outcome::LeftToQt},
        {"an X11 session", "", "x11", "", ":0", "", Outcome::LeftToQt},
        {"QT_QPA_PLATFORM=wayland", "wayland", "wayland", "w", ":0", "", Outcome::LeftToQt},
        {"-platform wayland", "", "wayland", "w", ":0", "-platform wayland", Outcome::LeftToQt},
        // Forms Qt does not take for a choice of platform.
        {"-platform=wayland", "", "wayland", "w", ":0", "-platform=wayland", Outcome::Xwayland},
        {"-platformtheme gtk3", "", "wayland", "w", ":0", "-platformtheme gtk3", Outcome::Xwayland},
    };
    for (const auto &row : rows) {
        QList<QByteArray> arguments{"tallowick"};
        if (*row.arguments != 0)
            arguments += QByteArray(row.arguments).split(' ');
        QTest::newRow(row.name) << PlatformChoice::Environment{row.qpa, row.session, row.wayland,
                                                               row.display, arguments}
                                << row.outcome;
    }
}

void TestPlatformChoice::choose() {
    QFETCH(PlatformChoice::Environment, environment);
    QFETCH(Outcome, outcome);

    QList<QByteArray> tried;
    const auto xAnswers = [&](const QByteArray &display) {
        tried.append(display);
        return display != Silent;
    };
    QCOMPARE(PlatformChoice::Choose(environment, xAnswers),
             outcome == Outcome::Xwayland ? Platform::Xwayland : Platform::AsQtChooses);
    QCOMPARE(tried, outcome == Outcome::LeftToQt ? QList<QByteArray>{}
                                                 : QList<QByteArray>{environment.display});
}

void TestPlatformChoice::applySetsOnlyWhatItChose() {
    // This process's own environment, as the program reads it.
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("XDG_SESSION_TYPE", "wayland");
    qputenv("DISPLAY", ":42");
    QByteArray program("tallowick");
    char *argv[] = {program.data(), nullptr};
    const auto answers = [](const QByteArray &display) {
        return display == ":42";
    };

    QCOMPARE(PlatformChoice::Apply(1, argv, answers), Platform::Xwayland);
    QCOMPARE(qgetenv("QT_QPA_PLATFORM"), QByteArray("xcb"));
    qputenv("QT_QPA_PLATFORM", "wayland");
    QCOMPARE(PlatformChoice::Apply(1, argv, answers), Platform::AsQtChooses);
    QCOMPARE(qgetenv("QT_QPA_PLATFORM"), QByteArray("wayland"));
    // No X server listens on this display: the answer comes at once, and no.
    QVERIFY(!PlatformChoice::XDisplayAnswers(":65000"));
}

QTEST_GUILESS_MAIN(TestPlatformChoice)
#include "tst_platformchoice.moc"
