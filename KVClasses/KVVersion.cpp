#include "KVVersion.h"

#include "Bundle.h"
#include "NotificationCenter.h"
#include "WaitController.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QStandardPaths>

KVVersion *KVVersion::kvVersion()
{
    // Created once, also under concurrent first calls; lives until the end.
    static KVVersion *instance = new KVVersion;
    return instance;
}

KVVersion::KVVersion() = default;
KVVersion::~KVVersion() = default;

QString KVVersion::versionCheckSuccessfulNotification()
{
    return QStringLiteral("VersionCheckSuccessful");
}

QString KVVersion::versionCheckUnsuccessfulNotification()
{
    return QStringLiteral("VersionCheckUnsuccessful");
}

QString KVVersion::applicationName()
{
    return kvVersion()->objectForInfoDictionaryKey(QStringLiteral("CFBundleName")).toString();
}

QVariant KVVersion::objectForInfoDictionaryKey(const QString &key) const
{
    if (!m_infoDictionary.isEmpty())
        return m_infoDictionary.value(key);
    return Bundle::mainBundle().objectForInfoDictionaryKey(key);
}

void KVVersion::setInfoDictionary(const QVariantMap &info)
{
    m_infoDictionary = info;
}

void KVVersion::checkVersion(bool verbose)
{
    m_verbose = verbose;
    NotificationCenter::defaultCenter().post(versionCheckUnsuccessfulNotification());
}
