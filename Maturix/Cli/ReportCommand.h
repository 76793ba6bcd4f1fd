#pragma once

#include "CliCommand.h"

#include <QDate>

#include <optional>

class PatientRecord;

// Prints the report paragraph of one examination of a patient file.
class ReportCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("report"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;

private:
    // The examination on `date`, or the latest dated one (the last listed
    // when none is dated) without a date; none when there is no such one.
    static std::optional<quint64> examinationOn(const PatientRecord &record, const QDate &date);
};
