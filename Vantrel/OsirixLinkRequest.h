#pragma once

#include "VantrelExport.h"

#include "AbsoluteDate.h"

#include <QString>
#include <QVariantMap>

#include <optional>

// A link request from the viewer's plug-in, read from its message. The
// message comes from another process, so nothing in it is taken on trust:
// a request that could put a wrong or meaningless value into a patient is
// refused as a whole.
class VANTREL_EXPORT OsirixLinkRequest
{
public:
    // The request, or nothing with the reason in fault.
    static std::optional<OsirixLinkRequest> fromUserInfo(const QVariantMap &userInfo,
                                                         QString *fault);

    // The patient identifier with every "/" replaced by "-": the name of the
    // patient's file.
    QString identifier;
    // Nothing when the message has no "Name".
    std::optional<QString> name;
    std::optional<AbsoluteDate> birthDate;
    AbsoluteDate studyDate;
    // Empty when the message has none.
    QString studyID;
    // 1 male, 2 female, 0 when the message does not say.
    qint64 gender = 0;
    // The Patient ID exactly as the viewer gave it ("AB/12"), for the chart
    // that goes back.
    QString patientID;
    // The viewer's study, when it names one; empty otherwise.
    QString studyInstanceUID;
    QString accessionNumber;
    QString dicomStudyID;

    // What the examination keeps for its chart: the Patient ID as given and,
    // when the viewer named one, the study the chart returns into.
    QVariantMap sourceStudy() const;
};
