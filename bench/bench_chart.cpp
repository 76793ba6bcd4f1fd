#include "Gender.h"
#include "MaturixGraphView.h"
#include "PatientChartSource.h"
#include "ViewRendering.h"

namespace {

// A boy followed from 2 to 17 years with an assessment every nine months.
std::unique_ptr<PatientRecord> followedBoy()
{
    auto record = PatientRecord::blank();
    record->setReferenceString(QStringLiteral("BENCH-1"));
    record->setBirthDate(AbsoluteDate::fromLocalDate(QDate(2000, 1, 1)));
    record->setGender(Gender::Male);
    for (int k = 0; k < 20; ++k) {
        record->addTRRecord();
        TRRecord *exam = record->examination(quint64(k));
        exam->setExamDate(AbsoluteDate::fromLocalDate(QDate(2002, 1, 1).addMonths(9 * k)));
        exam->setMaturixIndex(8 + k % 24);
        exam->setHeight(90.0 + 4.0 * k);
    }
    return record;
}

// The whole chart (frame, mean, band, marks, legend) as an export draws it,
// at the given pixels per point: 1 for an image, 4 for a printer page.
void renderChart(benchmark::State &state)
{
    const auto record = followedBoy();
    PatientChartSource source(record.get());
    MaturixGraphView view;
    view.resize(600, 450);
    view.setChartSource(&source);
    view.setRangeForGender(record->gender());
    renderViewRepeatedly(state, view);
}
BENCHMARK(renderChart)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

} // namespace
