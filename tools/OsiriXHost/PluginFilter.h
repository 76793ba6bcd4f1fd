#pragma once

#include <QObject>
#include <QString>

class ViewerController;

// Base class of the viewer's plug-ins. The viewer creates a plug-in's
// principal class once, calls initPlugin, and on each choice of the plug-in's
// menu command sets the viewer it was chosen on and calls filterImage.
class PluginFilter : public QObject
{
    Q_OBJECT

public:
    // Raised whenever the interface below changes; the viewer loads only
    // plug-ins built against the same version.
    static constexpr int interfaceVersion = 1;

    PluginFilter();
    ~PluginFilter() override;

    virtual void initPlugin();
    // 0 means success.
    virtual long filterImage(const QString &menuName);

    ViewerController *viewerController() const { return m_viewerController; }
    void setViewerController(ViewerController *viewerController);

private:
    ViewerController *m_viewerController = nullptr;
};

// A plug-in's shared library names its principal class with this macro.
#define OSIRIX_PLUGIN_PRINCIPAL_CLASS(ClassName)                                                   \
    extern "C" Q_DECL_EXPORT int osirixPluginInterfaceVersion()                                    \
    {                                                                                              \
        return PluginFilter::interfaceVersion;                                                     \
    }                                                                                              \
    extern "C" Q_DECL_EXPORT PluginFilter *osirixPluginCreatePrincipalClass()                      \
    {                                                                                              \
        return new ClassName;                                                                      \
    }
