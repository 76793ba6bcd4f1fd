#include "MaturixApplicationController.h"

#include "Alert.h"
#include "FilePanel.h"
#include "Gender.h"
#include "Logging.h"
#include "MaturixDocument.h"
#include "OsirixLinkRequest.h"
#include "PreferenceKeys.h"
#include "RadiographImage.h"
#include "RadiographImport.h"
#include "ReportParagraph.h"
#include "UserDefaults.h"

#include <QFile>
#include <QFileInfo>
#include <QTabWidget>

namespace {
const QString dicomExtension = QStringLiteral("dcm");

// The header as the viewer's link request would carry it. Without a date in
// the header the request is dated today; the examination's date is then
// cleared for the user to type.
OsirixLinkRequest linkRequestOf(const RadiographImage &image)
{
    const RadiographImage::Patient &patient = image.patient();
    OsirixLinkRequest request;
    request.patientID = patient.id;
    request.identifier = RadiographImport::fileBaseName(patient.id);
    request.name = RadiographImport::displayName(patient.name);
    if (patient.birthDate.isValid())
        request.birthDate = AbsoluteDate::fromLocalDate(patient.birthDate);
    request.studyDate = image.examinationDate().isValid()
            ? AbsoluteDate::fromLocalDate(image.examinationDate())
            : AbsoluteDate::now();
    request.gender = RadiographImport::genderOf(patient);
    request.studyInstanceUID = image.study().studyInstanceUID;
    request.accessionNumber = image.study().accessionNumber;
    request.dicomStudyID = image.study().studyID;
    return request;
}

// A girl at her second visit, assessed and measured both times, so that
// every placeholder has a value.
const PatientRecord &samplePatient()
{
    static const std::unique_ptr<const PatientRecord> patient = [] {
        auto record = std::make_unique<PatientRecord>();
        record->setGender(Gender::Female);
        record->setBirthDate(AbsoluteDate::fromLocalDate(QDate(2004, 6, 1)));
        const struct { QDate date; qint64 standard; double height; } visits[] = {
            { QDate(2014, 6, 1), 18, 138.5 },
            { QDate(2015, 6, 1), 19, 144.0 },
        };
        for (const auto &visit : visits) {
            record->addTRRecord();
            TRRecord &exam = *record->trRecordsArray().back();
            exam.setExamDate(AbsoluteDate::fromLocalDate(visit.date));
            exam.setMaturixIndex(visit.standard);
            exam.setHeight(visit.height);
        }
        return record;
    }();
    return *patient;
}
} // namespace

MaturixApplicationController::MaturixApplicationController(QObject *parent)
    : VantrelAppController(parent)
{
    setDocumentFactory([](const QString &) { return new MaturixDocument; });
}

void MaturixApplicationController::awakeFromNib()
{
    VantrelAppController::awakeFromNib();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.registerDefaults({ { PreferenceKeys::DataFileExtension, QStringLiteral("maturix") } });
    setDefaultType(defaults.stringForKey(PreferenceKeys::DataFileExtension));
}

void MaturixApplicationController::didFillFromLinkRequest(VantrelDocument *document,
                                                          const OsirixLinkRequest &request)
{
    if (auto *patient = qobject_cast<MaturixDocument *>(document)) {
        patient->setGender(request.gender);
        patient->directUpdateDisplayAndSetDirty();
    }
}

bool MaturixApplicationController::isDicomFile(const QString &path)
{
    if (QFileInfo(path).suffix().compare(dicomExtension, Qt::CaseInsensitive) == 0)
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(128))
        return false;
    return file.read(4) == "DICM";
}

Document *MaturixApplicationController::openDocumentWithContentsOfURL(const QUrl &url, bool display,
                                                                     QString *error)
{
    const QString path = url.toLocalFile();
    if (!url.isLocalFile() || !QFileInfo(path).isFile() || !isDicomFile(path))
        return VantrelAppController::openDocumentWithContentsOfURL(url, display, error);
    return openRadiograph(path, error);
}

int MaturixApplicationController::runModalOpenPanel(FilePanel &panel, const QStringList &types)
{
    QStringList withImages = types;
    withImages << dicomExtension << dicomExtension.toUpper();
    return VantrelAppController::runModalOpenPanel(panel, withImages);
}

