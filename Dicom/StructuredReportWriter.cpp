#include "StructuredReportWriter.h"

#include "DicomBytes.h"
#include "DicomUid.h"
#include "StructuredReportCodes.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmsr/dsrdoc.h>
#include <dcmtk/dcmsr/dsrnumvl.h>

#include <optional>

namespace Codes = StructuredReportCodes;

namespace {

// The shortest decimal string of at most 16 characters (the most a DICOM
// decimal string holds) nearest to the value, and whether it is exact.
std::pair<QByteArray, bool> decimalString(double value)
{
    QByteArray text = QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
    if (text.size() <= 16)
        return { text, true };
    for (int precision = 16; precision > 0; --precision) {
        text = QByteArray::number(value, 'g', precision);
        if (text.size() <= 16)
            break;
    }
    return { text, text.toDouble() == value };
}

// Builds the content tree from the root down, stopping at the first failure.
class ContentTree
{
public:
    explicit ContentTree(DSRDocumentTree &tree) : m_tree(tree) {}

    OFCondition status() const { return m_status; }

    // A number under the root; `modifiers` (name, value) below it.
    void addNumber(const std::optional<double> &value, const DSRBasicCodedEntry &name,
                   const DSRBasicCodedEntry &unit,
                   std::initializer_list<std::pair<DSRBasicCodedEntry, DSRBasicCodedEntry>> modifiers = {})
    {
        if (!value || !add(DSRTypes::RT_contains, DSRTypes::VT_Num, name))
            return;
        const auto [text, exact] = decimalString(*value);
        DSRNumericMeasurementValue number(text.constData(), DSRCodedEntryValue(unit));
        if (!exact)
            update(number.setFloatingPointRepresentation(*value));
        update(m_tree.getCurrentContentItem().setNumericValue(number));
        bool first = true;
        for (const auto &[modifier, modifierValue] : modifiers) {
            if (!add(DSRTypes::RT_hasConceptMod, DSRTypes::VT_Code, modifier, first))
                return;
            update(m_tree.getCurrentContentItem().setCodeValue(DSRCodedEntryValue(modifierValue)));
            first = false;
        }
        if (modifiers.size() > 0)
            m_tree.goUp();
    }

    void addCode(const DSRBasicCodedEntry &name, const DSRBasicCodedEntry &value)
    {
        if (add(DSRTypes::RT_contains, DSRTypes::VT_Code, name))
            update(m_tree.getCurrentContentItem().setCodeValue(DSRCodedEntryValue(value)));
    }

    void addText(const QString &text, const DSRBasicCodedEntry &name)
    {
        if (!text.isEmpty() && add(DSRTypes::RT_contains, DSRTypes::VT_Text, name))
            update(m_tree.getCurrentContentItem().setStringValue(text.toUtf8().constData()));
    }

    void addDate(const QDate &date, const DSRBasicCodedEntry &name)
    {
        if (date.isValid() && add(DSRTypes::RT_contains, DSRTypes::VT_Date, name))
            update(m_tree.getCurrentContentItem().setStringValue(
                    date.toString(QStringLiteral("yyyyMMdd")).toLatin1().constData()));
    }

private:
    // The first item of a level goes below the current one, the others after it.
    bool add(DSRTypes::E_RelationshipType relationship, DSRTypes::E_ValueType type,
             const DSRBasicCodedEntry &name, bool below = false)
    {
        if (m_status.bad())
            return false;
        const bool first = below || m_firstAtRoot;
        if (m_tree.addContentItem(relationship, type, first ? DSRTypes::AM_belowCurrent : DSRTypes::AM_afterCurrent) == 0) {
            m_status = SR_EC_CannotAddContentItem;
            return false;
        }
        if (!below)
            m_firstAtRoot = false;
        update(m_tree.getCurrentContentItem().setConceptName(DSRCodedEntryValue(name)));
        return m_status.good();
    }

    void update(const OFCondition &status)
    {
        if (m_status.good())
            m_status = status;
    }

    DSRDocumentTree &m_tree;
    OFCondition m_status = EC_Normal;
    bool m_firstAtRoot = true;
};

} // namespace

StructuredReportWriter::StructuredReportWriter(const QString &patientsName, const QString &patientID,
                                               const QDateTime &created)
    : m_created(created)
{
    m_patientStudy.setPatientsName(patientsName);
    m_patientStudy.setPatientID(patientID);
    m_patientStudy.setStudyDescription(description);
}

