#pragma once

#include "VantrelAppController.h"

#include <optional>

class MaturixDocument;
class RadiographImage;

// The application's own controller: patient documents of the "maturix"
// extension (unless the preferences name another), the patient's sex from
// the viewer's link request, and DICOM images opened as that request's
// patient and study with the radiograph attached.
class MaturixApplicationController : public VantrelAppController
{
    Q_OBJECT

public:
    explicit MaturixApplicationController(QObject *parent = nullptr);

    void awakeFromNib() override;

    // Every way of opening a file comes here (Open, a drop, the command line,
    // a later start's hand-over): a DICOM file opens as a radiograph, any
    // other as a patient file.
    Document *openDocumentWithContentsOfURL(const QUrl &url, bool display, QString *error) override;
    // The Open panel offers DICOM images beside patient files.
    int runModalOpenPanel(FilePanel &panel, const QStringList &types) override;

    // "DICM" at byte 128, or the ".dcm" extension.
    static bool isDicomFile(const QString &path);
    // The image's patient and study as a link request fills them; the
    // document that shows the radiograph, or none with the reason.
    MaturixDocument *openRadiograph(const QString &path, QString *error);

    QString defaultReportTemplate() const override;
    ReportPreview reportPreview(const QString &templateText) const override;

protected:
    // "Gender" (1 male, 2 female; absent: not set) goes to the document the
    // request filled. A patient's own file keeps its stored sex.
    void didFillFromLinkRequest(VantrelDocument *document,
                                const OsirixLinkRequest &request) override;

private:
    // The patient's file in the database folder, opened when Auto Save is on.
    MaturixDocument *openPatientFileOf(const QString &identifier);
    // Where the header and the patient's document differ in birth date or
    // sex, the user says which holds; nothing when opening is cancelled,
    // else whether the header's values are taken.
    std::optional<bool> headerHolds(MaturixDocument *document, const RadiographImage &image) const;
};
