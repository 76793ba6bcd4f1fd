#include "CliCommand.h"

#include <QTextStream>

int CliCommand::fail(QTextStream &err, int status, const QString &message) const
{
    err << "maturix-cli " << name() << ": " << message << '\n';
    return status;
}
