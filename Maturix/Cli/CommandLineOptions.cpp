#include "CommandLineOptions.h"

CommandLineOptions::CommandLineOptions(QSet<QString> valueOptions, QSet<QString> flags)
    : m_valueOptions(std::move(valueOptions)), m_flags(std::move(flags))
{
}

void CommandLineOptions::addShortName(const QString &shortName, const QString &name)
{
    m_shortNames.insert(shortName, name);
}

bool CommandLineOptions::parse(const QStringList &arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString argument = m_shortNames.contains(arguments.at(i))
                ? QStringLiteral("--") + m_shortNames.value(arguments.at(i))
                : arguments.at(i);
        if (!argument.startsWith(u"--") || argument == u"--") {
            m_positional.append(argument);
            continue;
        }
        QString name = argument.mid(2);
        QString inlineValue;
        bool hasInlineValue = false;
        if (const qsizetype equals = name.indexOf(u'='); equals >= 0) {
            inlineValue = name.mid(equals + 1);
            name.truncate(equals);
            hasInlineValue = true;
        }
        if (m_flags.contains(name) && !hasInlineValue) {
            m_setFlags.insert(name);
            continue;
        }
        if (!m_valueOptions.contains(name)) {
            m_error = QStringLiteral("unknown option --%1").arg(name);
            return false;
        }
        if (m_values.contains(name)) {
            m_error = QStringLiteral("option --%1 is given more than once").arg(name);
            return false;
        }
        if (hasInlineValue) {
            m_values.insert(name, inlineValue);
        } else if (i + 1 < arguments.size()) {
            m_values.insert(name, arguments.at(++i));
        } else {
            m_error = QStringLiteral("option --%1 needs a value").arg(name);
            return false;
        }
    }
    return true;
}

bool CommandLineOptions::isSet(const QString &name) const
{
    return m_values.contains(name) || m_setFlags.contains(name);
}
