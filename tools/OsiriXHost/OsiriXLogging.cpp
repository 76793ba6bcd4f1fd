#include "OsiriXLogging.h"

Q_LOGGING_CATEGORY(lcOsiriX, "osirix")
