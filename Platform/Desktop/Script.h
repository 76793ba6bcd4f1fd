#pragma once

#include <QJSValue>
#include <QString>

#include <chrono>
#include <memory>

class QJSEngine;

// A script in the application's automation language, JavaScript, run by
// QJSEngine: made from source text, compiled (checked without running),
// executed. Errors carry the line, the character range of that line in the
// source where it is known, a brief message and the full message.
//
// A run that outlasts the time limit is interrupted from a watchdog thread
// (the engine blocks the thread that runs it) and fails with an error, so a
// script that never ends cannot hang its caller.
class Script
{
public:
    struct Error
    {
        int line = 0; // 1-based; 0 when unknown
        qsizetype rangeStart = -1; // offset in the source; -1 when unknown
        qsizetype rangeLength = 0;
        QString briefMessage; // "Unexpected token `}'"
        QString message; // "SyntaxError: Unexpected token `}'"
    };

    explicit Script(const QString &source);
    ~Script();
    Script(const Script &) = delete;
    Script &operator=(const Script &) = delete;

    QString source() const { return m_source; }
    // The source as shown after a successful compile; JavaScript has no
    // canonical layout, so it is the text as written.
    QString formattedSource() const { return m_source; }

    // Checks the syntax; nothing of the script runs.
    bool compile(Error *error = nullptr);
    bool isCompiled() const { return m_compiled; }
    // Compiles if needed, then runs the script; the result is its value.
    QJSValue execute(Error *error = nullptr);

    static constexpr std::chrono::milliseconds defaultTimeLimit { 5000 };
    std::chrono::milliseconds timeLimit() const { return m_timeLimit; }
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

private:
    Error errorFrom(const QJSValue &value, int lineOffset) const;

    QString m_source;
    std::unique_ptr<QJSEngine> m_engine;
    bool m_compiled = false;
    std::chrono::milliseconds m_timeLimit = defaultTimeLimit;
};
