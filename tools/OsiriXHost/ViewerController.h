#pragma once

#include <QList>
#include <QObject>

#include <memory>
#include <vector>

class DCMView;
class ViewerImage;

// One viewer window's images, in display order, and its image view.
class ViewerController : public QObject
{
    Q_OBJECT

public:
    explicit ViewerController(
        std::vector<std::unique_ptr<ViewerImage>> images, QObject *parent = nullptr);
    ~ViewerController() override;

    DCMView *imageView() const { return m_imageView; }
    QList<ViewerImage *> fileList() const;
    // The image on show; null for a viewer without images.
    ViewerImage *currentImage() const;

private:
    std::vector<std::unique_ptr<ViewerImage>> m_images;
    DCMView *m_imageView;
};
