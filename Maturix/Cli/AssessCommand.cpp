#include "AssessCommand.h"

#include "AssessmentReport.h"
#include "CliDates.h"
#include "CommandLineOptions.h"
#include "EntryCheck.h"
#include "Gender.h"
#include "MaturixAssessment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cmath>

QString AssessCommand::summary() const
{
    return QStringLiteral("compute the assessment of one examination");
}

QString AssessCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli assess --sex male|female|unspecified --birth YYYY-MM-DD\n"
            "                          --exam YYYY-MM-DD --standard N [--height CM] [--json]\n"
            "       maturix-cli assess --list-standards --sex male|female [--json]\n"
            "\n"
            "Computes, for one examination, the chronological age, the bone age with its\n"
            "SD score, the mean bone age and SD of healthy children of that age and sex,\n"
            "the percentage of adult height reached and the predicted adult height.\n"
            "An examination dated before the birth date, or a birth date in the future,\n"
            "is computed all the same, with a warning on standard error.\n"
            "\n"
            "  --sex        the patient's sex\n"
            "  --birth      birth date (midnight, local time zone)\n"
            "  --exam       examination date (midnight, local time zone)\n"
            "  --standard   index of the matched Greulich and Pyle standard in the list of\n"
            "               that sex; 0 means not assessed (the only index without a sex)\n"
            "  --height     standing height in centimetres, 30 to 250; 0 or absent: not\n"
            "               measured\n"
            "  --json       print one JSON object instead of readable text\n"
            "  --list-standards\n"
            "               list the standards of the sex: index and bone age\n");
}

int AssessCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    CommandLineOptions options({ QStringLiteral("sex"), QStringLiteral("birth"),
                                 QStringLiteral("exam"), QStringLiteral("standard"),
                                 QStringLiteral("height") },
                               { QStringLiteral("json"), QStringLiteral("help"),
                                 QStringLiteral("list-standards") });
    if (!options.parse(arguments))
        return fail(err, UsageError, options.errorString());
    if (options.isSet(QStringLiteral("help"))) {
        out << help();
        return Success;
    }
    if (!options.positional().isEmpty())
        return fail(err, UsageError,
                    QStringLiteral("unexpected argument '%1'").arg(options.positional().first()));
    if (options.isSet(QStringLiteral("list-standards")))
        return listStandards(options, out, err);
    for (const char *required : { "sex", "birth", "exam", "standard" }) {
        if (!options.isSet(QString::fromLatin1(required)))
            return fail(err, UsageError, QStringLiteral("missing option --%1").arg(QLatin1String(required)));
    }

    const QString sexText = options.value(QStringLiteral("sex"));
    const std::optional<qint64> gender = genderOf(sexText);
    if (!gender)
        return fail(err, UsageError,
                    QStringLiteral("unknown sex '%1' (male, female or unspecified)").arg(sexText));

    const QDate birth = parseCalendarDate(options.value(QStringLiteral("birth")));
    if (!birth.isValid())
        return fail(err, UsageError,
                    QStringLiteral("invalid birth date '%1' (YYYY-MM-DD)")
                            .arg(options.value(QStringLiteral("birth"))));
    const QDate examDate = parseCalendarDate(options.value(QStringLiteral("exam")));
    if (!examDate.isValid())
        return fail(err, UsageError,
                    QStringLiteral("invalid examination date '%1' (YYYY-MM-DD)")
                            .arg(options.value(QStringLiteral("exam"))));

    MaturixAssessment assessment;
    const qsizetype standardCount = assessment.standardTitlesForGender(*gender).size();
    bool ok = false;
    const QString standardText = options.value(QStringLiteral("standard"));
    const qlonglong standard = standardText.toLongLong(&ok);
    if (!ok || standard < 0 || standard >= standardCount)
        return fail(err, UsageError,
                    QStringLiteral("standard '%1' is not an index of the %2 list (0 to %3)")
                            .arg(standardText, sexText, QString::number(standardCount - 1)));

    double height = 0.0;
    if (options.isSet(QStringLiteral("height"))) {
        const QString heightText = options.value(QStringLiteral("height"));
        height = heightText.toDouble(&ok);
        if (!ok || !std::isfinite(height) || height < 0.0)
            return fail(err, UsageError,
                        QStringLiteral("height '%1' is not a non-negative number of centimetres")
                                .arg(heightText));
        if (const QString problem = EntryCheck::heightProblem(height); !problem.isEmpty())
            return fail(err, UsageError, QStringLiteral("height '%1': %2").arg(heightText, problem));
    }

    PatientRecord record;
    record.setGender(*gender);
    record.setBirthDate(AbsoluteDate::fromLocalDate(birth));
    TRRecord &exam = *record.trRecordsArray().front();
    exam.setExamDate(AbsoluteDate::fromLocalDate(examDate));
    exam.setMaturixIndex(standard);
    exam.setHeight(height);
    assessment.setPatientRecord(&record);

    // Computed as the window computes it, but not without a word.
    for (const QString &warning : { EntryCheck::birthDateWarning(record.birthDate()),
                                    EntryCheck::examDateWarning(record.birthDate(), exam.examDate()) }) {
        if (!warning.isEmpty())
            err << "maturix-cli " << name() << ": warning: " << warning << '\n';
    }

    const AssessmentReport report(assessment, 0);
    if (options.isSet(QStringLiteral("json")))
        out << QJsonDocument(report.toJson()).toJson(QJsonDocument::Compact) << '\n';
    else
        out << "Sex: " << Gender::name(*gender) << '\n' << report.toText();
    return Success;
}

