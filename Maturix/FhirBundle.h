#pragma once

#include <QJsonObject>
#include <QStringList>

class MaturixAssessment;

// A patient's results as a FHIR R4 transaction Bundle for a health record:
// the Patient, and per dated examination the Observations "Bone age"
// (LOINC 85151-9), body height (LOINC 8302-2) and predicted adult height,
// with the exact values. A server that runs the transaction creates the
// patient only when no patient with that identifier exists, and creates or
// replaces each observation by its identifier, so exporting again after a
// correction updates the record instead of duplicating it.
class FhirBundle
{
public:
    static constexpr auto patientIdentifierSystem
        = "https://www.vantrel.org/maturix/fhir/patient-id";
    // Our own codes, where LOINC has none.
    static constexpr auto codeSystem = "https://www.vantrel.org/maturix/fhir/CodeSystem/bone-age";

    // The Bundle of the assessment's patient. Examinations with a value but
    // no date are left out (an observation without its date cannot be
    // placed on a growth chart), each with the reason in `leftOut`.
    static QJsonObject ofPatient(
        const MaturixAssessment &assessment, QStringList *leftOut = nullptr);
};
