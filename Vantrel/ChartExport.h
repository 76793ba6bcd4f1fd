#pragma once

#include "VantrelExport.h"

#include <QByteArray>
#include <QDate>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

class QTabWidget;
class QTableView;
class QWidget;
class View;

// The pieces of a chart export that do not depend on the document: the
// picture and its JPEG, the file's name, the folder it goes to and the write.
class VANTREL_EXPORT ChartExport
{
public:
    // What a tab page shows, as it goes into reports and archives: its
    // drawing (the chart) alone, or else its table whole, without tab
    // strip, frame, buttons or scroll bars. Null when the page shows
    // neither or has no size.
    static QImage pageImage(QWidget *page);
    // A drawing at its size on white, one pixel per point: the picture the
    // window's export, the command line's render and the PACS get. Null
    // when there is not enough memory.
    static QImage viewImage(View *view);
    // Every row and every shown column of the table, at the widths the
    // window gives them, with its header row and nothing selected.
    static QImage tableImage(const QTableView *table);
    // The image at the highest JPEG quality; empty when it cannot be encoded.
    static QByteArray jpegData(const QImage &image);

    // The upper-cased identifier name, then " " and the selected tab's label
    // when the tab view has two or more tabs, then ".jpg".
    static QString chartFileName(const QString &preferredFileName, const QTabWidget *tabView);
    // Beside the chart file, one structured report per examination: the
    // chart's name without its extension, then " SR " and the examination's
    // date (YYYY-MM-DD), then ".dcm". An examination without a date, or
    // sharing its date with another, is named by its number instead (from 1).
    static QStringList reportPaths(const QString &chartPath, const QList<QDate> &examDates);

    // "Export Directory" with "~" expanded, without a trailing "/"; created
    // when missing. When it cannot be made there: the Desktop folder, and
    // when that is missing too, the home folder; *homeFallback then tells
    // the caller to say so.
    static QString exportFolder(bool *homeFallback = nullptr);

    // Writes through a temporary file that replaces the target only once
    // complete, so a failure never leaves a partial chart or harms an older
    // one. *error receives the reason of a failure.
    static bool writeAtomically(const QString &path, const QByteArray &data, QString *error);
};
