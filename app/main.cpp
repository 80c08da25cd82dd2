#include "ListMode.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    const bool windowless = qEnvironmentVariableIsEmpty("DISPLAY") &&
                            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                            qEnvironmentVariable("QT_QPA_PLATFORM") != QLatin1String("offscreen");
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (IsListMode(arguments) || windowless) {
        QCoreApplication app(argc, argv);
        if (!IsListMode(arguments))
            arguments << QStringLiteral("--list");
        return RunListMode(arguments);
    }
    std::fprintf(stderr, "Het hoofdvenster is nog niet beschikbaar; gebruik Brolt --list.\n");
    return 1;
}
