#include "PluginFilter.h"

PluginFilter::PluginFilter() = default;

PluginFilter::~PluginFilter() = default;

void PluginFilter::initPlugin() { }

long PluginFilter::filterImage(const QString &)
{
    return 0;
}

void PluginFilter::setViewerController(ViewerController *viewerController)
{
    m_viewerController = viewerController;
}
