#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

#include <memory>

// One image of a viewer, read from a DICOM file. Its series' study answers
// by key path: "series.study.name" (patient name), "series.study.patientID",
// "series.study.dateOfBirth" (QDateTime at local midnight),
// "series.study.date" (study date and time, QDateTime) and
// "series.study.patientSex"; a value the file does not hold is invalid.
class ViewerImage
{
public:
    // Null with an error text when the file is not DICOM.
    static std::unique_ptr<ViewerImage> imageWithContentsOfFile(
        const QString &path, QString *error = nullptr);

    QString path() const { return m_path; }
    QVariant valueForKeyPath(const QString &keyPath) const;

private:
    ViewerImage() = default;

    QString m_path;
    QHash<QString, QVariant> m_values;
};
