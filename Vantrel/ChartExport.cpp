#include "ChartExport.h"

#include "AtomicFile.h"
#include "PreferenceKeys.h"
#include "UserDefaults.h"
#include "VantrelAppController.h"
#include "View.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QPainter>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>

namespace {
// A window that was never shown (batch export) has its geometry pending.
// Drawing a widget lays its window out as showing it would (a tab view
// places its pages only then), so one pixel of the page is drawn and
// thrown away: afterwards each view has the size it would have on screen.
void applyPendingGeometry(QWidget *page)
{
    QImage scratch(1, 1, QImage::Format_RGB32);
    page->render(&scratch, QPoint(), QRegion(0, 0, 1, 1));
}
} // namespace

QImage ChartExport::pageImage(QWidget *page)
{
    if (!page)
        return {};
    if (!page->window()->isVisible())
        applyPendingGeometry(page);
    View *drawing = qobject_cast<View *>(page);
    if (!drawing)
        drawing = page->findChild<View *>();
    if (drawing)
        return viewImage(drawing);
    if (const auto *table = page->findChild<QTableView *>())
        return tableImage(table);
    return {};
}

QImage ChartExport::viewImage(View *view)
{
    if (!view || view->size().isEmpty())
        return {};
    QImage image(view->size(), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    // The drawing paints no background of its own.
    image.fill(Qt::white);
    QPainter painter(&image);
    view->renderInto(painter, QRectF(QPointF(0.0, 0.0), QSizeF(view->size())));
    return image;
}

QImage ChartExport::tableImage(const QTableView *table)
{
    // A twin of the table, never shown, as large as its contents: the
    // window's table keeps its scroll position, selection and size.
    QTableView twin;
    // A header of the window's kind, when it can be made, draws the titles
    // as the window does.
    const QHeaderView *columns = table->horizontalHeader();
    QObject *header = columns->metaObject()->newInstance(Q_ARG(Qt::Orientation, Qt::Horizontal),
                                                         Q_ARG(QWidget *, &twin));
    if (auto *ofKind = qobject_cast<QHeaderView *>(header))
        twin.setHorizontalHeader(ofKind);
    else
        delete header;
    twin.setModel(table->model());
    twin.setFont(table->font());
    twin.setPalette(table->palette());
    twin.setFrameShape(QFrame::NoFrame);
    twin.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    twin.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    twin.setAlternatingRowColors(table->alternatingRowColors());
    twin.setWordWrap(table->wordWrap());
    twin.setShowGrid(table->showGrid());
    twin.setFocusPolicy(Qt::NoFocus);
    const QHeaderView *rows = table->verticalHeader();
    twin.horizontalHeader()->setVisible(!columns->isHidden());
    twin.verticalHeader()->setVisible(!rows->isHidden());
    QSize size(rows->isHidden() ? 0 : rows->width(), columns->isHidden() ? 0 : columns->height());
    for (int c = 0; c < columns->count(); ++c) {
        twin.setColumnHidden(c, table->isColumnHidden(c));
        twin.setColumnWidth(c, table->columnWidth(c));
        if (!table->isColumnHidden(c))
            size.rwidth() += table->columnWidth(c);
    }
    for (int r = 0; r < rows->count(); ++r) {
        twin.setRowHeight(r, table->rowHeight(r));
        if (!table->isRowHidden(r))
            size.rheight() += table->rowHeight(r);
    }
    if (size.isEmpty())
        return {};
    twin.resize(size);
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    twin.render(&image);
    return image;
}

QByteArray ChartExport::jpegData(const QImage &image)
{
    if (image.isNull())
        return {};
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

QStringList ChartExport::reportPaths(const QString &chartPath, const QList<QDate> &examDates)
{
    const QFileInfo chart(chartPath);
    const QString stem = chart.path() + u'/' + chart.completeBaseName() + QStringLiteral(" SR ");
    QStringList paths;
    for (qsizetype i = 0; i < examDates.size(); ++i) {
        const QDate date = examDates.at(i);
        const bool byDate = date.isValid() && examDates.count(date) == 1;
        paths.append(stem + (byDate ? date.toString(Qt::ISODate) : QString::number(i + 1))
                     + QStringLiteral(".dcm"));
    }
    return paths;
}

QString ChartExport::exportFolder(bool *homeFallback)
{
    if (homeFallback)
        *homeFallback = false;
    const QString configured = VantrelAppController::expandTilde(
            UserDefaults::standardUserDefaults().stringForKey(PreferenceKeys::ExportDirectory));
    // A folder that is gone (a new disk, a cleaned-up share) is made again,
    // so that charts land where the user looks for them.
    if (!configured.isEmpty() && (QFileInfo(configured).isDir() || QDir().mkpath(configured)))
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
