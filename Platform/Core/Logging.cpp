#include "Logging.h"

Q_LOGGING_CATEGORY(lcPlatform, "maturix.platform")
Q_LOGGING_CATEGORY(lcModel, "maturix.model")
Q_LOGGING_CATEGORY(lcDocument, "maturix.document")
Q_LOGGING_CATEGORY(lcApplication, "maturix.application")
Q_LOGGING_CATEGORY(lcLink, "maturix.link")
