// Turns a chart JPEG into a secondary-capture DICOM file, the way the
// viewer plug-in does; a whole process for the benchmark to time.
#include "AtomicFile.h"
#include "SecondaryCaptureWriter.h"

#include <QCoreApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: chart2dcm CHART.jpg OUT.dcm\n");
        return 2;
    }
    const QImage chart(QString::fromLocal8Bit(argv[1]), "JPEG");
    SecondaryCaptureWriter writer(chart);
    writer.setPatientsName(QStringLiteral("Doe^Jane"));
    writer.setPatientID(QStringLiteral("12-345-6"));
    writer.setStudyDescription(QStringLiteral("Maturix Chart"));
    QString error;
    const QByteArray bytes = writer.data(&error);
    if (bytes.isEmpty() || !AtomicFile::write(QString::fromLocal8Bit(argv[2]), bytes, &error)) {
        std::fprintf(stderr, "chart2dcm: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
