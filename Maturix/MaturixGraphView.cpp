#include "MaturixGraphView.h"

#include "Gender.h"
#include "GraphicsContext.h"
#include "MaturixAssessment.h"
#include "MaturixChartSource.h"
#include "SetColor.h"

#include <QCoreApplication>
#include <QPainterPath>

#include <cmath>

namespace {

QString localized(const char *english)
{
    return QCoreApplication::translate("TRDocument", english);
}

constexpr double maleRange = 20.0;
constexpr double femaleRange = 18.0;
constexpr double highlightRadius = 10.0;
constexpr int legendFontSize = 9;
constexpr double legendTabStop = 110.0;
constexpr double legendLineHeight = 14.0;
// An examination further below the mean than this moves the legend.
constexpr double legendMoveSD = -3.0;

} // namespace

MaturixGraphView::MaturixGraphView(QWidget *parent)
    : VantrelGraphView(parent)
{
    setXTitle(localized("Chronological Age (Years)"));
    setYTitle(localized("Bone Age (Years)"));
    setReferenceTitle(localized("Ref: Greulich and Pyle, 2nd ed; Stanford, CA: 1959"));
    setMinX(0.0);
    setMaxX(maleRange);
    setMajorXInterval(2.0);
    setMinY(0.0);
    setMaxY(maleRange);
    setMajorYInterval(2.0);
}

void MaturixGraphView::setRangeForGender(qint64 gender)
{
    double range = 0.0;
    if (gender == Gender::Male)
        range = maleRange;
    else if (gender == Gender::Female)
        range = femaleRange;
    else
        return;
    setMaxX(range);
    setMaxY(range);
}

qint64 MaturixGraphView::gender() const
{
    const PatientRecord *record =
            m_chartSource ? m_chartSource->assessment().patientRecord() : nullptr;
    if (!record)
        return Gender::Unspecified;
    const qint64 sex = record->gender();
    return sex == Gender::Male || sex == Gender::Female ? sex : Gender::Unspecified;
}

void MaturixGraphView::drawGraph()
{
    VantrelGraphView::drawGraph();
    drawMean();
    draw2SD();
    plotData();
    drawLegend();
}

void MaturixGraphView::drawMean()
{
    const qint64 sex = gender();
    if (sex == Gender::Unspecified)
        return;
    const MaturixAssessment &assessment = m_chartSource->assessment();
    const quint64 n = assessment.maturixData().numberOfRecordsForGender(sex);
    QPainterPath path;
    for (quint64 i = 0; i < n; ++i) {
        const QPointF point = pointForX(assessment.chronologicalAgeForIndex(i, sex),
                                        assessment.meanMaturixForIndex(i, sex));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    SetColor::setColorGray();
    GraphicsContext::strokePath(path, 1.0);
    SetColor::setColorBlack();
}

void MaturixGraphView::draw2SD()
{
    const qint64 sex = gender();
    if (sex == Gender::Unspecified)
        return;
    if (sex == Gender::Male)
        SetColor::setColorFaintBlue();
    else
        SetColor::setColorFaintRed();
    const MaturixAssessment &assessment = m_chartSource->assessment();
    const quint64 n = assessment.maturixData().numberOfRecordsForGender(sex);
    const auto bound = [&](quint64 i, double side) {
        return pointForX(assessment.chronologicalAgeForIndex(i, sex),
                         assessment.meanMaturixForIndex(i, sex)
                                 + side * 2.0 * assessment.standardDeviationForIndex(i, sex));
    };
    QPainterPath path;
    for (quint64 i = 0; i < n; ++i) {
        if (i == 0)
            path.moveTo(bound(i, 1.0));
        else
            path.lineTo(bound(i, 1.0));
    }
    for (quint64 i = n; i-- > 0;)
        path.lineTo(bound(i, -1.0));
    // Translucent and painted over the mean curve, which shows through it.
    GraphicsContext::fillPath(path);
}

void MaturixGraphView::plotData()
{
    // Reset before the sex is looked at, so that a chart whose sex has just
    // been cleared does not keep the legend where the last patient needed it.
    m_minSD = 0.0;
    const qint64 sex = gender();
    if (sex == Gender::Unspecified)
        return;
    const MaturixAssessment &assessment = m_chartSource->assessment();
    const quint64 count = assessment.patientRecord()->trRecordsArray().size();
    const quint64 current = m_chartSource->currentExam();
    const bool hilite = m_chartSource->shouldShowGraphHilite();
    for (quint64 i = 0; i < count; ++i) {
        const double a = assessment.chronologicalAgeForRecord(i);
        const double b = assessment.maturixForRecord(i);
        if (!(a > 0.0 && b >= 0.0))
            continue;
        // Outside the ages of the reference table the deviation is 0: such
        // an examination has no deviation to place the legend by.
        const double sd = assessment.standardDeviationForRecord(i);
        if (sd > 0.0) {
            const double d = (b - a) / sd;
            if (m_minSD > d)
                m_minSD = d;
        }
        if (i == current && hilite) {
            const QPointF p = pointForX(a, b);
            QPainterPath disc;
            disc.addEllipse(QRectF(p.x() - highlightRadius, p.y() - highlightRadius,
                                   2.0 * highlightRadius, 2.0 * highlightRadius));
            SetColor::setColorGray();
            GraphicsContext::fillPath(disc);
        }
        SetColor::setColorBlack();
        plotMark(1, a, b);
    }
}

QRectF MaturixGraphView::legendRect(const QRectF &bounds, double minSD)
{
    if (minSD < legendMoveSD)
        return QRectF(80.0, bounds.height() - 70.0, 200.0, 60.0);
    return QRectF(bounds.width() - 210.0, bounds.y() + 80.0, 200.0, 60.0);
}

QStringList MaturixGraphView::legendLines() const
{
    const MaturixAssessment *assessment = m_chartSource ? &m_chartSource->assessment() : nullptr;
    const quint64 e = m_chartSource ? m_chartSource->lastExam() : 0;
    const PatientRecord *record = assessment ? assessment->patientRecord() : nullptr;
    const auto value = [&](QString (MaturixAssessment::*string)(quint64) const) {
        return assessment ? (assessment->*string)(e) : QString();
    };
    // Blind reading keeps the age of an examination not yet matched from
    // the reader; the unmatched examination has no mark to hide.
    const bool hidden = assessment && assessment->hidesAgeForRecord(e);
    const auto ageValue = [&](QString (MaturixAssessment::*string)(quint64) const) {
        return hidden ? QString() : value(string);
    };
    return {
        localized("Identifier:\t") + (record ? record->referenceString() : QString()),
        localized("Examination Date:\t") + value(&MaturixAssessment::examDateStringForRecord),
        localized("Chronological Age:\t")
                + ageValue(&MaturixAssessment::chronologicalAgeStringForRecord),
        localized("Mean Bone Age (Dev):\t")
                + ageValue(&MaturixAssessment::meanMaturixAndSDStringForRecord),
        localized("Assessed Bone Age:\t") + value(&MaturixAssessment::maturixStringForRecord),
        localized("Percentage Stature:\t")
                + ageValue(&MaturixAssessment::percentageHeightAchievedStringForRecord),
    };
}

void MaturixGraphView::drawLegend()
{
    const QFont font = GraphicsContext::labelFont(legendFontSize);
    QRectF rect = legendRect(bounds(), m_minSD);
    for (const QString &line : legendLines()) {
        GraphicsContext::drawText(line, rect, font, legendTabStop);
        rect.translate(0.0, -legendLineHeight);
    }
}
