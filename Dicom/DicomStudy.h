#pragma once

#include "DicomUid.h"

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
    // Only for a study begun here: its description. A joined study keeps
    // its own.
    QString studyDescription;

    bool isKnown() const { return !studyInstanceUID.isEmpty(); }
    // This study when known; else a study of its own begun now, described
    // so, whose identity the caller hands to every file that must land in it.
    DicomStudy knownOrNew(const QString &description) const
    {
        if (isKnown())
            return *this;
        DicomStudy study;
        study.studyInstanceUID = QString::fromLatin1(DicomUid::generate());
        study.studyDateTime = QDateTime::currentDateTime();
        study.studyDescription = description;
        return study;
    }
};
