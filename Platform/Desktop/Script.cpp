#include "Script.h"

#include <QCoreApplication>
#include <QJSEngine>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {
const QString scriptFileName = QStringLiteral("script");

// Interrupts the engine unless disarmed within the time limit.
class Watchdog
{
public:
    Watchdog(QJSEngine &engine, std::chrono::milliseconds limit)
        : m_thread([this, &engine, limit] {
            std::unique_lock lock(m_mutex);
            if (!m_finished.wait_for(lock, limit, [this] { return m_disarmed; }))
                engine.setInterrupted(true);
        })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_disarmed = true;
        }
        m_finished.notify_one();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_disarmed = false;
    std::thread m_thread;
};
} // namespace

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
    QJSValue result;
    {
        const Watchdog watchdog(*m_engine, m_timeLimit);
        result = m_engine->evaluate(m_source, scriptFileName, 1, &stackTrace);
    }
    if (m_engine->isInterrupted()) {
        m_engine->setInterrupted(false);
        if (error) {
            *error = Error();
            error->briefMessage =
                    QCoreApplication::translate("Script",
                                                "The script was stopped after running for %1 s.")
                            .arg(double(m_timeLimit.count()) / 1000.0);
            error->message = QStringLiteral("Interrupted: ") + error->briefMessage;
        }
        return QJSValue(QJSValue::UndefinedValue);
    }
    if (result.isError() || !stackTrace.isEmpty()) {
        if (error)
            *error = errorFrom(result, 0);
        return QJSValue(QJSValue::UndefinedValue);
    }
    return result;
}
