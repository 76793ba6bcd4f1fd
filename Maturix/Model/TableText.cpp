#include "TableText.h"

#include <QAbstractItemModel>
#include <QSaveFile>

namespace {
QString csvField(QString field)
{
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\n')
        && !field.contains(u'\r'))
        return field;
    field.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

// A tab or a line break inside a field would split it in a spreadsheet.
QString tabField(QString field)
{
    for (QChar &c : field) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return field;
}
} // namespace

QList<QStringList> TableText::lines(const QAbstractItemModel &model, const QList<int> &rows)
{
    const int columns = model.columnCount();
    QList<QStringList> result;
    QStringList header;
    for (int c = 0; c < columns; ++c)
        header.append(model.headerData(c, Qt::Horizontal).toString());
    result.append(header);
    QList<int> chosen = rows;
    if (chosen.isEmpty()) {
        for (int r = 0; r < model.rowCount(); ++r)
            chosen.append(r);
    }
    for (int r : chosen) {
        QStringList line;
        for (int c = 0; c < columns; ++c)
            line.append(model.index(r, c).data().toString());
        result.append(line);
    }
    return result;
}

QString TableText::tabSeparated(const QAbstractItemModel &model, const QList<int> &rows)
{
    QString text;
    for (const QStringList &line : lines(model, rows)) {
        QStringList fields;
        for (const QString &field : line)
            fields.append(tabField(field));
        text += fields.join(u'\t') + u'\n';
    }
    return text;
}

QString TableText::csv(const QAbstractItemModel &model, const QList<int> &rows)
{
    QString text;
    for (const QStringList &line : lines(model, rows)) {
        QStringList fields;
        for (const QString &field : line)
            fields.append(csvField(field));
        text += fields.join(u',') + QStringLiteral("\r\n");
    }
    return text;
}

bool TableText::writeCsv(const QString &path, const QAbstractItemModel &model, QString *error)
{
    QSaveFile file(path);
    const QByteArray bytes = csv(model).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
