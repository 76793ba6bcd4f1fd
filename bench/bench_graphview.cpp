#include "KVGraphView.h"
#include "ViewRendering.h"

namespace {

// The frame of a chart-sized graph view (0-20 on both axes, ticks every 2,
// minor ticks every 0.5, three titles), rendered into a white image at the
// given pixels per point: 1 for the screen and the JPEG export, 4 for a
// printer page.
void renderFrame(benchmark::State &state)
{
    KVGraphView view;
    view.resize(560, 420);
    view.setMaxX(20);
    view.setMaxY(20);
    view.setMajorXInterval(2);
    view.setMajorYInterval(2);
    view.setMinorXInterval(0.5);
    view.setMinorYInterval(0.5);
    view.setXTitle("Chronological Age (Years)");
    view.setYTitle("Bone Age (Years)");
    view.setReferenceTitle("Ref: Greulich and Pyle, 2nd ed; Stanford, CA: 1959");
    renderViewRepeatedly(state, view);
}
BENCHMARK(renderFrame)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

} // namespace
