#pragma once

#include "PacsAddress.h"

#include <optional>

class CommandLineOptions;

// The PACS of a command: "--pacs AET@HOST:PORT" and our "--calling AET".
// Nothing, with the reason, when either is missing or not valid.
std::optional<PacsAddress> pacsAddressOption(const CommandLineOptions &options, QString *error);
