#pragma once

#include <dcmtk/dcmsr/dsrcodvl.h>

// The codes of our structured reports, shared by the writer and the reader:
// LOINC, SNOMED CT and DICOM where they have the concept, our own scheme
// where none does (the README lists them all).
namespace StructuredReportCodes {

inline const char *const privateScheme = "99MATURIX";
inline const char *const privateSchemeName = "Maturix bone-age report codes";
// Fixed: names our coding scheme in the coding scheme identification.
inline const char *const privateSchemeUID = "2.25.249414265068576473999973829863735701818";

inline DSRBasicCodedEntry documentTitle() { return { "37362-1", "LN", "Bones X-ray bone age" }; }
inline DSRBasicCodedEntry examinationDate() { return { "111060", "DCM", "Study Date" }; }
inline DSRBasicCodedEntry measurementMethod() { return { "370129005", "SCT", "Measurement Method" }; }
inline DSRBasicCodedEntry greulichAndPyle() { return { "GP", privateScheme, "Greulich and Pyle" }; }
inline DSRBasicCodedEntry matchedStandard() { return { "STANDARD", privateScheme, "Atlas standard matched" }; }
inline DSRBasicCodedEntry boneAge() { return { "85151-9", "LN", "Bone age" }; }
inline DSRBasicCodedEntry chronologicalAge() { return { "121033", "DCM", "Subject Age" }; }
inline DSRBasicCodedEntry derivation() { return { "121401", "DCM", "Derivation" }; }
inline DSRBasicCodedEntry mean() { return { "373098007", "SCT", "Mean" }; }
inline DSRBasicCodedEntry standardDeviation() { return { "386136009", "SCT", "Standard Deviation" }; }
inline DSRBasicCodedEntry sdScore() { return { "121416", "DCM", "Z-Score of measurement" }; }
inline DSRBasicCodedEntry height() { return { "8302-2", "LN", "Body height" }; }
inline DSRBasicCodedEntry percentageOfAdultHeight()
{
    return { "ADULTPCT", privateScheme, "Percentage of adult height reached" };
}
inline DSRBasicCodedEntry predictedAdultHeight() { return { "ADULTHT", privateScheme, "Predicted adult height" }; }
inline DSRBasicCodedEntry bayleyPinneau() { return { "BP", privateScheme, "Bayley-Pinneau" }; }

// UCUM units.
inline DSRBasicCodedEntry years() { return { "a", "UCUM", "year" }; }
inline DSRBasicCodedEntry centimetres() { return { "cm", "UCUM", "centimeter" }; }
inline DSRBasicCodedEntry percent() { return { "%", "UCUM", "percent" }; }
inline DSRBasicCodedEntry standardDeviations() { return { "{SD}", "UCUM", "standard deviation" }; }

// Same code in the same scheme; meanings may differ in wording.
inline bool same(const DSRCodedEntryValue &code, const DSRBasicCodedEntry &entry)
{
    return code.getCodeValue() == entry.CodeValue && code.getCodingSchemeDesignator() == entry.CodingSchemeDesignator;
}

} // namespace StructuredReportCodes
