#include "CommandLineTool.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Only render and send draw widgets; every other command stays free of a
// display.
bool needsWidgets(int argc, char *argv[])
{
    return argc > 1 && (std::strcmp(argv[1], "render") == 0 || std::strcmp(argv[1], "send") == 0);
}

} // namespace

int main(int argc, char *argv[])
{
    std::unique_ptr<QCoreApplication> app;
    // Outlives the application, whose runtime files it may hold.
    QTemporaryDir runtimeDir;
    if (needsWidgets(argc, argv)) {
        // Drawing needs no window: without a display, draw off screen
        // rather than fail to connect to one.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
            && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // A shell without a login session has no runtime folder; Qt would
        // warn about it on stderr, where a failure says one line only.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid())
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("maturix-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    CommandLineTool tool;
    const int status = tool.run(QCoreApplication::arguments().mid(1), out, err);
    out.flush();
    err.flush();
    return status;
}
