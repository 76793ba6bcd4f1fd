#pragma once

#include "CliCommand.h"

#include <QDate>
#include <QList>

class PatientRecord;

// Writes the DICOM structured report of each examination of a patient file.
class StructuredReportCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("sr"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;

private:
    // The file names of the reports, in the examinations' order: the
    // patient's file name, then the examination date (or its place in the
    // list when undated), each name once.
    static QStringList fileNames(const PatientRecord &record, const QList<QDate> &examDates);
};
