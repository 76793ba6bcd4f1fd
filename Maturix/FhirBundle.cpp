#include "FhirBundle.h"

#include "BoneAgeResults.h"
#include "Gender.h"
#include "MaturixAssessment.h"

#include <QJsonArray>
#include <QUrl>
#include <QUuid>

#include <cmath>

namespace {

const QString loinc = QStringLiteral("http://loinc.org");
const QString ucum = QStringLiteral("http://unitsofmeasure.org");
const QString uriSystem = QStringLiteral("urn:ietf:rfc:3986");
// Names the UUIDs of one patient's resources, so that the same file gives the
// same Bundle.
const QUuid uuidNamespace(QStringLiteral("7163e2e8-a811-463d-8afb-779019088400"));

QString uuidUrn(const QString &name)
{
    return QStringLiteral("urn:uuid:")
        + QUuid::createUuidV5(uuidNamespace, name).toString(QUuid::WithoutBraces);
}

QJsonObject coding(const QString &system, const QString &code, const QString &display)
{
    return { { QStringLiteral("system"), system }, { QStringLiteral("code"), code },
        { QStringLiteral("display"), display } };
}

QJsonObject codeableConcept(const QJsonObject &coding, const QString &text)
{
    return { { QStringLiteral("coding"), QJsonArray { coding } },
        { QStringLiteral("text"), text } };
}

QJsonObject quantity(double value, const QString &unit, const QString &code)
{
    return { { QStringLiteral("value"), value }, { QStringLiteral("unit"), unit },
        { QStringLiteral("system"), ucum }, { QStringLiteral("code"), code } };
}

QJsonObject years(double value)
{
    return quantity(value, QStringLiteral("years"), QStringLiteral("a"));
}

QJsonObject centimetres(double value)
{
    return quantity(value, QStringLiteral("cm"), QStringLiteral("cm"));
}

QJsonObject reference(const QString &fullUrl)
{
    return { { QStringLiteral("reference"), fullUrl } };
}

QJsonArray category(const QString &code, const QString &display)
{
    return { codeableConcept(
        coding(QStringLiteral("http://terminology.hl7.org/CodeSystem/observation-category"), code,
            display),
        display) };
}

// A value that JSON and FHIR can hold.
std::optional<double> finite(const std::optional<double> &value)
{
    return value && std::isfinite(*value) ? value : std::nullopt;
}

// FHIR dates have four-digit years.
QString fhirDate(const QDate &date)
{
    return date.isValid() && date.year() >= 1 && date.year() <= 9999 ? date.toString(Qt::ISODate)
                                                                     : QString();
}

// A token search value: FHIR's own escapes, then percent-encoding.
QString searchValue(const QString &value)
{
    QString escaped;
    for (const QChar c : value) {
        if (c == u'\\' || c == u'|' || c == u',' || c == u'$')
            escaped += u'\\';
        escaped += c;
    }
    return QString::fromLatin1(QUrl::toPercentEncoding(escaped));
}

QString identifierQuery(const QString &system, const QString &value)
{
    return QStringLiteral("identifier=%1|%2").arg(searchValue(system), searchValue(value));
}

// A name kept as the DICOM link passes it ("Family^Given^Middle^Prefix^Suffix")
// is split into its parts; any other name is kept as it was typed.
QJsonObject humanName(const QString &name)
{
    QJsonObject human { { QStringLiteral("text"), name } };
    if (!name.contains(u'^'))
        return human;
    const QStringList parts = name.split(u'^');
    const auto part = [&parts](int i) { return parts.value(i).trimmed(); };
    QStringList given;
    for (int i : { 1, 2 })
        if (!part(i).isEmpty())
            given << part(i);
    if (!part(0).isEmpty())
        human.insert(QStringLiteral("family"), part(0));
    if (!given.isEmpty())
        human.insert(QStringLiteral("given"), QJsonArray::fromStringList(given));
    if (!part(3).isEmpty())
        human.insert(QStringLiteral("prefix"), QJsonArray { part(3) });
    if (!part(4).isEmpty())
        human.insert(QStringLiteral("suffix"), QJsonArray { part(4) });
    QStringList spoken { part(3) };
    spoken << given << part(0) << part(4);
    spoken.removeAll(QString());
    human.insert(QStringLiteral("text"), spoken.join(u' '));
    return human;
}

QString fhirGender(qint64 gender)
{
    return gender == Gender::Male  ? QStringLiteral("male")
        : gender == Gender::Female ? QStringLiteral("female")
                                   : QStringLiteral("unknown");
}

class BundleBuilder
{
public:
    explicit BundleBuilder(const PatientRecord &patient)
    {
        const QString birthDate = patient.birthDate()
            ? fhirDate(patient.birthDate()->toLocalDateTime().date())
            : QString();
        // The resources' names stay the same however often the file is
        // exported, and a corrected name or birth date keeps them.
        const QString identifier = patient.referenceString().trimmed();
        m_seed = !identifier.isEmpty()
            ? identifier
            : QStringList { QString(), patient.nameString(), birthDate }.join(u'\n');
        m_patientUrl = uuidUrn(QStringLiteral("Patient\n") + m_seed);

        QJsonObject resource { { QStringLiteral("resourceType"), QStringLiteral("Patient") } };
        QJsonObject request { { QStringLiteral("method"), QStringLiteral("POST") },
            { QStringLiteral("url"), QStringLiteral("Patient") } };
        if (!identifier.isEmpty()) {
            const QString system = QString::fromLatin1(FhirBundle::patientIdentifierSystem);
            resource.insert(QStringLiteral("identifier"),
                QJsonArray { QJsonObject { { QStringLiteral("system"), system },
                    { QStringLiteral("value"), identifier } } });
            // The record keeps its own patient: ours is created only when it has none.
            request.insert(QStringLiteral("ifNoneExist"), identifierQuery(system, identifier));
        }
        if (!patient.nameString().trimmed().isEmpty())
            resource.insert(
                QStringLiteral("name"), QJsonArray { humanName(patient.nameString().trimmed()) });
        resource.insert(QStringLiteral("gender"), fhirGender(patient.gender()));
        if (!birthDate.isEmpty())
            resource.insert(QStringLiteral("birthDate"), birthDate);
        append(m_patientUrl, resource, request);
    }

