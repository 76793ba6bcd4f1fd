#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

// Helpers shared by the test programs.

struct CliResult
{
    int status;
    QByteArray out;
    QByteArray err;
};

#ifdef MATURIX_CLI
// Runs maturix-cli to the end; status -1 when it hangs.
// Another program may run it, taking it among its own arguments.
inline CliResult runCli(const QStringList &arguments,
                        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                        int timeoutMs = 60000, const QString &program = QStringLiteral(MATURIX_CLI))
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs))
        return { -1, {}, {} };
    return { process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError() };
}
#endif

// The shared sample archives, read in place.
inline QString sampleDirectory()
{
    return QStringLiteral(MATURIX_TESTDATA_DIR "/typedstream");
}

inline QString sample(const QString &name)
{
    return sampleDirectory() + u'/' + name;
}

inline QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A sample's bytes; a missing sample ends the test run.
inline QByteArray sampleBytes(const QString &name)
{
    QFile file(sample(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing sample %s", qPrintable(name));
    return file.readAll();
}

inline bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}
