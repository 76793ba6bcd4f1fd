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
    // body. Its lines are reported two lines below the source's own.
    QJSValue constructor = m_engine->globalObject().property(QStringLiteral("Function"));
    const QJSValue result = constructor.callAsConstructor({ QJSValue(m_source) });
    if (result.isError()) {
        if (error)
            *error = errorFrom(result, 2);
        m_compiled = false;
        return false;
    }
    m_compiled = true;
    return true;
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
