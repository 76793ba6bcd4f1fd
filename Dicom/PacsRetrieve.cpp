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
#include <dcmtk/dcmnet/scp.h>
#include <dcmtk/dcmnet/scu.h>

#include <mutex>
#include <optional>
#include <thread>

namespace {

// The syntaxes every PACS can send an image in.
const char *const plainTransferSyntaxes[] = {
    UID_LittleEndianExplicitTransferSyntax,
    UID_LittleEndianImplicitTransferSyntax,
};

// The others we take an image in, as the PACS may hold it.
const char *const otherTransferSyntaxes[] = {
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

OFList<OFString> plainSyntaxes()
{
    OFList<OFString> syntaxes;
    for (const char *syntax : plainTransferSyntaxes)
        syntaxes.push_back(syntax);
    return syntaxes;
}

// The kinds of image a hand radiograph arrives as.
const char *const radiographClasses[] = {
    UID_ComputedRadiographyImageStorage,
    UID_DigitalXRayImageStorageForPresentation,
    UID_DigitalXRayImageStorageForProcessing,
    UID_SecondaryCaptureImageStorage,
};

// A UID names the file only when it cannot name another folder.
bool isSafeFileName(const QString &uid)
{
    static const QRegularExpression digitsAndDots(QStringLiteral("^[0-9][0-9.]{0,63}$"));
    return digitsAndDots.match(uid).hasMatch();
}

// Writes the instances of the study as they arrive, from whichever thread
// receives them, and tells the caller's progress.
class InstanceWriter
{
public:
    InstanceWriter(const QString &folder, const PacsRetrieve::Progress &progress)
        : m_folder(folder)
        , m_progress(progress)
    {
    }

    // Takes the dataset; answers the C-STORE status to give the PACS.
    Uint16 write(DcmDataset *incoming)
    {
        const E_TransferSyntax transferSyntax = incoming->getOriginalXfer();
        DcmFileFormat file(incoming, OFFalse);
        DcmDataset *dataset = file.getDataset();
        OFString uid;
        dataset->findAndGetOFString(DCM_SOPInstanceUID, uid);
        OFString modality;
        dataset->findAndGetOFString(DCM_Modality, modality);
        const bool radiograph = modality == "CR" || modality == "DX";
        const bool hasPixels = dataset->tagExists(DCM_PixelData);
        std::lock_guard lock(m_mutex);
        QString name = QString::fromLatin1(uid.c_str()).trimmed();
        if (!isSafeFileName(name))
            name = QStringLiteral("instance-%1").arg(m_files.size() + 1);
        const QString path = QDir(m_folder).filePath(name + QStringLiteral(".dcm"));
        const OFCondition written
                = file.saveFile(OFFilename(QFile::encodeName(path).constData()), transferSyntax);
        if (written.bad()) {
            m_writeError = QStringLiteral("%1 cannot be written: %2")
                                   .arg(path, QString::fromLatin1(written.text()));
            return STATUS_STORE_Refused_OutOfResources;
        }
        if (!m_files.contains(path))
            m_files.append(path);
        if (hasPixels && (m_image.isEmpty() || (radiograph && !m_imageIsRadiograph))) {
            m_image = path;
            m_imageIsRadiograph = radiograph;
        }
        if (m_progress && !m_progress(int(m_files.size()), m_total))
            m_cancelled = true;
        return STATUS_Success;
    }

    // From a pending C-GET or C-MOVE response: how many the PACS will send.
    void noteAnnounced(const RetrieveResponse &response)
    {
        const int announced = response.m_numberOfRemainingSubops + response.m_numberOfCompletedSubops
                + response.m_numberOfFailedSubops + response.m_numberOfWarningSubops;
        if (announced > 0 && DICOM_PENDING_STATUS(response.m_status))
            m_total = announced;
    }

    bool isCancelled() const { return m_cancelled; }
    QStringList files() const
    {
        std::lock_guard lock(m_mutex);
        return m_files;
    }
    QString image() const
    {
        std::lock_guard lock(m_mutex);
        return m_image;
    }
    QString writeError() const
    {
        std::lock_guard lock(m_mutex);
        return m_writeError;
    }

private:
    QString m_folder;
    PacsRetrieve::Progress m_progress;
    mutable std::mutex m_mutex;
    QStringList m_files;
    QString m_image;
    bool m_imageIsRadiograph = false;
    QString m_writeError;
    std::atomic_bool m_cancelled = false;
    std::atomic_int m_total = -1;
};

// The SCU of the retrieval: by C-GET the instances come back on its own
// association; by C-MOVE it only follows the PACS's progress.
class RetrievingScu : public DcmSCU
{
public:
    explicit RetrievingScu(InstanceWriter &writer)
        : m_writer(writer)
    {
    }

    OFCondition handleSTORERequest(const T_ASC_PresentationContextID, DcmDataset *incomingObject,
                                   OFBool &continueCGETSession, Uint16 &cStoreReturnStatus) override
    {
        if (!incomingObject)
            return DIMSE_NULLKEY;
        cStoreReturnStatus = m_writer.write(incomingObject);
        continueCGETSession = !m_writer.isCancelled();
        return EC_Normal;
    }

    OFCondition handleCGETResponse(const T_ASC_PresentationContextID presentationContext,
                                   RetrieveResponse *response, OFBool &continueCGETSession) override
    {
        const OFCondition handled
                = DcmSCU::handleCGETResponse(presentationContext, response, continueCGETSession);
        if (response)
            m_writer.noteAnnounced(*response);
        if (m_writer.isCancelled())
            continueCGETSession = OFFalse;
        return handled;
    }

    OFCondition handleMOVEResponse(const T_ASC_PresentationContextID presentationContext,
                                   RetrieveResponse *response, OFBool &waitForNextResponse) override
    {
        const OFCondition handled
                = DcmSCU::handleMOVEResponse(presentationContext, response, waitForNextResponse);
        if (response)
            m_writer.noteAnnounced(*response);
        if (m_writer.isCancelled())
            waitForNextResponse = OFFalse;
        return handled;
    }

private:
    InstanceWriter &m_writer;
};

// Our own storage service for a C-MOVE: it takes the instances the PACS
// sends to our port until it is told to stop.
class ReceivingScp : public DcmSCP
{
public:
    ReceivingScp(InstanceWriter &writer, const PacsAddress &address, quint16 port)
        : m_writer(writer)
    {
        setPort(port);
        setAETitle(address.callingAETitle.toStdString().c_str());
        setConnectionBlockingMode(DUL_NOBLOCK);
        // Seconds between looks at whether to stop.
        setConnectionTimeout(1);
        setDIMSEBlockingMode(DIMSE_NONBLOCKING);
        setDIMSETimeout(60);
        OFList<OFString> accepted = plainSyntaxes();
        for (const char *syntax : otherTransferSyntaxes)
            accepted.push_back(syntax);
        for (int i = 0; i < numberOfDcmAllStorageSOPClassUIDs; ++i)
            addPresentationContext(dcmAllStorageSOPClassUIDs[i], accepted);
    }

    void stop() { m_stop = true; }

protected:
    OFCondition handleIncomingCommand(T_DIMSE_Message *message,
                                      const DcmPresentationContextInfo &context) override
    {
        if (message->CommandField != DIMSE_C_STORE_RQ)
            return DcmSCP::handleIncomingCommand(message, context);
        T_DIMSE_C_StoreRQ &request = message->msg.CStoreRQ;
        DcmDataset *dataset = nullptr;
        const OFCondition received
                = receiveSTORERequest(request, context.presentationContextID, dataset);
        if (received.bad()) {
            delete dataset;
            return received;
        }
        Uint16 status = STATUS_STORE_Refused_OutOfResources;
        if (m_writer.isCancelled())
            delete dataset;
        else
            status = m_writer.write(dataset);
        return sendSTOREResponse(context.presentationContextID, request, status);
    }

    OFBool stopAfterCurrentAssociation() override { return m_stop; }
    OFBool stopAfterConnectionTimeout() override { return m_stop; }

private:
    InstanceWriter &m_writer;
    std::atomic_bool m_stop = false;
};

QString hex(Uint16 status)
{
    return QStringLiteral("%1").arg(status, 4, 16, QLatin1Char('0'));
}


// Stops our storage service when the retrieval ends, however it ends.
class ReceivingScpThread
{
public:
    explicit ReceivingScpThread(ReceivingScp &scp)
        : m_scp(scp)
        , m_thread([&scp] { scp.acceptAssociations(); })
    {
    }
    ~ReceivingScpThread()
    {
        m_scp.stop();
        m_thread.join();
    }

private:
    ReceivingScp &m_scp;
    std::thread m_thread;
};

} // namespace

PacsRetrieve::Answer PacsRetrieve::retrieve(const PacsAddress &address,
                                            const QString &studyInstanceUID, const QString &folder,
                                            quint16 storagePort, const Progress &progress)
{
    Answer answer;
    if (!QDir().mkpath(folder)) {
        answer.result = PacsResult::failure(QStringLiteral("%1 cannot be created.").arg(folder));
        return answer;
    }
    const bool move = storagePort != 0;
    InstanceWriter writer(folder, progress);
    RetrievingScu scu(writer);
    PacsAssociation::configure(scu, address);
    const char *model = move ? UID_MOVEStudyRootQueryRetrieveInformationModel
                             : UID_GETStudyRootQueryRetrieveInformationModel;
    const OFList<OFString> plain = plainSyntaxes();
    scu.addPresentationContext(model, plain);
    if (!move) {
        // A PACS accepts one transfer syntax per context and may be unable
        // to convert (JPEG 2000, for one): every kind of image may come
        // uncompressed, and a radiograph also as each compressed syntax.
        for (int i = 0; i < numberOfDcmShortSCUStorageSOPClassUIDs; ++i)
            scu.addPresentationContext(dcmShortSCUStorageSOPClassUIDs[i], plain, ASC_SC_ROLE_SCP);
        for (const char *sopClass : radiographClasses) {
            for (const char *syntax : otherTransferSyntaxes)
                scu.addPresentationContext(sopClass, OFList<OFString>(1, syntax), ASC_SC_ROLE_SCP);
        }
    }

    // By C-MOVE the PACS connects to us: our port listens before we ask.
    std::optional<ReceivingScp> scp;
    std::optional<ReceivingScpThread> receiving;
    if (move) {
        scp.emplace(writer, address, storagePort);
        const OFCondition listening = scp->openListenPort();
        if (listening.bad()) {
            answer.result = PacsResult::failure(
                    QStringLiteral("Port %1 cannot receive the study: %2")
                            .arg(QString::number(storagePort), QString::fromLatin1(listening.text())));
            return answer;
        }
        receiving.emplace(*scp);
    }

    answer.result = PacsAssociation::negotiate(scu, address);
    if (!answer.result.confirmed)
        return answer;
    const T_ASC_PresentationContextID context = scu.findPresentationContextID(model, "");
    if (context == 0) {
        PacsAssociation::close(scu);
        answer.result = PacsResult::failure(QStringLiteral("The PACS %1 does not send studies by %2.")
                                                    .arg(address.toString(),
                                                         move ? QStringLiteral("C-MOVE")
                                                              : QStringLiteral("C-GET")));
        return answer;
    }

    DcmDataset keys;
    keys.putAndInsertString(DCM_QueryRetrieveLevel, "STUDY");
    keys.putAndInsertString(DCM_StudyInstanceUID, studyInstanceUID.toLatin1().constData());
    OFList<RetrieveResponse *> responses;
    const OFCondition condition = move
            ? scu.sendMOVERequest(context, address.callingAETitle.toStdString().c_str(), &keys, &responses)
            : scu.sendCGETRequest(context, &keys, &responses);
    Uint16 finalStatus = STATUS_Success;
    int failed = 0;
    for (RetrieveResponse *response : responses) {
        if (!DICOM_PENDING_STATUS(response->m_status)) {
            finalStatus = response->m_status;
            failed = response->m_numberOfFailedSubops;
        }
        delete response;
    }
    // Every instance has been written once the PACS gave its final answer.
    receiving.reset();

    const QStringList files = writer.files();
    if (writer.isCancelled()) {
        scu.abortAssociation();
        for (const QString &file : files)
            QFile::remove(file);
        answer.result = PacsResult::failure(QStringLiteral("The retrieval was cancelled."));
        return answer;
    }
    answer.files = files;
    answer.image = writer.image();
    if (condition.bad()) {
        answer.result = PacsAssociation::lost(scu, address, condition);
        return answer;
    }
    PacsAssociation::close(scu);
    const QString writeError = writer.writeError();
    if (!writeError.isEmpty())
        answer.result = PacsResult::failure(writeError);
    else if (finalStatus != STATUS_Success || failed > 0) {
        const QString status = QStringLiteral("status 0x%1: %2")
                                       .arg(hex(finalStatus),
                                            QString::fromLatin1(move ? DU_cmoveStatusString(finalStatus)
                                                                     : DU_cgetStatusString(finalStatus)));
        answer.result = PacsResult::failure(
                files.isEmpty()
                        ? QStringLiteral("The PACS %1 did not send the study %2 (%3).")
                                  .arg(address.toString(), studyInstanceUID, status)
                        : QStringLiteral("The PACS %1 did not send the whole study (%2; "
                                         "%3 images received, %4 failed).")
                                  .arg(address.toString(), status)
                                  .arg(files.size())
                                  .arg(failed));
    }
    else if (files.isEmpty())
        answer.result = PacsResult::failure(QStringLiteral("The PACS %1 holds no images of the study %2.")
                                                    .arg(address.toString(), studyInstanceUID));
    else
        answer.result = PacsResult::success();
    return answer;
}

std::shared_ptr<std::atomic_bool> PacsRetrieve::retrieveInBackground(
        const PacsAddress &address, const QString &studyInstanceUID, const QString &folder,
        quint16 storagePort, QObject *context, std::function<void(int received, int total)> progress,
        std::function<void(const Answer &)> done)
{
    auto cancel = std::make_shared<std::atomic_bool>(false);
    const QPointer<QObject> guard(context);
    QtConcurrent::run([=] {
        return retrieve(address, studyInstanceUID, folder, storagePort, [=](int received, int total) {
            if (guard && progress)
                QMetaObject::invokeMethod(
                        guard, [=] { progress(received, total); }, Qt::QueuedConnection);
            return !cancel->load();
        });
    }).then(context, [done = std::move(done)](const Answer &answer) { done(answer); });
    return cancel;
}