std::optional<qint64> AssessCommand::genderOf(const QString &sexText)
{
    if (sexText == u"male")
        return Gender::Male;
    if (sexText == u"female")
        return Gender::Female;
    if (sexText == u"unspecified")
        return Gender::Unspecified;
    return std::nullopt;
}

int AssessCommand::listStandards(const CommandLineOptions &options, QTextStream &out,
                                 QTextStream &err) const
{
    const QString sexText = options.value(QStringLiteral("sex"));
    const std::optional<qint64> gender = genderOf(sexText);
    if (!gender || *gender == Gender::Unspecified)
        return fail(err, UsageError,
                    QStringLiteral("--list-standards needs --sex male or female, not '%1'").arg(sexText));
    for (const char *alone : { "birth", "exam", "standard", "height" }) {
        if (options.isSet(QString::fromLatin1(alone)))
            return fail(err, UsageError,
                        QStringLiteral("--list-standards takes no --%1").arg(QLatin1String(alone)));
    }

    const MaturixAssessment assessment;
    const QStringList titles = assessment.standardTitlesForGender(*gender);
    const std::vector<double> &boneAges = *gender == Gender::Male
            ? assessment.maleChronologicalAgeDataPoints()
            : assessment.femaleChronologicalAgeDataPoints();
    // Index 0 is "not assessed", no standard.
    const qsizetype count = std::min<qsizetype>(titles.size(), qsizetype(boneAges.size()));
    if (options.isSet(QStringLiteral("json"))) {
        QJsonArray standards;
        for (qsizetype k = 1; k < count; ++k)
            standards.append(QJsonObject { { QStringLiteral("index"), k },
                                           { QStringLiteral("title"), titles[k] },
                                           { QStringLiteral("boneAge"), boneAges[std::size_t(k)] } });
        out << QJsonDocument(standards).toJson(QJsonDocument::Compact) << '\n';
        return Success;
    }
    for (qsizetype k = 1; k < count; ++k)
        out << QStringLiteral("%1  %2 (%3 years)\n")
                        .arg(k, 2)
                        .arg(titles[k], QString::number(boneAges[std::size_t(k)], 'g',
                                                        QLocale::FloatingPointShortest));
    return Success;
}
