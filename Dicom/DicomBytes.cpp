#include "DicomBytes.h"

#include "DicomUid.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/oflog/oflog.h>

#include <mutex>

namespace DicomBytes {

std::unique_ptr<DcmFileFormat> read(const QByteArray &bytes, QString *error)
{
    DcmInputBufferStream stream;
    stream.setBuffer(bytes.constData(), offile_off_t(bytes.size()));
    stream.setEos();
    auto file = std::make_unique<DcmFileFormat>();
    file->transferInit();
    const OFCondition condition = file->read(stream);
    file->transferEnd();
    if (condition.bad()) {
        if (error)
            *error = QStringLiteral("Cannot read the DICOM data: %1")
                             .arg(QString::fromLatin1(condition.text()));
        return nullptr;
    }
    return file;
}

QByteArray write(DcmFileFormat &file, QString *error)
{
    // The header is written as we completed it on purpose; the toolkit's
    // warning about that, on stderr, would only alarm. Failures still come
    // back as conditions.
    static std::once_flag once;
    std::call_once(once, [] {
        OFLog::getLogger("dcmtk.dcmdata").setLogLevel(OFLogger::ERROR_LOG_LEVEL);
    });
    const E_TransferSyntax syntax = EXS_LittleEndianExplicit;
    file.validateMetaInfo(syntax);
    // Our implementation, not the toolkit's: the meta header names who wrote
    // the file. The toolkit would put its own back on writing, so the header
    // is written as it stands, its group length counted afresh.
    DcmMetaInfo &meta = *file.getMetaInfo();
    meta.putAndInsertString(DCM_ImplementationClassUID, DicomUid::implementationClassUID().constData());
    meta.putAndInsertString(DCM_ImplementationVersionName, DicomUid::implementationVersionName().constData());
    meta.computeGroupLengthAndPadding(EGL_withGL, EPD_noChange, syntax, EET_ExplicitLength);
    // The preamble, the prefix and the meta group's length come on top of
    // the elements' lengths.
    const Uint32 length = file.calcElementLength(syntax, EET_ExplicitLength) + 1024;
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    DcmOutputBufferStream stream(bytes.data(), offile_off_t(length));
    file.transferInit();
    const OFCondition condition = file.write(stream, syntax, EET_ExplicitLength, nullptr,
                                             EGL_recalcGL, EPD_noChange, 0, 0, 0, EWM_dontUpdateMeta);
    file.transferEnd();
    if (condition.bad()) {
        if (error)
            *error = QStringLiteral("Cannot write the DICOM data: %1")
                             .arg(QString::fromLatin1(condition.text()));
        return {};
    }
    void *written = nullptr;
    offile_off_t writtenLength = 0;
    stream.flushBuffer(written, writtenLength);
    bytes.truncate(qsizetype(writtenLength));
    return bytes;
}

} // namespace DicomBytes
