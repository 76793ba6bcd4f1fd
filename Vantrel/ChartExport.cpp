#include "ChartExport.h"

#include "AtomicFile.h"
#include "PreferenceKeys.h"
#include "UserDefaults.h"
#include "VantrelAppController.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLayout>
#include <QRegularExpression>
#include <QTabWidget>
#include <QWidget>

QByteArray ChartExport::jpegData(QWidget *view)
{
    if (!view)
        return {};
    // A window that was never shown (batch export) still needs its layout
    // applied, so that the view has the size it would have on screen.
    QWidget *root = view->window();
    if (!root->isVisible()) {
        root->ensurePolished();
        if (QLayout *layout = root->layout())
            layout->activate();
    }
    if (view->size().isEmpty())
        return {};
    QImage image(view->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    view->render(&image);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPEG", 100))
        return {};
    return data;
}

QString ChartExport::chartFileName(const QString &preferredFileName, const QTabWidget *tabView)
{
    QString name = preferredFileName.toUpper();
    if (tabView && tabView->count() >= 2) {
        QString label = tabView->tabText(tabView->currentIndex());
        // The label as shown, without its mnemonic marker.
        label.remove(QRegularExpression(QStringLiteral("&(?!&)")));
        name += u' ' + label;
    }
    return name + QStringLiteral(".jpg");
}

QString ChartExport::exportFolder(bool *homeFallback)
{
    if (homeFallback)
        *homeFallback = false;
    const QString configured = VantrelAppController::expandTilde(
            UserDefaults::standardUserDefaults().stringForKey(PreferenceKeys::ExportDirectory));
    if (!configured.isEmpty() && QFileInfo(configured).isDir())
        return QDir::cleanPath(configured);
    const QString desktop = QDir::homePath() + QStringLiteral("/Desktop");
    if (QFileInfo(desktop).isDir())
        return desktop;
    if (homeFallback)
        *homeFallback = true;
    return QDir::cleanPath(QDir::homePath());
}

bool ChartExport::writeAtomically(const QString &path, const QByteArray &data, QString *error)
{
    return AtomicFile::write(path, data, error);
}
