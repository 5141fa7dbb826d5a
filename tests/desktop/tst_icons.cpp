#include "icons.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

class TestIcons : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowIconsHaveBothSizes();
    void mainPictureSharp_data();
    void mainPictureSharp();
    void mainSvg();
    void trayEnlargedSharp();
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

void TestIcons::mainPictureSharp_data() {
    QTest::addColumn<int>("side");
    for (const int side : Icons::MainSizes)
        QTest::addRow("%d px", side) << side;
}

void TestIcons::mainPictureSharp() {
    // Drawn at each size, not scaled from another: the same picture, and only
    // the flap's slant smoothed. A 16 px picture scaled up smoothly blends
    // along every edge.
    QFETCH(int, side);
    QVERIFY(Icons::MainWindow().availableSizes().contains(QSize(side, side)));
    const QImage image = Icons::MainWindow().pixmap(side).toImage();
    QCOMPARE(image.size(), QSize(side, side));
    const QList<QColor> palette{QColor(0xff, 0xff, 0xff), QColor(0x80, 0x80, 0x80),
                                QColor(0x00, 0x00, 0x80), QColor(0xff, 0xc8, 0x90),
                                QColor(0x80, 0x40, 0x00)};
    const auto at = [&image, side](double x, double y) {
        return image.pixelColor(int(x * side / 16), int(y * side / 16));
    };
    QCOMPARE(at(10.5, 4.5), palette[0]); // the letter
    QCOMPARE(at(8, 3.5), palette[2]);    // its writing
    QCOMPARE(at(7.5, 13.5), palette[3]); // the envelope
    QCOMPARE(at(1.5, 14.5), palette[4]); // its edge
    QCOMPARE(at(0.5, 0.5).alpha(), 0);   // clear around
    int blended = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const QColor c = image.pixelColor(x, y);
            blended += c.alpha() != 0 && !palette.contains(c) ? 1 : 0;
        }
    QVERIFY2(blended * 100 <= side * side * 8, qPrintable(QString::number(blended)));
}

void TestIcons::mainSvg() {
    // Well-formed, on the same 16-unit grid as the pictures.
    QXmlStreamReader xml(Icons::MainSvg());
    QString viewBox;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("svg"))
            viewBox = xml.attributes().value(QLatin1String("viewBox")).toString();
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(viewBox, QStringLiteral("0 0 16 16"));
}

void TestIcons::trayEnlargedSharp() {
    const QIcon tray = Icons::Enlarged(QIcon(Icons::Monitor(false)));
    const QImage art = Icons::Monitor(false).toImage();
    for (const int factor : {1, 2, 3, 4}) {
        QVERIFY(tray.availableSizes().contains(QSize(16, 16) * factor));
        const QImage big = tray.pixmap(16 * factor).toImage();
        // Every pixel of the art is a square of one colour.
        for (int y = 0; y < 16 * factor; ++y)
            for (int x = 0; x < 16 * factor; ++x)
                QCOMPARE(big.pixelColor(x, y), art.pixelColor(x / factor, y / factor));
    }
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
    QCOMPARE(files.size(), int(Icons::MainSizes.size()) + 4);
    for (const int side : Icons::MainSizes) {
        const QImage image(QDir(target).filePath(QStringLiteral("tallowick-%1.png").arg(side)));
        QCOMPARE(image.size(), QSize(side, side));
    }
    for (const QString &file : files) {
        const QImage image(QDir(target).filePath(file));
        QVERIFY2(!image.isNull(), qPrintable(file));
    }
    QFile svg(QDir(target).filePath(QStringLiteral("tallowick.svg")));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(svg.readAll()), Icons::MainSvg());

    // A plain file where the folder should be: nothing can be written.
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    QFile file(blocked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(!Icons::SaveAll(blocked));
}

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
