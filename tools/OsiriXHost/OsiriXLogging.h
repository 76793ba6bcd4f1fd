#pragma once

#include <QLoggingCategory>

// Messages of the viewer and its DICOM classes.
Q_DECLARE_LOGGING_CATEGORY(lcOsiriX)
