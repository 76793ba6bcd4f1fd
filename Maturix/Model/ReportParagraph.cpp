#include "ReportParagraph.h"

#include "ExaminationTableModel.h"
#include "MaturixAssessment.h"

#include <QRegularExpression>

#include <cmath>

namespace {

const QRegularExpression placeholderPattern(QStringLiteral(R"(\{([^{}]*)\})"));

// "11y 6m" as the table shows it becomes "11 years 6 months".
QString spelledAge(const QString &age)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^(\d+)y (\d+)m$)"));
    const QRegularExpressionMatch match = pattern.match(age);
    if (!match.hasMatch())
        return age;
    const QString years = match.captured(1);
    const QString months = match.captured(2);
    return QStringLiteral("%1 %2 %3 %4")
            .arg(years, years == u"1" ? QStringLiteral("year") : QStringLiteral("years"), months,
                 months == u"1" ? QStringLiteral("month") : QStringLiteral("months"));
}

// The table's mean-and-SD text, "11y 0m (10.5m)": the mean, then the SD in months.
QStringList meanAndSD(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^(.+) \((.+)m\)$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return { QString(), QString() };
    return { spelledAge(match.captured(1)), match.captured(2) + QStringLiteral(" months") };
}

} // namespace

ReportParagraph::ReportParagraph(const MaturixAssessment &assessment, quint64 examIndex)
    : m_table(&assessment), m_examIndex(examIndex)
{
}

QString ReportParagraph::defaultTemplate()
{
    return QStringLiteral(
            "[Bone age (Greulich and Pyle): {boneAge}. ]"
            "[Chronological age: {chronologicalAge}. ]"
            "[The bone age lies {sdScore} SD {sdDirection} the mean for age "
            "(mean {meanBoneAge}, SD {standardDeviation}), {sdRange} ±2 SD. ]"
            "[Height {height} cm[, {percentageOfAdultHeight} % of predicted adult height; "
            "predicted adult height (Bayley–Pinneau) {predictedAdultHeight} cm]. ]"
            "[Since the previous examination, the bone age advanced {boneAgeAdvance} years per year. ]"
            "[Height velocity since the previous examination: {heightVelocity} cm per year.]");
}

QStringList ReportParagraph::placeholderNames()
{
    return { QStringLiteral("examDate"),        QStringLiteral("boneAge"),
             QStringLiteral("chronologicalAge"), QStringLiteral("sdScore"),
             QStringLiteral("sdDirection"),     QStringLiteral("sdRange"),
             QStringLiteral("meanBoneAge"),     QStringLiteral("standardDeviation"),
             QStringLiteral("height"),          QStringLiteral("percentageOfAdultHeight"),
             QStringLiteral("predictedAdultHeight"), QStringLiteral("boneAgeAdvance"),
             QStringLiteral("heightVelocity") };
}

QStringList ReportParagraph::unknownPlaceholders(const QString &templateText)
{
    const QStringList known = placeholderNames();
    QStringList unknown;
    for (const QRegularExpressionMatch &match : placeholderPattern.globalMatch(templateText)) {
        const QString name = match.captured(1);
        // An escaped brace opens no placeholder.
        if (match.capturedStart() > 0 && templateText[match.capturedStart() - 1] == u'\\')
            continue;
        if (!known.contains(name) && !unknown.contains(name))
            unknown.append(name);
    }
    return unknown;
}

QString ReportParagraph::value(const QString &name) const
{
    // The table's shown text: empty where blind reading withholds it, "-"
    // where there is no value.
    const auto shown = [&](int column) {
        const QString text = m_table.data(m_table.index(int(m_examIndex), column)).toString();
        return text == u"-" ? QString() : text;
    };
    using Column = ExaminationTableModel::Column;
    if (name == u"examDate")
        return shown(Column::ExamDate);
    if (name == u"boneAge")
        return spelledAge(shown(Column::BoneAge));
    if (name == u"chronologicalAge")
        return spelledAge(shown(Column::ChronologicalAge));
    if (name == u"sdScore" || name == u"sdDirection" || name == u"sdRange") {
        const QString score = shown(Column::SDScore);
        if (score.isEmpty())
            return {};
        if (name == u"sdScore")
            return score.mid(1);
        // A score that rounds to zero ("-0.0") lies at the mean, which reads
        // as the table writes a zero score: "+0.0", above.
        if (name == u"sdDirection")
            return score.toDouble() < 0.0 ? QStringLiteral("below") : QStringLiteral("above");
        return std::abs(score.toDouble()) <= 2.0 ? QStringLiteral("within") : QStringLiteral("outside");
    }
    if (name == u"meanBoneAge")
        return meanAndSD(shown(Column::MeanBoneAgeAndSD)).at(0);
    if (name == u"standardDeviation")
        return meanAndSD(shown(Column::MeanBoneAgeAndSD)).at(1);
    if (name == u"height")
        return shown(Column::Height);
    if (name == u"percentageOfAdultHeight")
        return shown(Column::PercentageStature).remove(u'%');
    if (name == u"predictedAdultHeight")
        return shown(Column::PredictedAdultHeight);
    if (name == u"boneAgeAdvance")
        return shown(Column::BoneAgeAdvance);
    if (name == u"heightVelocity")
        return shown(Column::HeightVelocity);
    return {};
}

QString ReportParagraph::text(const QString &templateText) const
{
    qsizetype position = 0;
    bool missing = false;
    QString result;
    // A stray closing bracket ends no part: it is kept as written.
    while (position < templateText.size()) {
        result += fill(templateText, position, missing);
        if (position < templateText.size())
            result += templateText[position++];
    }
    return result.trimmed();
}

QString ReportParagraph::fill(const QString &templateText, qsizetype &position, bool &missing) const
{
    QString result;
    while (position < templateText.size()) {
        const QChar c = templateText[position];
        if (c == u']')
            return result;
        ++position;
        if (c == u'\\' && position < templateText.size()) {
            result += templateText[position++];
        } else if (c == u'[') {
            bool partMissing = false;
            const QString part = fill(templateText, position, partMissing);
            if (position < templateText.size())
                ++position; // the closing bracket
            if (!partMissing)
                result += part;
        } else if (c == u'{') {
            const QRegularExpressionMatch match = placeholderPattern.match(
                    templateText, position - 1, QRegularExpression::NormalMatch,
                    QRegularExpression::AnchorAtOffsetMatchOption);
            if (!match.hasMatch()) {
                result += c;
                continue;
            }
            position = match.capturedEnd();
            const QString text = value(match.captured(1));
            if (text.isEmpty())
                missing = true;
            result += text;
        } else {
            result += c;
        }
    }
    return result;
}
