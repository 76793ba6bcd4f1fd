#pragma once

#include <QString>

class DcmDataset;

// DCMTK reads JPEG 2000 files but decodes none: OpenJPEG decodes the first
// frame, whose values then replace the encapsulated pixel data, so that
// DCMTK's image module takes the dataset as if it had come uncompressed.
class Jpeg2000Decoder
{
public:
    static bool isJpeg2000(const DcmDataset &dataset);
    // False with the reason when the frame cannot be decoded or holds more
    // than `maximumPixels` pixels.
    static bool decodeFirstFrame(DcmDataset &dataset, qint64 maximumPixels, QString *error);
};
