#include "ViewerController.h"

#include "DCMView.h"
#include "ViewerImage.h"

ViewerController::ViewerController(
    std::vector<std::unique_ptr<ViewerImage>> images, QObject *parent)
    : QObject(parent)
    , m_images(std::move(images))
    , m_imageView(new DCMView(this))
{
}

ViewerController::~ViewerController() = default;

QList<ViewerImage *> ViewerController::fileList() const
{
    QList<ViewerImage *> list;
    for (const auto &image : m_images)
        list.append(image.get());
    return list;
}

ViewerImage *ViewerController::currentImage() const
{
    const qint16 index = m_imageView->curImage();
    return index >= 0 && size_t(index) < m_images.size() ? m_images[size_t(index)].get() : nullptr;
}
