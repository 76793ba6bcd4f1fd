#include "StructuredReportReader.h"

#include "DicomBytes.h"
#include "StructuredReportCodes.h"

#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmsr/dsrdoc.h>
#include <dcmtk/dcmsr/dsrnumvl.h>
#include <dcmtk/oflog/oflog.h>

#include <cmath>
#include <mutex>

namespace Codes = StructuredReportCodes;

namespace {

QString meaning(const DSRCodedEntryValue &code)
{
    return QString::fromUtf8(code.getCodeMeaning().c_str());
}

// The number as written: its floating-point form when it has one, which
// the decimal string could not hold exactly.
std::optional<double> numberOf(const DSRNumericMeasurementValue &value, const DSRBasicCodedEntry &unit,
                               const QString &name, QString *error)
{
    if (!Codes::same(value.getMeasurementUnit(), unit)) {
        *error = QStringLiteral("%1 is in %2, not in %3")
                         .arg(name, meaning(value.getMeasurementUnit()), QString::fromUtf8(unit.CodeMeaning.c_str()));
        return std::nullopt;
    }
    Float64 exact = 0.0;
    if (value.getFloatingPointRepresentation(exact).good() && std::isfinite(exact))
        return exact;
    bool ok = false;
    const double number = QByteArray(value.getNumericValue().c_str()).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        *error = QStringLiteral("%1 is not a number").arg(name);
        return std::nullopt;
    }
    return number;
}

// The value of the first concept modifier named `name` below the current
// item, or an empty code.
DSRCodedEntryValue modifierOf(DSRDocumentTree &tree, const DSRBasicCodedEntry &name)
{
    DSRCodedEntryValue found;
    if (tree.goDown() == 0)
        return found;
    do {
        const DSRContentItem &item = tree.getCurrentContentItem();
        if (item.getRelationshipType() == DSRTypes::RT_hasConceptMod && item.getValueType() == DSRTypes::VT_Code
            && Codes::same(item.getConceptName(), name)) {
            found = item.getCodeValue();
            break;
        }
    } while (tree.gotoNext() != 0);
    tree.goUp();
    return found;
}

// Sets `slot` once; a second value of the same kind makes the report ambiguous.
bool store(std::optional<double> &slot, const std::optional<double> &value, const QString &name, QString *error)
{
    if (!value)
        return false;
    if (slot) {
        *error = QStringLiteral("%1 is given twice").arg(name);
        return false;
    }
    slot = value;
    return true;
}

bool readNumber(DSRDocumentTree &tree, BoneAgeResult &result, QString *error)
{
    const DSRContentItem &item = tree.getCurrentContentItem();
    const DSRCodedEntryValue &name = item.getConceptName();
    const DSRNumericMeasurementValue &value = item.getNumericValue();
    const QString label = meaning(name);
    const auto number = [&](const DSRBasicCodedEntry &unit) { return numberOf(value, unit, label, error); };
    if (Codes::same(name, Codes::boneAge())) {
        const DSRCodedEntryValue derivation = modifierOf(tree, Codes::derivation());
        if (derivation.isEmpty())
            return store(result.boneAge, number(Codes::years()), label, error);
        if (Codes::same(derivation, Codes::mean()))
            return store(result.meanBoneAge, number(Codes::years()), QStringLiteral("Mean bone age"), error);
        if (Codes::same(derivation, Codes::standardDeviation()))
            return store(result.standardDeviation, number(Codes::years()), QStringLiteral("SD of bone age"), error);
        *error = QStringLiteral("unknown derivation of the bone age: %1").arg(meaning(derivation));
        return false;
    }
    if (Codes::same(name, Codes::chronologicalAge()))
        return store(result.chronologicalAge, number(Codes::years()), label, error);
    if (Codes::same(name, Codes::sdScore()))
        return store(result.sdScore, number(Codes::standardDeviations()), label, error);
    if (Codes::same(name, Codes::height()))
        return store(result.height, number(Codes::centimetres()), label, error);
    if (Codes::same(name, Codes::percentageOfAdultHeight()))
        return store(result.percentageOfAdultHeight, number(Codes::percent()), label, error);
    if (Codes::same(name, Codes::predictedAdultHeight()))
        return store(result.predictedAdultHeight, number(Codes::centimetres()), label, error);
    // Numbers we do not know are not ours to read.
    return true;
}

bool readItem(DSRDocumentTree &tree, BoneAgeResult &result, QString *error)
{
    const DSRContentItem &item = tree.getCurrentContentItem();
    if (item.getRelationshipType() != DSRTypes::RT_contains)
        return true;
    switch (item.getValueType()) {
    case DSRTypes::VT_Num:
        return readNumber(tree, result, error);
    case DSRTypes::VT_Date:
        if (Codes::same(item.getConceptName(), Codes::examinationDate())) {
            result.examDate = QDate::fromString(QString::fromLatin1(item.getStringValue().c_str()), QStringLiteral("yyyyMMdd"));
            if (!result.examDate.isValid()) {
                *error = QStringLiteral("the examination date is not a date");
                return false;
            }
        }
        return true;
    case DSRTypes::VT_Text:
        if (Codes::same(item.getConceptName(), Codes::matchedStandard()))
            result.standard = QString::fromUtf8(item.getStringValue().c_str());
        return true;
    default:
        return true;
    }
}

} // namespace

std::optional<BoneAgeResult> StructuredReportReader::read(const QByteArray &data, QString *error)
{
    // Malformed input comes back as conditions; the toolkit's own lines on
    // stderr would only repeat them.
    static std::once_flag once;
    std::call_once(once, [] {
        OFLog::getLogger("dcmtk.dcmdata").setLogLevel(OFLogger::FATAL_LOG_LEVEL);
        OFLog::getLogger("dcmtk.dcmsr").setLogLevel(OFLogger::FATAL_LOG_LEVEL);
    });
    QString reason;
    const auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return std::nullopt;
    };
    const std::unique_ptr<DcmFileFormat> file = DicomBytes::read(data, &reason);
    if (!file)
        return fail(reason);
    DSRDocument document;
    const OFCondition status = document.read(*file->getDataset());
    if (status.bad())
        return fail(QStringLiteral("Not a structured report: %1").arg(QString::fromLatin1(status.text())));
    DSRDocumentTree &tree = document.getTree();
    if (tree.gotoRoot() == 0 || !Codes::same(tree.getCurrentContentItem().getConceptName(), Codes::documentTitle()))
        return fail(QStringLiteral("Not a bone-age report: the document is titled “%1”")
                            .arg(meaning(tree.getCurrentContentItem().getConceptName())));
    BoneAgeResult result;
    if (tree.goDown() != 0) {
        do {
            if (!readItem(tree, result, &reason))
                return fail(QStringLiteral("Malformed bone-age report: %1").arg(reason));
        } while (tree.gotoNext() != 0);
    }
    return result;
}
