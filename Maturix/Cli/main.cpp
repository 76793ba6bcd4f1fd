#include "CommandLineTool.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("maturix-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    CommandLineTool tool;
    const int status = tool.run(QCoreApplication::arguments().mid(1), out, err);
    out.flush();
    err.flush();
    return status;
}
