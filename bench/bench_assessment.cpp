#include "ExaminationTableModel.h"
#include "Gender.h"
#include "MaturixAssessment.h"
#include "TableText.h"

#include <benchmark/benchmark.h>

namespace {
// A patient examined 1,000 times, every two weeks from birth, with a
// standard and a height for each examination.
std::unique_ptr<PatientRecord> makePatient(qint64 gender)
{
    auto record = std::make_unique<PatientRecord>();
    record->trRecordsArray().clear();
    record->setGender(gender);
    const QDate birth(2000, 1, 1);
    record->setBirthDate(AbsoluteDate::fromLocalDate(birth));
    for (int k = 0; k < 1000; ++k) {
        record->addTRRecord();
        TRRecord &exam = *record->trRecordsArray().back();
        // Dates as the window stores them: the start of a day in the local zone.
        exam.setExamDate(AbsoluteDate::fromLocalDate(birth.addDays(k * 14)));
        exam.setMaturixIndex(1 + k % 27);
        exam.setHeight(50.0 + k * 0.1);
    }
    return record;
}

void allDerivedValues(benchmark::State &state)
{
    const auto record = makePatient(state.range(0));
    MaturixAssessment assessment;
    assessment.setPatientRecord(record.get());
    const quint64 count = record->trRecordsArray().size();
    for (auto _ : state) {
        for (quint64 i = 0; i < count; ++i) {
            benchmark::DoNotOptimize(assessment.examDateStringForRecord(i));
            benchmark::DoNotOptimize(assessment.chronologicalAgeForRecord(i));
            benchmark::DoNotOptimize(assessment.chronologicalAgeStringForRecord(i));
            benchmark::DoNotOptimize(assessment.maturixForRecord(i));
            benchmark::DoNotOptimize(assessment.maturixStringForRecord(i));
            benchmark::DoNotOptimize(assessment.meanMaturixForRecord(i));
            benchmark::DoNotOptimize(assessment.standardDeviationForRecord(i));
            benchmark::DoNotOptimize(assessment.meanMaturixAndSDStringForRecord(i));
            benchmark::DoNotOptimize(assessment.heightForRecord(i));
            benchmark::DoNotOptimize(assessment.percentageHeightAchievedForRecord(i));
            benchmark::DoNotOptimize(assessment.percentageHeightAchievedStringForRecord(i));
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(count));
}

// The examination table as Export Table writes it: every cell of every row.
void tableAsCsv(benchmark::State &state)
{
    const auto record = makePatient(Gender::Male);
    MaturixAssessment assessment;
    assessment.setPatientRecord(record.get());
    const ExaminationTableModel model(&assessment);
    for (auto _ : state)
        benchmark::DoNotOptimize(TableText::csv(model));
    state.SetItemsProcessed(state.iterations() * qint64(record->trRecordsArray().size()));
}
} // namespace

BENCHMARK(allDerivedValues)->Arg(Gender::Male)->Arg(Gender::Female)->Unit(benchmark::kMillisecond);
BENCHMARK(tableAsCsv)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
