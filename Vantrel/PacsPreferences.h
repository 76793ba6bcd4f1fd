#pragma once

#include "PacsAddress.h"
#include "VantrelExport.h"

// The PACS that charts are exported to, as the preferences name it.
namespace PacsPreferences {
VANTREL_EXPORT PacsAddress address();
VANTREL_EXPORT void setAddress(const PacsAddress &address);
// Where studies are retrieved to: 0 for C-GET, else our port for C-MOVE.
VANTREL_EXPORT quint16 retrievePort();
VANTREL_EXPORT void setRetrievePort(quint16 port);
} // namespace PacsPreferences
