#include "PacsSender.h"

#include "DicomBytes.h"
#include "PacsAssociation.h"

#include <QDeadlineTimer>
#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scu.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <set>

namespace {

// Seconds for the PACS to answer everything of one request (the association
// and every file of a batch together), so that a PACS that takes the
// connection and then stays silent fails within this time.
constexpr int answerSeconds = 30;

QString conditionText(const OFCondition &condition)
{
    return QString::fromLatin1(condition.text());
}

// One association with the PACS, released (or aborted) when it ends.
class Association
{
public:
    Association(const PacsAddress &address, const QDeadlineTimer &deadline)
        : m_address(address)
        , m_deadline(deadline)
    {
        // The deadline, not the association's own timeouts, bounds each answer.
        PacsAssociation::configure(m_scu, address);
        // The PACS may accept only implicit VR; the files are explicit VR.
        m_scu.setDatasetConversionMode(OFTrue);
    }

    ~Association() { PacsAssociation::close(m_scu); }

    PacsResult open(const std::set<std::string> &abstractSyntaxes)
    {
        const QString invalid = m_address.validationError();
        if (!invalid.isEmpty())
            return PacsResult::failure(invalid);
        OFList<OFString> transferSyntaxes;
        transferSyntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
        transferSyntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
        for (const std::string &syntax : abstractSyntaxes)
            m_scu.addPresentationContext(syntax.c_str(), transferSyntaxes);
        if (!waitForAnswer())
            return notAnswered();
        m_scu.setACSETimeout(Uint32(secondsLeft()));

        OFCondition condition = m_scu.initNetwork();
        if (condition.good())
            condition = m_scu.negotiateAssociation();
        if (condition.good())
            return PacsResult::success();
        if (isSilence(condition))
            return notAnswered();
        if (condition == DUL_ASSOCIATIONREJECTED)
            return PacsResult::failure(
                    QStringLiteral("The PACS %1 refused the association: check its AE title "
                                   "\"%2\" and that it accepts the calling AE title \"%3\".")
                            .arg(m_address.toString(), m_address.calledAETitle,
                                 m_address.callingAETitle));
        if (condition == NET_EC_NoAcceptablePresentationContexts)
            return PacsResult::failure(
                    QStringLiteral("The PACS %1 does not accept this kind of DICOM object.")
                            .arg(m_address.toString()));
        return PacsResult::failure(QStringLiteral("The PACS %1 cannot be reached: %2")
                                           .arg(m_address.toString(), conditionText(condition)));
    }

    bool isOpen() const { return m_scu.isConnected(); }
    // The PACS let the time for its answers pass.
    bool fellSilent() const { return m_fellSilent; }

    PacsResult echo()
    {
        if (!waitForAnswer())
            return notAnswered();
        const OFCondition condition = m_scu.sendECHORequest(0);
        if (condition.bad())
            return lost(condition);
        return PacsResult::success();
    }

    PacsResult store(DcmFileFormat &file)
    {
        DcmDataset *dataset = file.getDataset();
        OFString sopClass;
        dataset->findAndGetOFString(DCM_SOPClassUID, sopClass);
        const T_ASC_PresentationContextID context = m_scu.findAnyPresentationContextID(
                sopClass, UID_LittleEndianExplicitTransferSyntax);
        if (context == 0)
            return PacsResult::failure(
                    QStringLiteral("The PACS %1 does not accept this kind of DICOM object.")
                            .arg(m_address.toString()));
        if (!waitForAnswer())
            return notAnswered();
        Uint16 status = 0;
        const OFCondition condition
                = m_scu.sendSTORERequest(context, OFFilename(), dataset, status);
        if (condition.bad())
            return lost(condition);
        // Warnings (coercion of values, elements discarded) still mean stored.
        if (status == STATUS_Success || DICOM_WARNING_STATUS(status))
            return PacsResult::success();
        return PacsResult::failure(
                QStringLiteral("The PACS %1 did not store the image (status 0x%2: %3).")
                        .arg(m_address.toString(),
                             QStringLiteral("%1").arg(status, 4, 16, QLatin1Char('0')),
                             QString::fromLatin1(DU_cstoreStatusString(status))));
    }

private:
    static bool isSilence(const OFCondition &condition)
    {
        return condition == DIMSE_NODATAAVAILABLE || condition == DUL_READTIMEOUT;
    }

