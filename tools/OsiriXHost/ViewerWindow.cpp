#include "ViewerWindow.h"

#include "BrowserController.h"
#include "DCMView.h"
#include "PluginManager.h"
#include "ViewerController.h"
#include "ViewerImage.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QVBoxLayout>

#include <dcmtk/dcmimage/diregist.h>
#include <dcmtk/dcmimgle/dcmimage.h>

namespace {
// The image as DCMTK renders it with its full value range; null when DCMTK
// cannot render it (compressed pixels, for example).
QImage renderedImage(const QString &path)
{
    DicomImage image(QFile::encodeName(path).constData());
    if (image.getStatus() != EIS_Normal)
        return {};
    if (image.isMonochrome())
        image.setMinMaxWindow();
    const void *pixels = image.getOutputData(8);
    if (!pixels)
        return {};
    const int width = int(image.getWidth());
    const int height = int(image.getHeight());
    return image.isMonochrome() ? QImage(
               static_cast<const uchar *>(pixels), width, height, width, QImage::Format_Grayscale8)
                                      .copy()
                                : QImage(static_cast<const uchar *>(pixels), width, height,
                                    3 * width, QImage::Format_RGB888)
                                      .copy();
}

QString text(const ViewerImage *image, const char *keyPath)
{
    const QVariant value = image->valueForKeyPath(QLatin1String(keyPath));
    if (value.metaType() == QMetaType::fromType<QDateTime>()) {
        const QDateTime dateTime = value.toDateTime();
        return dateTime.time() == QTime(0, 0)
            ? QLocale().toString(dateTime.date(), QLocale::ShortFormat)
            : QLocale().toString(dateTime, QLocale::ShortFormat);
    }
    return value.isValid() ? value.toString() : QStringLiteral("-");
}
} // namespace

ViewerWindow::ViewerWindow(
    ViewerController *viewer, BrowserController *browser, PluginManager *plugins, QWidget *parent)
    : QMainWindow(parent)
    , m_viewer(viewer)
    , m_plugins(plugins)
    , m_image(new QLabel)
    , m_patient(new QLabel)
    , m_imported(new QListWidget)
{
    setWindowTitle(tr("OsiriX"));
    m_image->setAlignment(Qt::AlignCenter);
    m_image->setMinimumSize(256, 256);
    m_patient->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Names from the files and the study are shown as written.
    m_image->setTextFormat(Qt::PlainText);
    m_patient->setTextFormat(Qt::PlainText);

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_patient);
    layout->addWidget(m_image, 1);
    auto *importedInto = new QLabel(tr("Imported into %1:").arg(browser->documentsDirectory()));
    importedInto->setTextFormat(Qt::PlainText);
    layout->addWidget(importedInto);
    layout->addWidget(m_imported);
    setCentralWidget(central);

    createPluginsMenu();
    for (const QString &path : browser->importedFiles())
        onFileImported(path);
    connect(browser, &BrowserController::fileImported, this, &ViewerWindow::onFileImported);
    connect(viewer->imageView(), &DCMView::curImageChanged, this, &ViewerWindow::showCurrentImage);
    showCurrentImage();
}

void ViewerWindow::createPluginsMenu()
{
    QMenu *menu = menuBar()->addMenu(tr("Plugins"));
    for (const auto &plugin : m_plugins->plugins()) {
        PluginManager::Plugin *chosen = plugin.get();
        menu->addAction(plugin->menuTitle, this,
            [this, chosen] { PluginManager::runPlugin(*chosen, m_viewer); });
    }
    menu->setEnabled(!m_plugins->plugins().empty());
}

void ViewerWindow::showCurrentImage()
{
    const ViewerImage *image = m_viewer->currentImage();
    if (!image) {
        m_patient->setText(tr("No image"));
        m_image->clear();
        return;
    }
    m_patient->setText(
        tr("Patient: %1 (ID %2), born %3, sex %4\nStudy of %5")
            .arg(text(image, "series.study.name"), text(image, "series.study.patientID"),
                text(image, "series.study.dateOfBirth"), text(image, "series.study.patientSex"),
                text(image, "series.study.date")));
    const QImage pixels = renderedImage(image->path());
    if (pixels.isNull())
        m_image->setText(tr("(no preview of %1)").arg(QFileInfo(image->path()).fileName()));
    else
        m_image->setPixmap(QPixmap::fromImage(
            pixels.scaled(512, 512, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void ViewerWindow::onFileImported(const QString &path)
{
    m_imported->addItem(QFileInfo(path).fileName());
}
