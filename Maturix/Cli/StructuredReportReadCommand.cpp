#include "StructuredReportReadCommand.h"

#include "CommandLineOptions.h"
#include "PatientFileIO.h"
#include "StructuredReportReader.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

QString StructuredReportReadCommand::summary() const
{
    return QStringLiteral("print the values of a structured report as JSON");
}

QString StructuredReportReadCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli sr-read SR.dcm\n"
            "\n"
            "Prints the values of a DICOM structured report that Maturix wrote (maturix-cli\n"
            "sr, or an export) as one JSON object, with the keys of assess --json where\n"
            "they exist: examDate (YYYY-MM-DD), standard (the atlas standard matched),\n"
            "maturix (bone age), chronologicalAge, meanMaturix, standardDeviation, sdScore,\n"
            "height, percentageHeightAchieved and predictedAdultHeight; ages in years,\n"
            "heights in cm. What the report does not hold is left out.\n"
            "\n"
            "Exit status 1 when the file cannot be read or is not such a report.\n");
}

int StructuredReportReadCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    CommandLineOptions options({}, {});
    if (const auto status = parseFileArguments(arguments, 1, {}, &options, out, err, {}, QStringLiteral("SR.dcm")))
        return *status;
    const QString in = options.positional().first();
    QByteArray data;
    QString error;
    if (!PatientFileIO::readFile(in, &data, &error))
        return failFile(err, in, error);
    const std::optional<BoneAgeResult> result = StructuredReportReader::read(data, &error);
    if (!result)
        return failFile(err, in, error);

    QJsonObject object;
    if (result->examDate.isValid())
        object.insert(QStringLiteral("examDate"), result->examDate.toString(Qt::ISODate));
    if (!result->standard.isEmpty())
        object.insert(QStringLiteral("standard"), result->standard);
    const auto insert = [&object](const char *key, const std::optional<double> &value) {
        if (value)
            object.insert(QString::fromLatin1(key), *value);
    };
    insert("maturix", result->boneAge);
    insert("chronologicalAge", result->chronologicalAge);
    insert("meanMaturix", result->meanBoneAge);
    insert("standardDeviation", result->standardDeviation);
    insert("sdScore", result->sdScore);
    insert("height", result->height);
    insert("percentageHeightAchieved", result->percentageOfAdultHeight);
    insert("predictedAdultHeight", result->predictedAdultHeight);
    out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
    return Success;
}
