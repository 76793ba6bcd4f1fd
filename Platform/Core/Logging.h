#pragma once

#include <QLoggingCategory>

// Logging categories of the whole program; tests capture them with a
// message handler.
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcModel)
Q_DECLARE_LOGGING_CATEGORY(lcDocument)
Q_DECLARE_LOGGING_CATEGORY(lcApplication)
Q_DECLARE_LOGGING_CATEGORY(lcLink)