    void addExamination(const BoneAgeResult &result)
    {
        const QString date = fhirDate(result.examDate);
        const QJsonArray imaging = category(QStringLiteral("imaging"), QStringLiteral("Imaging"));
        QString boneAgeUrl;
        QString heightUrl;
        if (const auto boneAge = finite(result.boneAge)) {
            QJsonObject observation = newObservation(date,
                codeableConcept(
                    coding(loinc, QStringLiteral("85151-9"), QStringLiteral("XR Bone age")),
                    QStringLiteral("Bone age")),
                imaging, years(*boneAge), &boneAgeUrl);
            addReferenceRange(&observation, *boneAge, result);
            if (!result.standard.isEmpty())
                observation.insert(QStringLiteral("note"),
                    QJsonArray { QJsonObject { { QStringLiteral("text"),
                        QStringLiteral("Standard matched: %1").arg(result.standard) } } });
            observation.insert(QStringLiteral("method"),
                QJsonObject { { QStringLiteral("text"), QStringLiteral("Greulich and Pyle") } });
            // LOINC's own term for the method, for records that look for it there.
            QJsonArray components { QJsonObject {
                { QStringLiteral("code"),
                    codeableConcept(
                        coding(loinc, QStringLiteral("85150-1"), QStringLiteral("Bone age method")),
                        QStringLiteral("Bone age method")) },
                { QStringLiteral("valueString"), QStringLiteral("Greulich and Pyle") } } };
            if (const auto sdScore = finite(result.sdScore))
                components.append(
                    QJsonObject { { QStringLiteral("code"),
                                      ownCodeableConcept(QStringLiteral("bone-age-sd-score"),
                                          QStringLiteral("Bone age SD score")) },
                        { QStringLiteral("valueQuantity"),
                            quantity(*sdScore, QStringLiteral("SD"), QStringLiteral("{SD}")) } });
            observation.insert(QStringLiteral("component"), components);
            appendObservation(boneAgeUrl, observation);
        }
        if (const auto height = finite(result.height)) {
            appendObservation(heightUrl,
                newObservation(date,
                    codeableConcept(
                        coding(loinc, QStringLiteral("8302-2"), QStringLiteral("Body height")),
                        QStringLiteral("Body height")),
                    category(QStringLiteral("vital-signs"), QStringLiteral("Vital Signs")),
                    centimetres(*height), &heightUrl));
        }
        if (const auto predicted = finite(result.predictedAdultHeight)) {
            QString url;
            QJsonObject observation = newObservation(date,
                ownCodeableConcept(QStringLiteral("predicted-adult-height"),
                    QStringLiteral("Predicted adult height")),
                imaging, centimetres(*predicted), &url);
            observation.insert(QStringLiteral("method"),
                QJsonObject { { QStringLiteral("text"), QStringLiteral("Bayley–Pinneau") } });
            QJsonArray derivedFrom;
            for (const QString &source : { boneAgeUrl, heightUrl })
                if (!source.isEmpty())
                    derivedFrom.append(reference(source));
            if (!derivedFrom.isEmpty())
                observation.insert(QStringLiteral("derivedFrom"), derivedFrom);
            if (const auto percentage = finite(result.percentageOfAdultHeight))
                observation.insert(QStringLiteral("component"),
                    QJsonArray { QJsonObject {
                        { QStringLiteral("code"),
                            ownCodeableConcept(QStringLiteral("percentage-of-adult-height"),
                                QStringLiteral("Percentage of adult height reached")) },
                        { QStringLiteral("valueQuantity"),
                            quantity(*percentage, QStringLiteral("%"), QStringLiteral("%")) } } });
            appendObservation(url, observation);
        }
    }

