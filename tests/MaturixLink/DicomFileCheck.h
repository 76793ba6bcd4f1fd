#pragma once

#include <QColor>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcxfer.h>

// Independent checks of a written DICOM file: dicom3tools' verdict and
// values read straight through DCMTK.
struct DicomFileCheck
{
    explicit DicomFileCheck(const QString &path)
        : path(path)
    {
        loaded = file.loadFile(OFFilename(QFile::encodeName(path).constData())).good();
        if (loaded)
            file.getDataset()->convertToUTF8();
    }

    // dciodvfy's error lines; one line saying why when it cannot run.
    QStringList verifierErrors() const { return verifierLines("Error"); }
    QStringList verifierWarnings() const { return verifierLines("Warning"); }

    QStringList verifierLines(const QByteArray &kind) const
    {
        QProcess verifier;
        verifier.setProcessChannelMode(QProcess::MergedChannels);
        verifier.start(QStringLiteral("dciodvfy"), { path });
        if (!verifier.waitForFinished(60000))
            return { QStringLiteral("dciodvfy did not run") };
        QStringList errors;
        for (const QByteArray &line : verifier.readAll().split('\n')) {
            if (line.startsWith(kind))
                errors.append(QString::fromUtf8(line));
        }
        return errors;
    }

    QString string(const DcmTagKey &key) const
    {
        OFString value;
        if (file.getDataset()->findAndGetOFStringArray(key, value).bad())
            return QStringLiteral("<absent>");
        return QString::fromUtf8(value.c_str());
    }

    long integer(const DcmTagKey &key) const
    {
        Uint16 value = 0;
        return file.getDataset()->findAndGetUint16(key, value).good() ? long(value) : -1;
    }

    // The pixel at (x, y) of an interleaved 8-bit image (grey repeated as RGB).
    QColor pixel(int x, int y) const
    {
        const Uint8 *pixels = nullptr;
        unsigned long count = 0;
        const long samples = integer(DCM_SamplesPerPixel);
        const long columns = integer(DCM_Columns);
        DcmDataset *dataset = file.getDataset();
        if (dataset->findAndGetUint8Array(DCM_PixelData, pixels, &count).bad() || !pixels)
            return {};
        const unsigned long at = (unsigned long)(samples * (y * columns + x));
        if (at + (unsigned long)samples > count)
            return {};
        return samples == 1 ? QColor(pixels[at], pixels[at], pixels[at])
                            : QColor(pixels[at], pixels[at + 1], pixels[at + 2]);
    }

    QString path;
    mutable DcmFileFormat file;
    bool loaded = false;
};
