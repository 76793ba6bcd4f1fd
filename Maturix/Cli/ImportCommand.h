#pragma once

#include "CliCommand.h"

// Files the patient and study of a DICOM image into the patient's file in
// the database folder, as the window does when it opens the image.
class ImportCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("import"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;
};
