#pragma once

#include "CliCommand.h"

// Writes the radiograph of a DICOM image as an 8-bit grey PNG: as the
// Radiograph tab first shows it, or through a window of the user's.
class ImageCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("image"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;
};
