// The yardstick for start-up time and memory: the smallest Qt Widgets
// program that opens one empty window. With --text the window shows one line
// of text, so it also starts the font machinery any window with text needs.
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal Qt window"));
    window.resize(620, 540);
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0)
        (new QLabel(QStringLiteral("One line of text."), &window))->move(20, 20);
    window.show();
    return app.exec();
}