QByteArray StructuredReportWriter::data(const BoneAgeResult &result, QString *error) const
{
    DSRDocument document(DSRTypes::DT_ComprehensiveSR);
    DSRDocumentTree &tree = document.getTree();
    OFCondition status = EC_Normal;
    if (tree.addContentItem(DSRTypes::RT_isRoot, DSRTypes::VT_Container) == 0)
        status = SR_EC_CannotAddContentItem;
    else
        status = tree.getCurrentContentItem().setConceptName(DSRCodedEntryValue(Codes::documentTitle()));

    ContentTree content(tree);
    if (status.good()) {
        content.addDate(result.examDate, Codes::examinationDate());
        content.addCode(Codes::measurementMethod(), Codes::greulichAndPyle());
        content.addText(result.isAssessed() ? result.standard : QString(), Codes::matchedStandard());
        content.addNumber(result.boneAge, Codes::boneAge(), Codes::years());
        content.addNumber(result.chronologicalAge, Codes::chronologicalAge(), Codes::years());
        content.addNumber(result.meanBoneAge, Codes::boneAge(), Codes::years(),
                          { { Codes::derivation(), Codes::mean() } });
        content.addNumber(result.standardDeviation, Codes::boneAge(), Codes::years(),
                          { { Codes::derivation(), Codes::standardDeviation() } });
        content.addNumber(result.sdScore, Codes::sdScore(), Codes::standardDeviations());
        content.addNumber(result.height, Codes::height(), Codes::centimetres());
        content.addNumber(result.percentageOfAdultHeight, Codes::percentageOfAdultHeight(), Codes::percent(),
                          { { Codes::measurementMethod(), Codes::bayleyPinneau() } });
        content.addNumber(result.predictedAdultHeight, Codes::predictedAdultHeight(), Codes::centimetres(),
                          { { Codes::measurementMethod(), Codes::bayleyPinneau() } });
        status = content.status();
    }
    if (status.good()) {
        DSRCodingSchemeIdentificationList &schemes = document.getCodingSchemeIdentification();
        status = schemes.addItem(Codes::privateScheme);
        if (status.good())
            status = schemes.setCodingSchemeUID(Codes::privateSchemeUID);
        if (status.good())
            status = schemes.setCodingSchemeName(Codes::privateSchemeName);
        if (status.good())
            status = schemes.setCodingSchemeResponsibleOrganization("Maturix");
    }
    if (status.good())
        status = document.setManufacturer("Maturix");
    if (status.good())
        status = document.completeDocument();

    auto file = std::make_unique<DcmFileFormat>();
    DcmDataset &dataset = *file->getDataset();
    if (status.good())
        status = document.write(dataset);
    // Ours replace the toolkit's: patient and study as every file of ours
    // carries them, UIDs under our root.
    if (status.good())
        status = m_patientStudy.write(dataset, m_created, result.standard);
    const bool known = m_patientStudy.study().isKnown();
    const auto put = [&dataset, &status](const DcmTagKey &key, const QByteArray &value) {
        if (status.good())
            status = dataset.putAndInsertString(key, value.constData());
    };
    put(DCM_SOPInstanceUID, DicomUid::generate());
    put(DCM_SeriesInstanceUID, known && !m_seriesInstanceUID.isEmpty() ? m_seriesInstanceUID.toLatin1()
                                                                      : DicomUid::generate());
    put(DCM_SeriesNumber, known ? m_created.toString(QStringLiteral("MMddHHmm")).toLatin1() : "1");
    put(DCM_SeriesDescription, description.toLatin1());
    put(DCM_InstanceNumber, QByteArray::number(m_instanceNumber));
    put(DCM_ContentDate, m_created.date().toString(QStringLiteral("yyyyMMdd")).toLatin1());
    put(DCM_ContentTime, m_created.time().toString(QStringLiteral("HHmmss")).toLatin1());
    put(DCM_InstanceCreationDate, m_created.date().toString(QStringLiteral("yyyyMMdd")).toLatin1());
    put(DCM_InstanceCreationTime, m_created.time().toString(QStringLiteral("HHmmss")).toLatin1());
    if (status.bad()) {
        if (error)
            *error = QStringLiteral("Cannot build the structured report: %1").arg(QString::fromLatin1(status.text()));
        return {};
    }
    return DicomBytes::write(*file, error);
}
