#pragma once

#include "CliCommand.h"

// Sends the chart of a patient file to a PACS as a secondary-capture image,
// drawn as the export draws it. Needs a QApplication (the chart is a widget).
class SendCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("send"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;
};
