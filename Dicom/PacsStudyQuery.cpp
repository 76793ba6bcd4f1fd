#include "PacsStudyQuery.h"

#include "DicomText.h"
#include "PacsAssociation.h"

#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scu.h>

#include <algorithm>

namespace {

QString dicomDate(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("yyyyMMdd")) : QString();
}

QString text(DcmItem &item, const DcmTagKey &tag)
{
    OFString value;
    item.findAndGetOFStringArray(tag, value);
    return QString::fromUtf8(value.c_str()).trimmed();
}

QDate date(DcmItem &item, const DcmTagKey &tag)
{
    return QDate::fromString(text(item, tag).left(8), QStringLiteral("yyyyMMdd"));
}

PacsStudy studyOf(DcmDataset &answer)
{
    // Names and descriptions arrive in the PACS's character set.
    answer.convertToUTF8();
    PacsStudy study;
    study.studyInstanceUID = text(answer, DCM_StudyInstanceUID);
    study.studyDate = date(answer, DCM_StudyDate);
    study.studyDescription = text(answer, DCM_StudyDescription);
    study.accessionNumber = text(answer, DCM_AccessionNumber);
    study.modalities = text(answer, DCM_ModalitiesInStudy).split(u'\\', Qt::SkipEmptyParts);
    for (QString &modality : study.modalities)
        modality = modality.trimmed();
    bool ok = false;
    const int images = text(answer, DCM_NumberOfStudyRelatedInstances).toInt(&ok);
    study.numberOfImages = ok ? images : -1;
    study.patientID = text(answer, DCM_PatientID);
    study.patientName = text(answer, DCM_PatientName);
    study.patientBirthDate = date(answer, DCM_PatientBirthDate);
    study.patientSex = text(answer, DCM_PatientSex);
    return study;
}

// A PACS may ignore the modality key (its matching is optional), so the
// answers are checked again here.
bool hasModality(const PacsStudy &study, const QStringList &modalities)
{
    if (modalities.isEmpty() || study.modalities.isEmpty())
        return true;
    return std::any_of(modalities.cbegin(), modalities.cend(), [&](const QString &modality) {
        return study.modalities.contains(modality, Qt::CaseInsensitive);
    });
}

QString statusText(Uint16 status)
{
    return QStringLiteral("status 0x%1: %2")
            .arg(QStringLiteral("%1").arg(status, 4, 16, QLatin1Char('0')),
                 QString::fromLatin1(DU_cfindStatusString(status)));
}

} // namespace

PacsStudyQuery::Answer PacsStudyQuery::run(const PacsAddress &address) const
{
    DcmDataset keys;
    const bool unicode = DicomText::needsUnicode(patientID + patientName);
    if (unicode)
        keys.putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 192");
    auto put = [&keys](const DcmTagKey &tag, const QString &value) {
        keys.putAndInsertString(tag, value.toUtf8().constData());
    };
    put(DCM_QueryRetrieveLevel, QStringLiteral("STUDY"));
    put(DCM_PatientID, patientID);
    put(DCM_PatientName, patientName);
    put(DCM_PatientBirthDate, {});
    put(DCM_PatientSex, {});
    put(DCM_StudyInstanceUID, {});
    const QString range = fromDate.isValid() || toDate.isValid()
            ? dicomDate(fromDate) + u'-' + dicomDate(toDate)
            : QString();
    put(DCM_StudyDate, range);
    put(DCM_StudyTime, {});
    put(DCM_StudyDescription, {});
    put(DCM_AccessionNumber, {});
    put(DCM_ModalitiesInStudy, modalities.join(u'\\'));
    put(DCM_NumberOfStudyRelatedInstances, {});

    DcmSCU scu;
    PacsAssociation::configure(scu, address);
    OFList<OFString> transferSyntaxes;
    transferSyntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    transferSyntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    scu.addPresentationContext(UID_FINDStudyRootQueryRetrieveInformationModel, transferSyntaxes);
    Answer answer;
    answer.result = PacsAssociation::negotiate(scu, address);
    if (!answer.result.confirmed)
        return answer;
    const T_ASC_PresentationContextID context
            = scu.findPresentationContextID(UID_FINDStudyRootQueryRetrieveInformationModel, "");
    if (context == 0) {
        PacsAssociation::close(scu);
        answer.result = PacsResult::failure(
                QStringLiteral("The PACS %1 does not answer queries for studies.").arg(address.toString()));
        return answer;
    }

    OFList<QRResponse *> responses;
    const OFCondition condition = scu.sendFINDRequest(context, &keys, &responses);
    Uint16 finalStatus = STATUS_Success;
    for (QRResponse *response : responses) {
        if (DICOM_PENDING_STATUS(response->m_status) && response->m_dataset) {
            const PacsStudy study = studyOf(*response->m_dataset);
            if (!study.studyInstanceUID.isEmpty() && hasModality(study, modalities))
                answer.studies.append(study);
        } else {
            finalStatus = response->m_status;
        }
        delete response;
    }
    if (condition.bad()) {
        answer.result = PacsAssociation::lost(scu, address, condition);
        answer.studies.clear();
        return answer;
    }
    PacsAssociation::close(scu);
    if (finalStatus != STATUS_Success) {
        answer.result = PacsResult::failure(QStringLiteral("The PACS %1 did not answer the query (%2).")
                                                    .arg(address.toString(), statusText(finalStatus)));
        answer.studies.clear();
        return answer;
    }
    std::stable_sort(answer.studies.begin(), answer.studies.end(),
                     [](const PacsStudy &a, const PacsStudy &b) { return a.studyDate > b.studyDate; });
    return answer;
}

void PacsStudyQuery::runInBackground(const PacsAddress &address, QObject *context,
                                     std::function<void(const Answer &)> done) const
{
    QtConcurrent::run([query = *this, address] { return query.run(address); })
            .then(context, [done = std::move(done)](const Answer &answer) { done(answer); });
}
