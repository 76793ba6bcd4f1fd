#pragma once

#include <QChar>
#include <QList>
#include <QString>

class QAbstractItemModel;

// A table model's shown texts with a header row, in the model's row order:
// tab-separated for pasting into a spreadsheet or a report, or as CSV
// (RFC 4180) for a file.
class TableText
{
public:
    // `rows` are rows of the model; empty means every row. A field that a
    // spreadsheet would run as a formula starts with an apostrophe, as in csv().
    static QString tabSeparated(const QAbstractItemModel &model, const QList<int> &rows = {});
    // Fields with a comma, a quote or a line break are quoted, quotes
    // doubled; a field a spreadsheet would run as a formula starts with an
    // apostrophe; every line ends with CR LF.
    static QString csv(const QAbstractItemModel &model, const QList<int> &rows = {});
    // Writes csv() as UTF-8 through a temporary file renamed into place, so
    // a failure leaves no half file; false with `error` set on failure.
    static bool writeCsv(const QString &path, const QAbstractItemModel &model, QString *error);

private:
    // The header row, then the rows, each field passed through `field`.
    static QString join(const QAbstractItemModel &model, QList<int> rows,
                        QString (*field)(QString), QChar separator, const QString &lineEnd);
};
