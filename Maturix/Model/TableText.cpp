#include "TableText.h"

#include "AtomicFile.h"

#include <QAbstractItemModel>

namespace {
// A spreadsheet opening the file would run a field that starts like a
// formula, and names and identifiers may come from other systems' files.
// Such a field is kept as text by a leading apostrophe; the table's own
// values ("-", "-0.5", "-0y 2m", "78.4%") contain nothing to run and stay
// as they are.
bool readsAsFormula(const QString &field)
{
    if (field.isEmpty())
        return false;
    const QChar first = field.front();
    if (first == u'=' || first == u'@' || first == u'\t' || first == u'\r')
        return true;
    if (first != u'-' && first != u'+')
        return false;
    for (const QChar c : QStringView(field).mid(1)) {
        if (!c.isDigit() && !QStringView(u" .,ym%()").contains(c))
            return true;
    }
    return false;
}

QString guarded(QString field)
{
    if (readsAsFormula(field))
        field.prepend(u'\'');
    return field;
}

QString csvField(QString field)
{
    field = guarded(field);
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\n')
        && !field.contains(u'\r'))
        return field;
    field.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

// A tab or a line break inside a field would split it in a spreadsheet, and
// pasted text runs formulas as a file does.
QString tabField(QString field)
{
    field = guarded(field);
    for (QChar &c : field) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return field;
}
} // namespace

QString TableText::join(const QAbstractItemModel &model, QList<int> rows,
                        QString (*field)(QString), QChar separator, const QString &lineEnd)
{
    if (rows.isEmpty()) {
        for (int r = 0; r < model.rowCount(); ++r)
            rows.append(r);
    }
    const int columns = model.columnCount();
    QString text;
    for (int r = -1; r < rows.size(); ++r) {
        QStringList fields;
        for (int c = 0; c < columns; ++c) {
            fields.append(field(r < 0 ? model.headerData(c, Qt::Horizontal).toString()
                                      : model.index(rows.at(r), c).data().toString()));
        }
        text += fields.join(separator) + lineEnd;
    }
    return text;
}

QString TableText::tabSeparated(const QAbstractItemModel &model, const QList<int> &rows)
{
    return join(model, rows, tabField, u'\t', QStringLiteral("\n"));
}

QString TableText::csv(const QAbstractItemModel &model, const QList<int> &rows)
{
    return join(model, rows, csvField, u',', QStringLiteral("\r\n"));
}

bool TableText::writeCsv(const QString &path, const QAbstractItemModel &model, QString *error)
{
    return AtomicFile::write(path, csv(model).toUtf8(), error);
}
