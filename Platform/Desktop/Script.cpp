#include "Script.h"

#include <QJSEngine>

namespace {
const QString scriptFileName = QStringLiteral("script");
}

Script::Script(const QString &source)
    : m_source(source)
    , m_engine(std::make_unique<QJSEngine>())
{
    m_engine->installExtensions(QJSEngine::ConsoleExtension);
}

Script::~Script() = default;

Script::Error Script::errorFrom(const QJSValue &value, int lineOffset) const
{
    Error error;
    if (value.isError()) {
        error.briefMessage = value.property(QStringLiteral("message")).toString();
        error.message = value.toString();
        const QJSValue line = value.property(QStringLiteral("lineNumber"));
        if (line.isNumber())
            error.line = line.toInt() - lineOffset;
    } else {
        // A thrown value that is not an Error object.
        error.briefMessage = value.toString();
        error.message = QStringLiteral("Uncaught exception: ") + error.briefMessage;
    }
    const QStringList lines = m_source.split(u'\n');
    if (error.line < 1 || error.line > lines.size()) {
        error.line = 0;
        return error;
    }
    qsizetype start = 0;
    for (int i = 0; i < error.line - 1; ++i)
        start += lines.at(i).size() + 1;
    error.rangeStart = start;
    error.rangeLength = lines.at(error.line - 1).size();
    return error;
}

bool Script::compile(Error *error)
{
    // The Function constructor parses the source as a function body without
    // running it; the source stays a string, so nothing in it can escape the
    // body. It does not say where the fault is, so a failed source is parsed
    // again as a program by a throwaway engine for the location: a text that
    // is no valid function body is no valid program either, so this never
    // runs any of it.
    QJSValue constructor = m_engine->globalObject().property(QStringLiteral("Function"));
    const QJSValue result = constructor.callAsConstructor({ QJSValue(m_source) });
    if (!result.isError()) {
        m_compiled = true;
        return true;
    }
    m_compiled = false;
    if (error) {
        QJSEngine locator;
        const QJSValue located = locator.evaluate(m_source, scriptFileName, 1);
        const bool isSyntaxError = located.isError()
                && located.property(QStringLiteral("name")).toString() == u"SyntaxError";
        *error = errorFrom(isSyntaxError ? located : result, 0);
    }
    return false;
}

QJSValue Script::execute(Error *error)
{
    if (!m_compiled && !compile(error))
        return QJSValue(QJSValue::UndefinedValue);
    QStringList stackTrace;
    const QJSValue result = m_engine->evaluate(m_source, scriptFileName, 1, &stackTrace);
    if (result.isError() || !stackTrace.isEmpty()) {
        if (error)
            *error = errorFrom(result, 0);
        return QJSValue(QJSValue::UndefinedValue);
    }
    return result;
}
