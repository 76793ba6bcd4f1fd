#include "PacsAssociation.h"

#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/oflog/oflog.h>

#include <mutex>

namespace {

// Seconds: to connect, to negotiate, and to wait for each answer.
constexpr Sint32 connectionTimeout = 10;
constexpr Uint32 associationTimeout = 30;
constexpr Uint32 answerTimeout = 60;

void quietenToolkit()
{
    // Every failure reaches the user as a reason of ours; the toolkit's own
    // log lines would only repeat it on stderr.
    static std::once_flag once;
    std::call_once(once, [] {
        OFLog::getLogger("dcmtk.dcmnet").setLogLevel(OFLogger::OFF_LOG_LEVEL);
    });
}

} // namespace

void PacsAssociation::configure(DcmSCU &scu, const PacsAddress &address)
{
    quietenToolkit();
    scu.setAETitle(address.callingAETitle.toStdString().c_str());
    scu.setPeerAETitle(address.calledAETitle.toStdString().c_str());
    scu.setPeerHostName(address.host.toStdString().c_str());
    scu.setPeerPort(address.port);
    scu.setConnectionTimeout(connectionTimeout);
    scu.setACSETimeout(associationTimeout);
    scu.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    scu.setDIMSETimeout(answerTimeout);
}

PacsResult PacsAssociation::negotiate(DcmSCU &scu, const PacsAddress &address)
{
    const QString invalid = address.validationError();
    if (!invalid.isEmpty())
        return PacsResult::failure(invalid);
    OFCondition condition = scu.initNetwork();
    if (condition.good())
        condition = scu.negotiateAssociation();
    if (condition.good())
        return PacsResult::success();
    if (condition == DUL_ASSOCIATIONREJECTED)
        return PacsResult::failure(
                QStringLiteral("The PACS %1 refused the association: check its AE title "
                               "\"%2\" and that it accepts the calling AE title \"%3\".")
                        .arg(address.toString(), address.calledAETitle, address.callingAETitle));
    if (condition == NET_EC_NoAcceptablePresentationContexts)
        return PacsResult::failure(
                QStringLiteral("The PACS %1 does not offer this service.").arg(address.toString()));
    return PacsResult::failure(QStringLiteral("The PACS %1 cannot be reached: %2")
                                       .arg(address.toString(), QString::fromLatin1(condition.text())));
}

PacsResult PacsAssociation::lost(DcmSCU &scu, const PacsAddress &address,
                                 const OFCondition &condition)
{
    scu.abortAssociation();
    return PacsResult::failure(QStringLiteral("The connection to the PACS %1 was lost: %2")
                                       .arg(address.toString(), QString::fromLatin1(condition.text())));
}

void PacsAssociation::close(DcmSCU &scu)
{
    if (scu.isConnected())
        scu.releaseAssociation();
}
