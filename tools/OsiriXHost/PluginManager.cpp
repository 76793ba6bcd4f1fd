#include "PluginManager.h"

#include "OsiriXLogging.h"
#include "PluginFilter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibrary>
#include <QStandardPaths>

namespace {
const char propertyListName[] = "Info.json";
}

QString PluginManager::defaultPluginsDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .absoluteFilePath(QStringLiteral("OsiriX/Plugins"));
}

PluginManager::PluginManager() = default;

// The filters go first; their libraries stay mapped until the process ends.
PluginManager::~PluginManager() = default;

int PluginManager::loadPlugins(const QString &directory)
{
    int loaded = 0;
    const QFileInfoList bundles
        = QDir(directory).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &bundle : bundles) {
        std::unique_ptr<Plugin> plugin = loadBundle(bundle.absoluteFilePath());
        if (!plugin)
            continue;
        // Announced once initialised, so that whoever waits for the line
        // finds the plug-in already listening.
        plugin->filter->initPlugin();
        qCInfo(lcOsiriX, "Loaded plug-in %s %s", qPrintable(plugin->name),
            qPrintable(plugin->version));
        m_plugins.push_back(std::move(plugin));
        ++loaded;
    }
    return loaded;
}

std::unique_ptr<PluginManager::Plugin> PluginManager::loadBundle(const QString &bundlePath)
{
    QFile propertyList(QDir(bundlePath).absoluteFilePath(QLatin1String(propertyListName)));
    if (!propertyList.open(QIODevice::ReadOnly)) {
        qCWarning(lcOsiriX, "Not a plug-in (no %s): %s", propertyListName, qPrintable(bundlePath));
        return nullptr;
    }
    QJsonParseError parseError;
    const QJsonObject info = QJsonDocument::fromJson(propertyList.readAll(), &parseError).object();
    const QString executable = info.value(QLatin1String("CFBundleExecutable")).toString();
    if (parseError.error != QJsonParseError::NoError || executable.isEmpty()) {
        qCWarning(lcOsiriX, "Unreadable property list in %s", qPrintable(bundlePath));
        return nullptr;
    }

    QLibrary library(QDir(bundlePath).absoluteFilePath(executable));
    using VersionFunction = int (*)();
    using CreateFunction = PluginFilter *(*)();
    const auto version
        = reinterpret_cast<VersionFunction>(library.resolve("osirixPluginInterfaceVersion"));
    const auto create
        = reinterpret_cast<CreateFunction>(library.resolve("osirixPluginCreatePrincipalClass"));
    if (!version || !create) {
        qCWarning(lcOsiriX, "Cannot load plug-in %s: %s", qPrintable(bundlePath),
            qPrintable(library.errorString()));
        return nullptr;
    }
    if (version() != PluginFilter::interfaceVersion) {
        qCWarning(lcOsiriX, "Plug-in %s is built for interface %d, not %d", qPrintable(bundlePath),
            version(), PluginFilter::interfaceVersion);
        return nullptr;
    }

    auto plugin = std::make_unique<Plugin>();
    plugin->bundlePath = bundlePath;
    plugin->name = info.value(QLatin1String("CFBundleName"))
                       .toString(QFileInfo(bundlePath).completeBaseName());
    plugin->version = info.value(QLatin1String("CFBundleVersion")).toString();
    plugin->menuTitle
        = info.value(QLatin1String("MenuTitles")).toArray().at(0).toString(plugin->name);
    plugin->filter.reset(create());
    return plugin;
}

PluginManager::Plugin *PluginManager::pluginNamed(const QString &name) const
{
    for (const auto &plugin : m_plugins) {
        if (plugin->name == name || plugin->menuTitle == name)
            return plugin.get();
    }
    return nullptr;
}

long PluginManager::runPlugin(Plugin &plugin, ViewerController *viewer)
{
    plugin.filter->setViewerController(viewer);
    return plugin.filter->filterImage(plugin.menuTitle);
}
