#include "PacsRetrieve.h"

#include "PacsAssociation.h"

#include <QDir>
#include <QFile>
#include <QFuture>
#include <QPointer>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scu.h>

namespace {

// The syntaxes we take the instances in: as the PACS holds them, so that
// nothing is recompressed on the way.
const char *const acceptedTransferSyntaxes[] = {
    UID_LittleEndianExplicitTransferSyntax,
    UID_LittleEndianImplicitTransferSyntax,
    UID_BigEndianExplicitTransferSyntax,
    UID_DeflatedExplicitVRLittleEndianTransferSyntax,
    UID_JPEGProcess14SV1TransferSyntax,
    UID_JPEGProcess14TransferSyntax,
    UID_JPEGProcess1TransferSyntax,
    UID_JPEGProcess2_4TransferSyntax,
    UID_JPEGLSLosslessTransferSyntax,
    UID_JPEGLSLossyTransferSyntax,
    UID_JPEG2000LosslessOnlyTransferSyntax,
    UID_JPEG2000TransferSyntax,
    UID_RLELosslessTransferSyntax,
};

// A UID names the file only when it cannot name another folder.
bool isSafeFileName(const QString &uid)
{
    static const QRegularExpression digitsAndDots(QStringLiteral("^[0-9][0-9.]{0,63}$"));
    return digitsAndDots.match(uid).hasMatch();
}

// The SCU that receives the study: each incoming C-STORE becomes a file.
class RetrievingScu : public DcmSCU
{
public:
    RetrievingScu(const QString &folder, const PacsRetrieve::Progress &progress)
        : m_folder(folder)
        , m_progress(progress)
    {
    }

    QStringList files;
    QString writeError;
    bool cancelled = false;
    int total = -1;

    OFCondition handleSTORERequest(const T_ASC_PresentationContextID, DcmDataset *incomingObject,
                                   OFBool &continueCGETSession, Uint16 &cStoreReturnStatus) override
    {
        if (!incomingObject)
            return DIMSE_NULLKEY;
        const E_TransferSyntax transferSyntax = incomingObject->getOriginalXfer();
        DcmFileFormat file(incomingObject, OFFalse);
        OFString uid;
        file.getDataset()->findAndGetOFString(DCM_SOPInstanceUID, uid);
        QString name = QString::fromLatin1(uid.c_str()).trimmed();
        if (!isSafeFileName(name))
            name = QStringLiteral("instance-%1").arg(files.size() + 1);
        const QString path = QDir(m_folder).filePath(name + QStringLiteral(".dcm"));
        const OFCondition written
                = file.saveFile(OFFilename(QFile::encodeName(path).constData()), transferSyntax);
        if (written.bad()) {
            writeError = QStringLiteral("%1 cannot be written: %2")
                                 .arg(path, QString::fromLatin1(written.text()));
            cStoreReturnStatus = STATUS_STORE_Refused_OutOfResources;
        } else {
            cStoreReturnStatus = STATUS_Success;
            if (!files.contains(path))
                files.append(path);
        }
        continueCGETSession = OFTrue;
        if (m_progress && !m_progress(int(files.size()), total)) {
            cancelled = true;
            continueCGETSession = OFFalse;
        }
        return EC_Normal;
    }

    OFCondition handleCGETResponse(const T_ASC_PresentationContextID presentationContext,
                                   RetrieveResponse *response, OFBool &continueCGETSession) override
    {
        const OFCondition handled
                = DcmSCU::handleCGETResponse(presentationContext, response, continueCGETSession);
        if (response) {
            const int announced = response->m_numberOfRemainingSubops
                    + response->m_numberOfCompletedSubops + response->m_numberOfFailedSubops
                    + response->m_numberOfWarningSubops;
            if (announced > 0 && DICOM_PENDING_STATUS(response->m_status))
                total = announced;
        }
        if (cancelled)
            continueCGETSession = OFFalse;
        return handled;
    }

private:
    QString m_folder;
    PacsRetrieve::Progress m_progress;
};

QString hex(Uint16 status)
{
    return QStringLiteral("%1").arg(status, 4, 16, QLatin1Char('0'));
}

} // namespace

