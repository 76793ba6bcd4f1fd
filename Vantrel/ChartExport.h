#pragma once

#include "VantrelExport.h"

#include <QByteArray>
#include <QString>

class QTabWidget;
class QWidget;

// The pieces of a chart export that do not depend on the document: the
// capture as JPEG, the file's name, the folder it goes to and the write.
class VANTREL_EXPORT ChartExport
{
public:
    // The view as drawn at its size in the window, whether or not the window
    // is on screen, encoded as JPEG at the highest quality. Empty when the
    // view has no size.
    static QByteArray jpegData(QWidget *view);

    // The upper-cased identifier name, then " " and the selected tab's label
    // when the tab view has two or more tabs, then ".jpg".
    static QString chartFileName(const QString &preferredFileName, const QTabWidget *tabView);

    // "Export Directory" with "~" expanded, without a trailing "/". When no
    // folder exists there: the Desktop folder, and when that is missing too,
    // the home folder; *homeFallback then tells the caller to say so.
    static QString exportFolder(bool *homeFallback = nullptr);

    // Writes through a temporary file that replaces the target only once
    // complete, so a failure never leaves a partial chart or harms an older
    // one. *error receives the reason of a failure.
    static bool writeAtomically(const QString &path, const QByteArray &data, QString *error);
};