MaturixDocument *MaturixApplicationController::openRadiograph(const QString &path, QString *error)
{
    QString reason;
    std::optional<RadiographImage> read = RadiographImage::read(path, &reason);
    const QString cannotOpen = tr("“%1” cannot be opened as a radiograph.").arg(QFileInfo(path).fileName());
    if (!read) {
        if (error)
            *error = cannotOpen + u'\n' + reason;
        return nullptr;
    }
    const auto image = std::make_shared<const RadiographImage>(std::move(*read));
    const OsirixLinkRequest request = linkRequestOf(*image);
    if (request.identifier.trimmed().isEmpty()) {
        if (error)
            *error = cannotOpen + u'\n' + tr("The image names no patient (its Patient ID is empty).");
        return nullptr;
    }

    auto *document = qobject_cast<MaturixDocument *>(documentForPatient(request.identifier));
    if (!document)
        document = openPatientFileOf(request.identifier);
    if (document) {
        const std::optional<bool> takeHeader = headerHolds(document, *image);
        if (!takeHeader) {
            document->showWindows();
            return document;
        }
        // Opening the same study again shows its examination, never a copy.
        const PatientRecord *patient = document->patientRecord();
        if (const std::optional<quint64> same =
                    patient ? RadiographImport::examinationOf(*patient, *image) : std::nullopt) {
            document->showExamination(*same);
            document->setSourceStudy(request.sourceStudy());
        } else {
            addExaminationFromLinkRequest(document, request);
        }
        if (*takeHeader) {
            if (request.birthDate)
                document->setBirthDate(request.birthDate);
            if (request.gender != Gender::Unspecified)
                document->setGender(request.gender);
            document->directUpdateDisplayAndSetDirty();
        }
    } else {
        document = qobject_cast<MaturixDocument *>(documentForNewPatient());
        if (!document) {
            if (error)
                *error = cannotOpen + u'\n' + tr("No patient window could be made for it.");
            return nullptr;
        }
        fillFromLinkRequest(document, request);
    }
    // Without a date in the header the examination date stays for the user
    // to type, rather than a date that is none.
    if (!image->examinationDate().isValid()) {
        document->setExamDate(std::nullopt);
        document->directUpdateDisplayAndSetDirty();
    }
    document->setRadiograph(image);
    document->showWindows();
    if (RadiographView *view = document->radiographView()) {
        for (QWidget *parent = view->parentWidget(); parent; parent = parent->parentWidget()) {
            if (auto *tabs = qobject_cast<QTabWidget *>(parent)) {
                tabs->setCurrentWidget(tabs->findChild<QWidget *>(QStringLiteral("radiographTab")));
                break;
            }
        }
    }
    return document;
}

MaturixDocument *MaturixApplicationController::openPatientFileOf(const QString &identifier)
{
    if (!UserDefaults::standardUserDefaults().boolForKey(PreferenceKeys::AutoSave))
        return nullptr;
    const QString path = databaseFolder() + u'/' + identifier + u'.' + defaultType();
    if (!QFileInfo(path).isFile())
        return nullptr;
    QString error;
    Document *opened = VantrelAppController::openDocumentWithContentsOfURL(
            QUrl::fromLocalFile(path), true, &error);
    if (!opened) {
        // The image then goes to a new window; the file stays as it is.
        qCWarning(lcLink, "The patient file \"%s\" could not be opened: %s", qPrintable(path),
                  qPrintable(error));
        return nullptr;
    }
    return qobject_cast<MaturixDocument *>(opened);
}

std::optional<bool> MaturixApplicationController::headerHolds(MaturixDocument *document,
                                                              const RadiographImage &image) const
{
    document->synchronizeToData();
    const PatientRecord *patient = document->patientRecord();
    if (!patient)
        return false;
    const QStringList disagreements = RadiographImport::disagreements(*patient, image);
    if (disagreements.isEmpty())
        return false;
    const Alert alert = Alert::alertWithMessageText(
            tr("The image and the patient data of “%1” disagree.").arg(document->preferredFileName()),
            tr("Keep Current"), tr("Use the Image’s"), tr("Cancel"),
            tr("%1.\nWhich holds?").arg(disagreements.join(QStringLiteral(";\n"))));
    switch (alert.runModal()) {
    case Alert::DefaultReturn:
        return false;
    case Alert::AlternateReturn:
        return true;
    default:
        return std::nullopt;
    }
}

QString MaturixApplicationController::defaultReportTemplate() const
{
    return ReportParagraph::defaultTemplate();
}

VantrelAppController::ReportPreview
MaturixApplicationController::reportPreview(const QString &templateText) const
{
    ReportPreview preview;
    preview.unknownPlaceholders = ReportParagraph::unknownPlaceholders(templateText);
    if (auto *front = qobject_cast<MaturixDocument *>(currentDocument())) {
        preview.paragraph =
                ReportParagraph(front->assessment(), front->currentExam()).text(templateText);
        preview.documentName = front->displayName();
    }
    if (preview.paragraph.isEmpty()) {
        MaturixAssessment sample;
        sample.setPatientRecord(&samplePatient());
        const quint64 latest = samplePatient().trRecordsArray().size() - 1;
        preview.paragraph = ReportParagraph(sample, latest).text(templateText);
        preview.documentName.clear();
    }
    return preview;
}
