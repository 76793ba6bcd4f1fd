#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// One study as a PACS describes it in answer to a query.
struct PacsStudy
{
    QString studyInstanceUID;
    // Invalid when the PACS gave none.
    QDate studyDate;
    QString studyDescription;
    QString accessionNumber;
    QStringList modalities;
    // -1 when the PACS did not say.
    int numberOfImages = -1;

    QString patientID;
    QString patientName;
    QDate patientBirthDate;
    // "M", "F", "O" or empty.
    QString patientSex;
};
