#include "CommandLineTool.h"

#include "AssessCommand.h"
#include "ConvertCommand.h"
#include "DumpCommand.h"
#include "ImageCommand.h"
#include "ImportCommand.h"
#include "FetchCommand.h"
#include "FindCommand.h"
#include "RenderCommand.h"
#include "ReportCommand.h"
#include "SendCommand.h"
#include "ShowCommand.h"
#include "StructuredReportCommand.h"
#include "StructuredReportReadCommand.h"

#include <QTextStream>

CommandLineTool::CommandLineTool()
{
    m_commands.push_back(std::make_unique<AssessCommand>());
    m_commands.push_back(std::make_unique<ShowCommand>());
    m_commands.push_back(std::make_unique<ReportCommand>());
    m_commands.push_back(std::make_unique<StructuredReportCommand>());
    m_commands.push_back(std::make_unique<StructuredReportReadCommand>());
    m_commands.push_back(std::make_unique<ConvertCommand>());
    m_commands.push_back(std::make_unique<DumpCommand>());
    m_commands.push_back(std::make_unique<RenderCommand>());
    m_commands.push_back(std::make_unique<SendCommand>());
    m_commands.push_back(std::make_unique<ImportCommand>());
    m_commands.push_back(std::make_unique<ImageCommand>());
    m_commands.push_back(std::make_unique<FindCommand>());
    m_commands.push_back(std::make_unique<FetchCommand>());
}

CommandLineTool::~CommandLineTool() = default;

QString CommandLineTool::help() const
{
    QString text = QStringLiteral("Usage: maturix-cli COMMAND [OPTIONS]\n\n"
                                  "Bone-age assessment after Greulich and Pyle, without a window.\n\n"
                                  "Commands:\n");
    for (const auto &command : m_commands)
        text += QStringLiteral("  %1  %2\n").arg(command->name(), -8).arg(command->summary());
    text += QStringLiteral("\nmaturix-cli COMMAND --help explains a command's options.\n");
    return text;
}

int CommandLineTool::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.isEmpty()) {
        err << "maturix-cli: missing command (see maturix-cli --help)\n";
        return CliCommand::UsageError;
    }
    const QString &first = arguments.first();
    if (first == u"--help" || first == u"-h" || first == u"help") {
        out << help();
        return CliCommand::Success;
    }
    for (const auto &command : m_commands) {
        if (command->name() == first)
            return command->run(arguments.mid(1), out, err);
    }
    err << "maturix-cli: unknown command '" << first << "' (see maturix-cli --help)\n";
    return CliCommand::UsageError;
}
