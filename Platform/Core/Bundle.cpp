#include "Bundle.h"

#include "BundleInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

const Bundle &Bundle::mainBundle()
{
    static const Bundle bundle;
    return bundle;
}

QString Bundle::name() const
{
    return QStringLiteral(MATURIX_BUNDLE_NAME);
}

QString Bundle::shortVersion() const
{
    return QStringLiteral(MATURIX_SHORT_VERSION);
}

QString Bundle::buildVersion() const
{
    return QStringLiteral(MATURIX_BUILD_VERSION);
}

QString Bundle::identifier() const
{
    return QStringLiteral(MATURIX_BUNDLE_IDENTIFIER);
}

QString Bundle::copyright() const
{
    return QString::fromUtf8(MATURIX_COPYRIGHT);
}

QString Bundle::webSite() const
{
    return QStringLiteral(MATURIX_WEB_SITE);
}

QString Bundle::supportEmail() const
{
    return QStringLiteral(MATURIX_SUPPORT_EMAIL);
}

QString Bundle::versionCheckURL() const
{
    return QStringLiteral(MATURIX_VERSION_URL);
}

QString Bundle::viewerDownloadURL() const
{
    return QStringLiteral(MATURIX_VIEWER_DOWNLOAD_URL);
}

QString Bundle::resourcesPath() const
{
    if (QCoreApplication::instance()) {
        const QString installed = QDir(QCoreApplication::applicationDirPath())
                                          .absoluteFilePath(QStringLiteral("../share/maturix"));
        if (QFileInfo(installed).isDir())
            return QDir::cleanPath(installed);
    }
    return QStringLiteral(MATURIX_SOURCE_RESOURCES);
}

QString Bundle::pathForResource(const QString &name) const
{
    return QDir(resourcesPath()).absoluteFilePath(name);
}

QVariant Bundle::objectForInfoDictionaryKey(const QString &key) const
{
    if (key == u"CFBundleName")
        return name();
    if (key == u"CFBundleShortVersionString")
        return shortVersion();
    if (key == u"CFBundleVersion")
        return buildVersion();
    if (key == u"CFBundleIdentifier")
        return identifier();
    if (key == u"NSHumanReadableCopyright")
        return copyright();
    return {};
}
