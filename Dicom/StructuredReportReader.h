#pragma once

#include "BoneAgeResult.h"
#include "MaturixDicomExport.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The values of a structured report that StructuredReportWriter made, read
// back exactly as they were written.
class MATURIXDICOM_EXPORT StructuredReportReader
{
public:
    // The values of a report this writer made; none with the reason when the
    // bytes are not such a report (any file a user hands it: no crash).
    static std::optional<BoneAgeResult> read(const QByteArray &data, QString *error = nullptr);
};
