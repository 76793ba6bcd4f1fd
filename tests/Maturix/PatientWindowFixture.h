#pragma once

#include "DocumentController.h"
#include "MaturixDocument.h"
#include "PreferenceKeys.h"
#include "ScriptedAlertResponder.h"
#include "UserDefaults.h"

#include <QTemporaryDir>
#include <QTest>

// What a test of the patient window needs for one test function: a document
// controller that makes patient documents, preferences in a temporary
// folder, and alerts answered by a script. Closes every document it made.
class PatientWindowFixture
{
public:
    PatientWindowFixture()
    {
        UserDefaults::setStandardUserDefaults(
                std::make_unique<UserDefaults>(dir.filePath(QStringLiteral("defaults.ini"))));
        UserDefaults::standardUserDefaults().registerDefaults(
                { { PreferenceKeys::DataFileExtension, QStringLiteral("maturix") } });
        controller.setDefaultType(QStringLiteral("maturix"));
        controller.setDocumentFactory([](const QString &) { return new MaturixDocument; });
    }

    ~PatientWindowFixture()
    {
        for (Document *document : controller.documents())
            document->close();
        UserDefaults::setStandardUserDefaults(nullptr);
    }

    PatientWindowFixture(const PatientWindowFixture &) = delete;
    PatientWindowFixture &operator=(const PatientWindowFixture &) = delete;

    MaturixDocument *newDocument()
    {
        return shown(controller.openUntitledDocumentAndDisplay(true));
    }

    MaturixDocument *openDocument(const QString &path)
    {
        QString error;
        Document *document = controller.openDocumentWithContentsOfFile(path, true, &error);
        if (!document)
            qWarning("%s", qPrintable(error));
        return shown(document);
    }

    QTemporaryDir dir;
    DocumentController controller;
    ScriptedAlertResponder alerts;

private:
    static MaturixDocument *shown(Document *opened)
    {
        auto *document = qobject_cast<MaturixDocument *>(opened);
        if (document && !QTest::qWaitForWindowExposed(document->window()))
            qWarning("the patient window was not shown");
        return document;
    }
};
