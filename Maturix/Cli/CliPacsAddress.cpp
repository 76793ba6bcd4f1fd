#include "CliPacsAddress.h"

#include "CommandLineOptions.h"

std::optional<PacsAddress> pacsAddressOption(const CommandLineOptions &options, QString *error)
{
    const QString pacs = QStringLiteral("pacs");
    const QString calling = QStringLiteral("calling");
    if (!options.isSet(pacs)) {
        *error = QStringLiteral("missing --pacs AET@HOST:PORT");
        return std::nullopt;
    }
    std::optional<PacsAddress> address = PacsAddress::fromString(options.value(pacs), error);
    if (address && options.isSet(calling)) {
        address->callingAETitle = options.value(calling);
        *error = address->validationError();
        if (!error->isEmpty())
            address.reset();
    }
    return address;
}
