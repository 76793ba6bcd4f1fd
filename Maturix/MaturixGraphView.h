#pragma once

#include "VantrelGraphView.h"

#include <QStringList>

class MaturixChartSource;

// The bone-age chart: bone age against chronological age in years, with the
// mean of the standards for the patient's sex, a translucent band two
// standard deviations either side of it, a cross per examination, a grey
// disc behind the examination on show (screen only) and a six-line legend
// on the latest examination. Everything is read from the chart source while
// drawing; the chart keeps no copy of the data, so the window, an image and
// a printer get the same drawing.
class MaturixGraphView : public VantrelGraphView
{
    Q_OBJECT

public:
    explicit MaturixGraphView(QWidget *parent = nullptr);

    // Not owned; it must outlive the chart or be replaced (null draws the
    // frame and an empty legend).
    const MaturixChartSource *chartSource() const { return m_chartSource; }
    void setChartSource(const MaturixChartSource *source) { m_chartSource = source; }

    // Male 0-20 and female 0-18 years on both axes; any other sex leaves
    // the range as it is. Asks for no redraw.
    void setRangeForGender(qint64 gender);

    // The lowest deviation, in standard deviations, of the examinations of
    // the last draw; never above 0.
    double minSD() const { return m_minSD; }

    void drawGraph() override;
    void drawMean();
    void draw2SD();
    void plotData();
    void drawLegend();
    // The legend's six lines, label and value, as drawLegend draws them.
    QStringList legendLines() const;

    // Where the legend's first line goes: the upper left when an
    // examination lies more than three standard deviations below the mean,
    // which keeps the lower right free for it; otherwise above the x axis
    // at the right.
    static QRectF legendRect(const QRectF &bounds, double minSD);

private:
    // 1 or 2, or 0 when the sex is not set (or not one the standards know).
    qint64 gender() const;

    const MaturixChartSource *m_chartSource = nullptr;
    double m_minSD = 0.0;
};