    QJsonObject bundle() const
    {
        return { { QStringLiteral("resourceType"), QStringLiteral("Bundle") },
            { QStringLiteral("type"), QStringLiteral("transaction") },
            { QStringLiteral("entry"), m_entries } };
    }

private:
    static QJsonObject ownCodeableConcept(const QString &code, const QString &display)
    {
        return codeableConcept(
            coding(QString::fromLatin1(FhirBundle::codeSystem), code, display), display);
    }

    // The observation's identifier, named by the patient, the date and the
    // code, lets the record find it again when it is exported anew.
    QJsonObject newObservation(const QString &date, const QJsonObject &code,
        const QJsonArray &category, const QJsonObject &value, QString *fullUrl) const
    {
        const QString name = QStringList { QStringLiteral("Observation"), m_seed, date,
            code[u"coding"][0][u"code"].toString() }
                                 .join(u'\n');
        *fullUrl = uuidUrn(name);
        const QString identifier = uuidUrn(QStringLiteral("Identifier\n") + name);
        return { { QStringLiteral("resourceType"), QStringLiteral("Observation") },
            { QStringLiteral("identifier"),
                QJsonArray { QJsonObject { { QStringLiteral("system"), uriSystem },
                    { QStringLiteral("value"), identifier } } } },
            { QStringLiteral("status"), QStringLiteral("final") },
            { QStringLiteral("category"), category }, { QStringLiteral("code"), code },
            { QStringLiteral("subject"), reference(m_patientUrl) },
            { QStringLiteral("effectiveDateTime"), date },
            { QStringLiteral("valueQuantity"), value } };
    }

    // Mean ± 2 SD for the age, and where the bone age lies in that band.
    static void addReferenceRange(
        QJsonObject *observation, double boneAge, const BoneAgeResult &result)
    {
        const auto mean = finite(result.meanBoneAge);
        const auto sd = finite(result.standardDeviation);
        if (!mean || !sd)
            return;
        const double low = *mean - 2.0 * *sd;
        const double high = *mean + 2.0 * *sd;
        observation->insert(QStringLiteral("referenceRange"),
            QJsonArray { QJsonObject { { QStringLiteral("low"), years(low) },
                { QStringLiteral("high"), years(high) },
                { QStringLiteral("text"), QStringLiteral("Mean ± 2 SD for age and sex") } } });
        const auto [code, display] = boneAge < low
            ? std::pair(QStringLiteral("L"), QStringLiteral("Low"))
            : boneAge > high ? std::pair(QStringLiteral("H"), QStringLiteral("High"))
                             : std::pair(QStringLiteral("N"), QStringLiteral("Normal"));
        observation->insert(QStringLiteral("interpretation"),
            QJsonArray { codeableConcept(
                coding(QStringLiteral(
                           "http://terminology.hl7.org/CodeSystem/v3-ObservationInterpretation"),
                    code, display),
                display) });
    }

    void appendObservation(const QString &fullUrl, const QJsonObject &observation)
    {
        const QString identifier = observation.value(QStringLiteral("identifier"))
                                       .toArray()
                                       .first()
                                       .toObject()
                                       .value(QStringLiteral("value"))
                                       .toString();
        // Created, or replaced when exported before.
        append(fullUrl, observation,
            { { QStringLiteral("method"), QStringLiteral("PUT") },
                { QStringLiteral("url"),
                    QStringLiteral("Observation?") + identifierQuery(uriSystem, identifier) } });
    }

    void append(const QString &fullUrl, const QJsonObject &resource, const QJsonObject &request)
    {
        m_entries.append(QJsonObject { { QStringLiteral("fullUrl"), fullUrl },
            { QStringLiteral("resource"), resource }, { QStringLiteral("request"), request } });
    }

    QString m_seed;
    QString m_patientUrl;
    QJsonArray m_entries;
};

bool hasValue(const BoneAgeResult &result)
{
    return result.isAssessed() || result.height || result.predictedAdultHeight;
}

} // namespace

QJsonObject FhirBundle::ofPatient(const MaturixAssessment &assessment, QStringList *leftOut)
{
    const PatientRecord *patient = assessment.patientRecord();
    if (!patient)
        return {};
    BundleBuilder builder(*patient);
    const QList<BoneAgeResult> results = BoneAgeResults::ofPatient(assessment);
    for (qsizetype i = 0; i < results.size(); ++i) {
        if (!fhirDate(results[i].examDate).isEmpty())
            builder.addExamination(results[i]);
        else if (hasValue(results[i]) && leftOut)
            *leftOut << QStringLiteral("examination %1 has no date and is left out").arg(i + 1);
    }
    return builder.bundle();
}