    int secondsLeft() const
    {
        return int(std::max<qint64>(1, (m_deadline.remainingTime() + 999) / 1000));
    }

    // Gives the next exchange the time left; false when none is.
    bool waitForAnswer()
    {
        if (m_deadline.hasExpired())
            return false;
        m_scu.setDIMSETimeout(Uint32(secondsLeft()));
        return true;
    }

    PacsResult notAnswered()
    {
        m_fellSilent = true;
        if (m_scu.isConnected())
            m_scu.abortAssociation();
        return PacsResult::failure(QStringLiteral("The PACS %1 did not answer within %2 seconds.")
                                           .arg(m_address.toString(), QString::number(answerSeconds)));
    }

    PacsResult lost(const OFCondition &condition)
    {
        if (isSilence(condition))
            return notAnswered();
        m_scu.abortAssociation();
        return PacsResult::failure(
                QStringLiteral("The connection to the PACS %1 was lost: %2")
                        .arg(m_address.toString(), conditionText(condition)));
    }

    PacsAddress m_address;
    QDeadlineTimer m_deadline;
    bool m_fellSilent = false;
    DcmSCU m_scu;
};

// The SOP classes of the files, for the presentation contexts to propose.
std::set<std::string> abstractSyntaxesOf(const std::vector<std::unique_ptr<DcmFileFormat>> &files)
{
    std::set<std::string> syntaxes;
    for (const auto &file : files) {
        OFString sopClass;
        if (file && file->getDataset()->findAndGetOFString(DCM_SOPClassUID, sopClass).good())
            syntaxes.insert(sopClass.c_str());
    }
    return syntaxes;
}

} // namespace

PacsResult PacsSender::echo(const PacsAddress &address)
{
    Association association(address, QDeadlineTimer { std::chrono::seconds(answerSeconds) });
    const PacsResult opened = association.open({ UID_VerificationSOPClass });
    return opened.confirmed ? association.echo() : opened;
}

QList<PacsResult> PacsSender::store(const PacsAddress &address, const QList<QByteArray> &files,
                                    const ItemSent &itemSent)
{
    QList<PacsResult> results(files.size());
    std::vector<std::unique_ptr<DcmFileFormat>> parsed;
    parsed.reserve(size_t(files.size()));
    for (qsizetype i = 0; i < files.size(); ++i) {
        QString error;
        parsed.push_back(DicomBytes::read(files.at(i), &error));
        if (!parsed.back())
            results[i] = PacsResult::failure(error);
    }
    const std::set<std::string> syntaxes = abstractSyntaxesOf(parsed);

    // One time for the whole batch: a silent PACS costs it once, not per file.
    const QDeadlineTimer deadline { std::chrono::seconds(answerSeconds) };
    std::unique_ptr<Association> association;
    std::optional<PacsResult> unreachable;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (parsed[size_t(i)]) {
            if (!unreachable && (!association || !association->isOpen())) {
                association = std::make_unique<Association>(address, deadline);
                const PacsResult opened = association->open(syntaxes);
                if (!opened.confirmed)
                    unreachable = opened;
            }
            results[i] = unreachable ? *unreachable : association->store(*parsed[size_t(i)]);
            if (!unreachable && association->fellSilent())
                unreachable = results[i];
        }
        if (itemSent)
            itemSent(i, results.at(i));
    }
    return results;
}

void PacsSender::echoInBackground(const PacsAddress &address, QObject *context,
                                  std::function<void(const PacsResult &)> done)
{
    QtConcurrent::run([address] { return echo(address); })
            .then(context, [done = std::move(done)](const PacsResult &result) { done(result); });
}

void PacsSender::storeInBackground(const PacsAddress &address, const QList<QByteArray> &files,
                                   QObject *context,
                                   std::function<void(const QList<PacsResult> &)> done)
{
    QtConcurrent::run([address, files] { return store(address, files); })
            .then(context, [done = std::move(done)](const QList<PacsResult> &results) {
                done(results);
            });
}
