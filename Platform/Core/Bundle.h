#pragma once

#include <QString>
#include <QVariant>

// The application's identity and resources, as configured by the build.
class Bundle
{
public:
    static const Bundle &mainBundle();

    QString name() const;
    QString shortVersion() const;
    QString buildVersion() const;
    QString identifier() const;
    QString copyright() const;
    // Addresses configured by the build.
    QString webSite() const;
    QString supportEmail() const;
    QString versionCheckURL() const;
    QString viewerDownloadURL() const;
    // Folder of installed resources; in a build tree, the sources' folder.
    QString resourcesPath() const;
    QString pathForResource(const QString &name) const;

    // The platform's info keys (CFBundleName, CFBundleShortVersionString,
    // CFBundleVersion, CFBundleIdentifier, NSHumanReadableCopyright).
    QVariant objectForInfoDictionaryKey(const QString &key) const;
};
