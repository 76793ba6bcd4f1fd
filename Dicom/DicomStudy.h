#pragma once

#include <QDateTime>
#include <QString>

// The study an image belongs to, as the viewer or the PACS knows it. An
// image with a study identity joins that study as a new series; one without
// starts a study of its own.
struct DicomStudy
{
    QString studyInstanceUID;
    QString accessionNumber;
    QString studyID;
    // Invalid when unknown.
    QDateTime studyDateTime;

    bool isKnown() const { return !studyInstanceUID.isEmpty(); }
};
