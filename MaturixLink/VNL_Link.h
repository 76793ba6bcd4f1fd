#pragma once

#include "PluginFilter.h"

struct Notification;

// Imports charts returned by Maturix: each becomes a secondary-capture
// DICOM file "VNL-<study>-<image>.dcm" in the viewer's incoming folder.
// The counters live in memory and restart with the plug-in.
class VNL_Link : public PluginFilter
{
    Q_OBJECT

public:
    void initPlugin() override;

    // A chart return: "JPEG" (bytes) and optionally "Name", "Identifier",
    // "DateOfBirth" and "StudyDescription". Without decodable JPEG data it
    // is logged and ignored.
    void doLinkFromVNL(const Notification &notification);

    qint64 studyCounter() const { return m_studyCounter; }
    qint64 imageCounter() const { return m_imageCounter; }

private:
    qint64 m_studyCounter = 0;
    qint64 m_imageCounter = 0;
};
