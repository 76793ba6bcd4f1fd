#include "MaturixApplicationController.h"

#include "MaturixDocument.h"
#include "OsirixLinkRequest.h"
#include "PreferenceKeys.h"
#include "UserDefaults.h"

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
