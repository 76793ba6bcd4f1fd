#pragma once

#include "PacsAddress.h"
#include "VantrelExport.h"

// The PACS that charts are exported to, as the preferences name it.
namespace PacsPreferences {
VANTREL_EXPORT PacsAddress address();
VANTREL_EXPORT void setAddress(const PacsAddress &address);
} // namespace PacsPreferences
