#include "MaturixApplicationController.h"

#include "MaturixDocument.h"
#include "ScriptedAlertResponder.h"
#include "UserDefaults.h"

#include <QTemporaryDir>
#include <QTest>

// The patient's sex from the viewer's link request.
class tst_MaturixApplicationController : public QObject
{
    Q_OBJECT

private slots:
    void linkRequestSetsGender_data();
    void linkRequestSetsGender();
};

void tst_MaturixApplicationController::linkRequestSetsGender_data()
{
    QTest::addColumn<QVariant>("gender"); // invalid: the key is absent
    QTest::addColumn<qint64>("expected");
    QTest::addColumn<bool>("applied");

    QTest::newRow("female") << QVariant(qint64(2)) << qint64(2) << true;
    QTest::newRow("absent clears") << QVariant() << qint64(0) << true;
    QTest::newRow("out of range") << QVariant(qint64(7)) << qint64(0) << true;
    QTest::newRow("as text: request ignored") << QVariant("F") << qint64(1) << false;
}

void tst_MaturixApplicationController::linkRequestSetsGender()
{
    QFETCH(QVariant, gender);
    QFETCH(qint64, expected);
    QFETCH(bool, applied);

    QTemporaryDir folder;
    UserDefaults::setStandardUserDefaults(
            std::make_unique<UserDefaults>(folder.filePath(QStringLiteral("prefs.ini"))));
    ScriptedAlertResponder alerts;
    MaturixApplicationController controller;
    controller.awakeFromNib();
    auto *document = qobject_cast<MaturixDocument *>(controller.openUntitledDocumentAndDisplay(true));
    QVERIFY(document);
    document->setGender(1);
    document->directUpdateDisplay();

    QVariantMap request { { "Identifier", "AB1" },
                          { "DateOfStudy", QVariant::fromValue(AbsoluteDate::now()) } };
    if (gender.isValid())
        request.insert(QStringLiteral("Gender"), gender);
    controller.doLinkFromOsirix({ QString(), QStringLiteral("OsirixLink"), request });

    QCOMPARE(document->patientRecord()->gender(), expected);
    QCOMPARE(document->patientRecord()->referenceString(), applied ? QStringLiteral("AB1") : QString());
    QCOMPARE(document->isDocumentEdited(), applied);
    document->close();
    UserDefaults::setStandardUserDefaults(nullptr);
}

QTEST_MAIN(tst_MaturixApplicationController)
#include "tst_maturixapplicationcontroller.moc"
