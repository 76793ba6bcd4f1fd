#pragma once

#include "CliCommand.h"

#include <QImage>
#include <QSize>

class PatientRecord;

// Draws the chart of a patient file into a PNG, JPEG or PDF file, as an
// export draws it: the latest examination, no highlight, on white. Needs a
// QApplication (the chart is a widget); main makes one for this command.
class RenderCommand : public CliCommand
{
public:
    enum class Format { Png, Jpeg, Pdf };

    static constexpr int defaultWidth = 600;
    static constexpr int defaultHeight = 450;
    // Larger sizes are refused as usage errors, before anything is drawn.
    static constexpr int maximumSize = 10000;

    QString name() const override { return QStringLiteral("render"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;

    // The format an output path's ending asks for, or nothing.
    static std::optional<Format> formatForPath(const QString &path);
    // The chart on white, one pixel per point; null with the reason when
    // there is not enough memory.
    static QImage chartImage(const PatientRecord &record, const QSize &size, QString *error);
    // Writes through a temporary file, so that a failure leaves no output;
    // false with the reason.
    static bool renderChart(const PatientRecord &record, const QSize &size, Format format,
                            const QString &path, QString *error);
};
