#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

// "--name value" options, "--flag" switches and positional arguments of one
// subcommand. Unknown or repeated options and missing values are errors.
class CommandLineOptions
{
public:
    CommandLineOptions(QSet<QString> valueOptions, QSet<QString> flags);

    // A short spelling ("-o") of a value option or flag ("output"); the
    // value follows as the next argument.
    void addShortName(const QString &shortName, const QString &name);

    // False with errorString() set when the arguments do not fit.
    bool parse(const QStringList &arguments);
    QString errorString() const { return m_error; }

    bool isSet(const QString &name) const;
    QString value(const QString &name) const { return m_values.value(name); }
    QStringList positional() const { return m_positional; }

private:
    QSet<QString> m_valueOptions;
    QSet<QString> m_flags;
    QMap<QString, QString> m_shortNames;
    QMap<QString, QString> m_values;
    QSet<QString> m_setFlags;
    QStringList m_positional;
    QString m_error;
};
