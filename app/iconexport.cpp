// Writes the program's icons as PNG files into the folder given, for
// installation beside the desktop entry.
#include "icons.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    return Icons::SaveAll(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
