#pragma once

#include <QString>

#include <memory>
#include <vector>

class PluginFilter;
class ViewerController;

// The plug-ins of the viewer. Each is a folder of its own (a bundle) holding
// its property list "Info.json" (CFBundleName, CFBundleVersion,
// CFBundleExecutable, MenuTitles) and its shared library, which names its
// principal class with OSIRIX_PLUGIN_PRINCIPAL_CLASS. Plug-ins stay loaded
// for the life of the viewer.
class PluginManager
{
public:
    struct Plugin
    {
        QString bundlePath;
        QString name;
        QString version;
        QString menuTitle;
        std::unique_ptr<PluginFilter> filter;
    };

    // The XDG data folder's "OsiriX/Plugins" (~/.local/share/OsiriX/Plugins).
    static QString defaultPluginsDirectory();

    PluginManager();
    ~PluginManager();

    // Loads every bundle in the folder and runs its initPlugin; a bundle that
    // does not load is logged and left out. Answers how many loaded.
    int loadPlugins(const QString &directory);
    const std::vector<std::unique_ptr<Plugin>> &plugins() const { return m_plugins; }
    // By bundle name or menu title; null if none.
    Plugin *pluginNamed(const QString &name) const;
    // Chooses the plug-in's command on the viewer; answers filterImage's result.
    static long runPlugin(Plugin &plugin, ViewerController *viewer);

private:
    std::unique_ptr<Plugin> loadBundle(const QString &bundlePath);

    std::vector<std::unique_ptr<Plugin>> m_plugins;
};
