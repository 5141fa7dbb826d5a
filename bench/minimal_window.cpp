// The yardstick for start-up time and memory: the smallest Qt Widgets
// program that opens one empty window.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal Qt window"));
    window.resize(620, 540);
    window.show();
    return app.exec();
}
