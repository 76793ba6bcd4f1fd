#include "MaturixApplicationController.h"

#include "Logging.h"
#include "MaturixDocument.h"
#include "PreferenceKeys.h"
#include "UserDefaults.h"

namespace {
const QString genderKey = QStringLiteral("Gender");
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
