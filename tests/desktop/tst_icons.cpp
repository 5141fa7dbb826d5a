#include "icons.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

class TestIcons : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowIconsHaveBothSizes();
    void trayPictures();
    void pageArrows();
    void saveAll();
};

void TestIcons::windowIconsHaveBothSizes() {
    for (const QIcon &icon : {Icons::MainWindow(), Icons::Notice()}) {
        const QList<QSize> sizes = icon.availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(32, 32)));
    }
    // The two windows are told apart by their icons.
    QVERIFY(Icons::MainWindow().pixmap(32).toImage() != Icons::Notice().pixmap(32).toImage());
    // The notice's pen is red.
    const QImage notice = Icons::Notice().pixmap(32).toImage();
    bool red = false;
    for (int y = 0; y < notice.height(); ++y)
        for (int x = 0; x < notice.width(); ++x)
            red = red || notice.pixelColor(x, y) == QColor(Qt::red);
    QVERIFY(red);
}

void TestIcons::trayPictures() {
    const QImage blue = Icons::Monitor(false).toImage();
    const QImage green = Icons::Monitor(true).toImage();
    QCOMPARE(blue.size(), QSize(16, 16));
    QCOMPARE(green.size(), QSize(16, 16));
    const QColor blueScreen = blue.pixelColor(8, 6);
    const QColor greenScreen = green.pixelColor(8, 6);
    QVERIFY(blueScreen.blue() > 200 && blueScreen.green() < 50);
    QVERIFY(greenScreen.green() > 150 && greenScreen.blue() < 50);
    // Dotted yellow frame: yellow and clear pixels take turns along the edge.
    QCOMPARE(blue.pixelColor(0, 0), QColor(Qt::yellow));
    QCOMPARE(blue.pixelColor(1, 0).alpha(), 0);
    QCOMPARE(blue.pixelColor(2, 0), QColor(Qt::yellow));
    // Only the screen differs.
    QCOMPARE(blue.pixelColor(2, 2), green.pixelColor(2, 2));
}

void TestIcons::pageArrows() {
    for (const int side : {16, 32}) {
        QVERIFY(Icons::PageArrow(false).availableSizes().contains(QSize(side, side)));
        const QImage back = Icons::PageArrow(false).pixmap(side).toImage();
        const QImage forward = Icons::PageArrow(true).pixmap(side).toImage();
        // Mirror images of each other: a white arrow on a green disc, clear corners.
        QCOMPARE(forward, back.mirrored(true, false));
        const int cell = side / 16;
        QCOMPARE(back.pixelColor(4 * cell, 8 * cell), QColor(Qt::white));
        QCOMPARE(back.pixelColor(12 * cell, 3 * cell), QColor(0x00, 0xc0, 0x00));
        QCOMPARE(back.pixelColor(0, 0).alpha(), 0);
        // The menu bar's chevrons, one way and the other.
        QCOMPARE(Icons::MoreItems(true).pixmap(side).toImage(),
                 Icons::MoreItems(false).pixmap(side).toImage().mirrored(true, false));
        QCOMPARE(Icons::MoreItems(false).pixmap(side).toImage().pixelColor(4 * cell, 4 * cell),
                 QColor(Qt::black));
    }
}

void TestIcons::saveAll() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("icons"));
    QVERIFY(Icons::SaveAll(target));
    const QStringList files = QDir(target).entryList({QStringLiteral("*.png")}, QDir::Files);
    QCOMPARE(files.size(), 6);
    for (const QString &file : files) {
        const QImage image(QDir(target).filePath(file));
        QVERIFY2(!image.isNull(), qPrintable(file));
        QVERIFY(image.size() == QSize(16, 16) || image.size() == QSize(32, 32));
    }

    // A plain file where the folder should be: nothing can be written.
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    QFile file(blocked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(!Icons::SaveAll(blocked));
}

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
