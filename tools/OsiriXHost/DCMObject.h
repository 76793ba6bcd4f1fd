#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <memory>

class DCMPixelDataAttribute;
class DCMTransferSyntax;

// A DICOM object (data set with its file meta information), over DCMTK.
// Attributes are set and read by dictionary name; text values are stored as
// UTF-8, declared by the specific character set when they need it.
class DCMObject
{
public:
    // A secondary-capture image with its identifiers (new study, series and
    // instance UIDs), "OT" modality, conversion type "WSD", the image pixel
    // description and empty type-2 attributes, ready for the caller's
    // patient, study and pixel values.
    static std::unique_ptr<DCMObject> secondaryCaptureObjectWithBitDepth(
        int depth, int samplesPerPixel, int numberOfFrames);
    // Reads a DICOM file (pixel data stays on disk until needed); null with
    // an error text when it is not one.
    static std::unique_ptr<DCMObject> objectWithContentsOfFile(
        const QString &path, QString *error = nullptr);

    ~DCMObject();
    DCMObject(const DCMObject &) = delete;
    DCMObject &operator=(const DCMObject &) = delete;

    // Replaces the attribute named with the values given: strings, integers,
    // DCMCalendarDate, QDate; an empty list leaves it present and empty.
    // False for an unknown name or a value the attribute cannot hold (one
    // with a backslash, for most text attributes).
    bool setAttributeValues(const QVariantList &values, const QString &name);
    // Attaches pixel data; false when its frames do not add up to its
    // declared length.
    bool setAttribute(const DCMPixelDataAttribute &attribute);

    // The first value: a QDate for dates, a QTime for times, a qint64 for
    // integers, else the text; invalid when absent or empty.
    QVariant attributeValueWithName(const QString &name) const;

    // The object as a file (DICOM Part 10); empty with an error text on failure.
    QByteArray dataWithTransferSyntax(
        const DCMTransferSyntax &syntax, int quality, QString *error = nullptr);
    // Atomically: written under a temporary name in the same folder and
    // renamed when complete, replacing a file of the same name.
    bool writeToFile(const QString &path, const DCMTransferSyntax &syntax, int quality,
        bool atomically, QString *error = nullptr);

private:
    DCMObject();

    struct Private;
    std::unique_ptr<Private> d;
};
