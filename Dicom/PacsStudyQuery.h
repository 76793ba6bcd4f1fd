#pragma once

#include "MaturixDicomExport.h"
#include "PacsAddress.h"
#include "PacsResult.h"
#include "PacsStudy.h"

#include <QDate>
#include <QList>

#include <functional>

class QObject;

// A study-level query (C-FIND, Study Root) for a patient's studies: by
// Patient ID or name (either may hold the wildcards * and ?), within a
// range of study dates and, if given, with one of the modalities.
struct MATURIXDICOM_EXPORT PacsStudyQuery
{
    QString patientID;
    QString patientName;
    // Either or both may be invalid: an open range.
    QDate fromDate;
    QDate toDate;
    // Any of them; empty for any modality.
    QStringList modalities;

    struct Answer
    {
        PacsResult result;
        // Ordered by date, the latest first.
        QList<PacsStudy> studies;
    };

    // Blocking: for a worker thread or the command line.
    Answer run(const PacsAddress &address) const;
    // On Qt's thread pool; `done` runs on `context`'s thread unless it is gone.
    void runInBackground(const PacsAddress &address, QObject *context,
                         std::function<void(const Answer &)> done) const;
};
