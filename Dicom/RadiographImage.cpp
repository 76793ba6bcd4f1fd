#include "RadiographImage.h"

#include <QCoreApplication>

// Stand-in until the decoder lands: every file is refused with a reason.
std::optional<RadiographImage> RadiographImage::read(const QString &, QString *error)
{
    if (error)
        *error = QCoreApplication::translate("RadiographImage", "This build cannot decode DICOM images.");
    return std::nullopt;
}
