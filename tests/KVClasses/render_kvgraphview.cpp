// Writes a PNG of a graph view with the default settings, titles and one
// marker of each kind, for looking at the frame by eye:
//
//     render_kvgraphview out.png [--size 300x200] [--scale 2]
//         [--minor-x 1] [--minor-y 1] [--no-marks]
#include "KVGraphView.h"
#include "SetColor.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

class SampleView : public KVGraphView
{
public:
    bool marks = true;

    void drawGraph() override
    {
        KVGraphView::drawGraph();
        if (!marks)
            return;
        SetColor::setColorRed();
        for (qint64 code = 1; code <= 5; ++code)
            plotMark(code, 5.0 * code, 4.0 * code);
        SetColor::setColorBlack();
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument("output", "PNG file to write");
    parser.addOption({"size", "view size in points, WxH", "size", "300x200"});
    parser.addOption({"scale", "pixels per point", "scale", "1"});
    parser.addOption({"minor-x", "minor x interval", "interval", "0"});
    parser.addOption({"minor-y", "minor y interval", "interval", "0"});
    parser.addOption({"no-marks", "draw the frame only"});
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    const QStringList size = parser.value("size").split('x');
    const double scale = parser.value("scale").toDouble();
    if (size.size() != 2 || size[0].toInt() <= 0 || size[1].toInt() <= 0 || !(scale > 0)) {
        std::fprintf(stderr, "bad --size or --scale\n");
        return 2;
    }

    SampleView view;
    view.resize(size[0].toInt(), size[1].toInt());
    view.setXTitle("Chronological Age (Years)");
    view.setYTitle("Bone Age (Years)");
    view.setReferenceTitle("Ref: sample reference line");
    view.setMinorXInterval(parser.value("minor-x").toDouble());
    view.setMinorYInterval(parser.value("minor-y").toDouble());
    view.marks = !parser.isSet("no-marks");

    QImage image(qRound(view.width() * scale), qRound(view.height() * scale),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        view.renderInto(painter, QRectF(QPointF(0, 0), image.size()));
    }
    const QString output = parser.positionalArguments().constFirst();
    if (!image.save(output, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