PacsRetrieve::Answer PacsRetrieve::retrieve(const PacsAddress &address,
                                            const QString &studyInstanceUID, const QString &folder,
                                            const Progress &progress)
{
    Answer answer;
    if (!QDir().mkpath(folder)) {
        answer.result = PacsResult::failure(QStringLiteral("%1 cannot be created.").arg(folder));
        return answer;
    }
    RetrievingScu scu(folder, progress);
    PacsAssociation::configure(scu, address);
    scu.setStorageMode(DCMSCU_STORAGE_DISK);
    scu.setStorageDir(QFile::encodeName(folder).constData());

    OFList<OFString> plain;
    plain.push_back(UID_LittleEndianExplicitTransferSyntax);
    plain.push_back(UID_LittleEndianImplicitTransferSyntax);
    scu.addPresentationContext(UID_GETStudyRootQueryRetrieveInformationModel, plain);
    OFList<OFString> accepted;
    for (const char *syntax : acceptedTransferSyntaxes)
        accepted.push_back(syntax);
    for (int i = 0; i < numberOfDcmShortSCUStorageSOPClassUIDs; ++i)
        scu.addPresentationContext(dcmShortSCUStorageSOPClassUIDs[i], accepted, ASC_SC_ROLE_SCP);

    answer.result = PacsAssociation::negotiate(scu, address);
    if (!answer.result.confirmed)
        return answer;
    const T_ASC_PresentationContextID context
            = scu.findPresentationContextID(UID_GETStudyRootQueryRetrieveInformationModel, "");
    if (context == 0) {
        PacsAssociation::close(scu);
        answer.result = PacsResult::failure(
                QStringLiteral("The PACS %1 does not send studies by C-GET.").arg(address.toString()));
        return answer;
    }

    DcmDataset keys;
    keys.putAndInsertString(DCM_QueryRetrieveLevel, "STUDY");
    keys.putAndInsertString(DCM_StudyInstanceUID, studyInstanceUID.toLatin1().constData());
    OFList<RetrieveResponse *> responses;
    const OFCondition condition = scu.sendCGETRequest(context, &keys, &responses);
    Uint16 finalStatus = STATUS_Success;
    int failed = 0;
    for (RetrieveResponse *response : responses) {
        if (!DICOM_PENDING_STATUS(response->m_status)) {
            finalStatus = response->m_status;
            failed = response->m_numberOfFailedSubops;
        }
        delete response;
    }

    if (scu.cancelled) {
        scu.abortAssociation();
        for (const QString &file : std::as_const(scu.files))
            QFile::remove(file);
        answer.result = PacsResult::failure(QStringLiteral("The retrieval was cancelled."));
        return answer;
    }
    answer.files = scu.files;
    if (condition.bad()) {
        answer.result = PacsAssociation::lost(scu, address, condition);
        return answer;
    }
    PacsAssociation::close(scu);
    if (!scu.writeError.isEmpty())
        answer.result = PacsResult::failure(scu.writeError);
    else if (finalStatus != STATUS_Success || failed > 0)
        answer.result = PacsResult::failure(
                QStringLiteral("The PACS %1 did not send the whole study (status 0x%2: %3; "
                               "%4 images received, %5 failed).")
                        .arg(address.toString(), hex(finalStatus),
                             QString::fromLatin1(DU_cgetStatusString(finalStatus)))
                        .arg(scu.files.size())
                        .arg(failed));
    else if (scu.files.isEmpty())
        answer.result = PacsResult::failure(QStringLiteral("The PACS %1 holds no images of the study %2.")
                                                    .arg(address.toString(), studyInstanceUID));
    else
        answer.result = PacsResult::success();
    return answer;
}

std::shared_ptr<std::atomic_bool> PacsRetrieve::retrieveInBackground(
        const PacsAddress &address, const QString &studyInstanceUID, const QString &folder,
        QObject *context, std::function<void(int received, int total)> progress,
        std::function<void(const Answer &)> done)
{
    auto cancel = std::make_shared<std::atomic_bool>(false);
    const QPointer<QObject> guard(context);
    QtConcurrent::run([=] {
        return retrieve(address, studyInstanceUID, folder, [=](int received, int total) {
            if (guard && progress)
                QMetaObject::invokeMethod(
                        guard, [=] { progress(received, total); }, Qt::QueuedConnection);
            return !cancel->load();
        });
    }).then(context, [done = std::move(done)](const Answer &answer) { done(answer); });
    return cancel;
}
