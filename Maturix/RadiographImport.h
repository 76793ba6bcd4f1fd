#pragma once

#include "RadiographImage.h"

#include <QStringList>

#include <optional>

class PatientRecord;
class TRRecord;

// How a radiograph's header joins a patient: the window, when it opens a
// DICOM image, and `maturix-cli import` follow this one rule.
//  - The patient takes the identifier exactly as the image gives it, the
//    name when the image has one, the birth date and the sex (male or
//    female) when the image records them.
//  - The examination is the one dated by the study date; an image joins the
//    examination that came from its study, or else one of its date (see
//    examinationOf()), so that opening one study twice never makes two.
//  - Where the patient already has another birth date or sex, the image
//    does not decide: disagreements() names both values, and the caller
//    asks the user (or refuses) before apply().
class RadiographImport
{
public:
    // The patient file's name without its extension: the identifier with
    // every "/" made "-", as the window names a patient file it saves.
    static QString fileBaseName(const QString &identifier);
    // A DICOM person name ("Family^Given^Middle^Prefix^Suffix") as the
    // window shows names: "Family, Given Middle".
    static QString displayName(const QString &personName);
    // Gender::Male, Gender::Female or Gender::Unspecified.
    static int genderOf(const RadiographImage::Patient &patient);
    // Where the image lands among the patient's examinations: the one that
    // came from its study this session, else the one of its date not tied to
    // another study (read from a file, an examination has forgotten its
    // study); nothing when the image makes a new one.
    static std::optional<quint64> examinationOf(const PatientRecord &record,
                                                const RadiographImage &image);
    // One line per field on which the record and the image disagree, with
    // both values, e.g. "birth date: 2015-03-02 in the patient file,
    // 2015-03-04 in the image". Empty when nothing is overwritten.
    static QStringList disagreements(const PatientRecord &record, const RadiographImage &image);
    // Fills the patient from the image and answers the examination of the
    // image's date, added when the patient has none of that date (dated
    // now when the image has no date at all). The examination keeps the
    // study's identity for the session, as one from the viewer's link does.
    static TRRecord *apply(PatientRecord &record, const RadiographImage &image);
};
