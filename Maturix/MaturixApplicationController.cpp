#include "MaturixApplicationController.h"

#include "Alert.h"
#include "FilePanel.h"
#include "Gender.h"
#include "Logging.h"
#include "MaturixDocument.h"
#include "PreferenceKeys.h"
#include "RadiographImage.h"
#include "UserDefaults.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTabWidget>

namespace {
const QString genderKey = QStringLiteral("Gender");
const QString dicomExtension = QStringLiteral("dcm");

qint64 genderOfHeader(const QString &sex)
{
    if (sex == u"M")
        return Gender::Male;
    if (sex == u"F")
        return Gender::Female;
    return Gender::Unspecified;
}

QString sexText(qint64 gender)
{
    if (gender == Gender::Male)
        return MaturixApplicationController::tr("male");
    if (gender == Gender::Female)
        return MaturixApplicationController::tr("female");
    return MaturixApplicationController::tr("not given");
}

QString dateText(const std::optional<AbsoluteDate> &date)
{
    return date ? QLocale().toString(date->toLocalDateTime().date(), QLocale::ShortFormat)
                : MaturixApplicationController::tr("not given");
}

// A DICOM person name ("Family^Given^Middle^Prefix^Suffix") as the window
// shows names: "Family, Given Middle".
QString displayName(const QString &personName)
{
    QStringList parts = personName.split(u'^');
    const QString family = parts.takeFirst().trimmed();
    parts.removeAll(QString());
    const QString given = parts.mid(0, 2).join(u' ').trimmed();
    return family.isEmpty() || given.isEmpty() ? (family + given) : family + QStringLiteral(", ") + given;
}

// The header as the viewer's link request would carry it.
QVariantMap linkRequestOf(const RadiographImage &image)
{
    const RadiographImage::Patient &patient = image.patient();
    QVariantMap request { { QStringLiteral("Identifier"), patient.id },
                          { QStringLiteral("Name"), displayName(patient.name) },
                          { QStringLiteral("StudyInstanceUID"), image.study().studyInstanceUID },
                          { QStringLiteral("AccessionNumber"), image.study().accessionNumber },
                          { QStringLiteral("StudyID"), image.study().studyID } };
    if (patient.birthDate.isValid())
        request.insert(QStringLiteral("DateOfBirth"),
                       QVariant::fromValue(AbsoluteDate::fromLocalDate(patient.birthDate)));
    if (image.examinationDate().isValid())
        request.insert(QStringLiteral("DateOfStudy"),
                       QVariant::fromValue(AbsoluteDate::fromLocalDate(image.examinationDate())));
    return request;
}

std::optional<AbsoluteDate> examinationDateOf(const RadiographImage &image)
{
    if (!image.examinationDate().isValid())
        return std::nullopt;
    return AbsoluteDate::fromLocalDate(image.examinationDate());
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

MaturixApplicationController::LinkOutcome
MaturixApplicationController::doLinkFromOsirix(const Notification &notification)
{
    const QVariant gender = notification.userInfo.value(genderKey);
    // Integers cross the bus as 64-bit values.
    if (gender.isValid() && gender.metaType() != QMetaType::fromType<qint64>()) {
        qCWarning(lcLink, "Link request ignored: \"Gender\" is not an integer");
        return LinkOutcome::Ignored;
    }
    const LinkOutcome outcome = VantrelAppController::doLinkFromOsirix(notification);
    // A found patient file keeps its stored sex; the document it replaces
    // is closing and is left unchanged, so that closing it asks nothing.
    if (outcome != LinkOutcome::Filled)
        return outcome;
    if (auto *document = qobject_cast<MaturixDocument *>(frontDocument())) {
        document->setGender(gender.toLongLong());
        document->directUpdateDisplayAndSetDirty();
    }
    return outcome;
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
    // Named after the patient's file, as a link request's identifier is.
    const QString identifier = QString(image->patient().id).replace(u'/', u'-');
    if (identifier.trimmed().isEmpty()) {
        if (error)
            *error = cannotOpen + u'\n' + tr("The image names no patient (its Patient ID is empty).");
        return nullptr;
    }
    const QVariantMap request = linkRequestOf(*image);
    const std::optional<AbsoluteDate> studyDate = examinationDateOf(*image);

    MaturixDocument *document = documentForPatient(identifier);
    if (!document)
        document = openPatientFileOf(identifier);
    if (document) {
        const std::optional<bool> takeHeader = headerHolds(document, *image);
        if (!takeHeader) {
            document->showWindows();
            return document;
        }
        // Opening the same study again shows its examination, never a copy.
        if (const std::optional<quint64> same =
                    document->examinationForStudy(image->study().studyInstanceUID, studyDate)) {
            document->showExamination(*same);
            document->setSourceStudy(sourceStudyOf(request));
        } else {
            addExaminationFromLinkRequest(document, request);
        }
        if (*takeHeader) {
            if (request.contains(QStringLiteral("DateOfBirth")))
                document->setBirthDate(request.value(QStringLiteral("DateOfBirth")).value<AbsoluteDate>());
            if (const qint64 sex = genderOfHeader(image->patient().sex); sex != Gender::Unspecified)
                document->setGender(sex);
            document->directUpdateDisplayAndSetDirty();
        }
    } else {
        document = documentForNewPatient();
        if (!document) {
            if (error)
                *error = cannotOpen + u'\n' + tr("No patient window could be made for it.");
            return nullptr;
        }
        fillFromLinkRequest(document, request, identifier);
        document->setGender(genderOfHeader(image->patient().sex));
        document->directUpdateDisplayAndSetDirty();
    }
    // Without a date in the header the examination date stays for the user
    // to type, rather than a date that is none.
    if (!studyDate) {
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

MaturixDocument *MaturixApplicationController::documentForPatient(const QString &identifier) const
{
    for (Document *open : documents()) {
        auto *document = qobject_cast<MaturixDocument *>(open);
        // A document without a window is being exported in a batch.
        if (!document || !document->window() || document->preferredFileName() != identifier)
            continue;
        // A file of another name is another patient's, whatever its field says.
        if (document->fileName().isEmpty()
            || QFileInfo(document->fileName()).completeBaseName() == identifier)
            return document;
    }
    return nullptr;
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

MaturixDocument *MaturixApplicationController::documentForNewPatient()
{
    // The front document only when it holds nothing: any other is another
    // patient's, or holds what someone typed.
    auto *front = qobject_cast<MaturixDocument *>(frontDocument());
    if (front && front->window() && front->fileURL().isEmpty() && !front->isDocumentEdited()
        && front->preferredFileName().isEmpty())
        return front;
    return qobject_cast<MaturixDocument *>(openUntitledDocumentAndDisplay(true));
}

std::optional<bool> MaturixApplicationController::headerHolds(MaturixDocument *document,
                                                              const RadiographImage &image) const
{
    document->synchronizeToData();
    const PatientRecord *patient = document->patientRecord();
    if (!patient)
        return false;
    const std::optional<AbsoluteDate> headerBirth = image.patient().birthDate.isValid()
            ? std::optional(AbsoluteDate::fromLocalDate(image.patient().birthDate))
            : std::nullopt;
    const qint64 headerSex = genderOfHeader(image.patient().sex);
    const bool birthDiffers = headerBirth && patient->birthDate()
            && patient->birthDate()->toLocalDateTime().date() != image.patient().birthDate;
    const bool sexDiffers = headerSex != Gender::Unspecified && patient->gender() != Gender::Unspecified
            && patient->gender() != headerSex;
    if (!birthDiffers && !sexDiffers)
        return false;
    const Alert alert = Alert::alertWithMessageText(
            tr("The image and the patient data of “%1” disagree.").arg(document->preferredFileName()),
            tr("Keep Current"), tr("Use the Image’s"), tr("Cancel"),
            tr("The image gives birth date %1 and sex %2; the patient data have birth date %3 and sex "
               "%4. Which holds?")
                    .arg(dateText(headerBirth), sexText(headerSex), dateText(patient->birthDate()),
                         sexText(patient->gender())));
    switch (alert.runModal()) {
    case Alert::DefaultReturn:
        return false;
    case Alert::AlternateReturn:
        return true;
    default:
        return std::nullopt;
    }
}
