#include "PatientJson.h"

#include "AssessmentReport.h"
#include "MaturixAssessment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <charconv>
#include <cmath>

namespace {

constexpr qint64 secondsPerDay = 86400;

QJsonValue dateValue(const std::optional<AbsoluteDate> &date, bool *ok)
{
    if (!date)
        return QJsonValue(QJsonValue::Null);
    const QString text = PatientJson::dateString(*date);
    *ok = *ok && !text.isEmpty();
    return text;
}

QJsonValue versionValue(const std::optional<qint64> &version)
{
    return version ? QJsonValue(*version) : QJsonValue(QJsonValue::Null);
}

class FieldReader
{
public:
    explicit FieldReader(QString *error) : m_error(error) { }

    bool string(const QJsonObject &object, const QString &key, const QString &where, QString *out)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined() || value.isNull()) {
            out->clear();
            return true;
        }
        if (!value.isString())
            return fail(where + key, QStringLiteral("is not a string"));
        *out = value.toString();
        return true;
    }

    bool date(const QJsonObject &object, const QString &key, const QString &where,
              std::optional<AbsoluteDate> *out)
    {
        const QJsonValue value = object.value(key);
        out->reset();
        if (value.isUndefined() || value.isNull())
            return true;
        if (value.isString())
            *out = PatientJson::parseDate(value.toString());
        if (!*out)
            return fail(where + key, QStringLiteral("is not a date like \"2010-01-15T00:00:00Z\""));
        return true;
    }

    // A whole number that the file's 32-bit fields hold.
    bool integer(const QJsonObject &object, const QString &key, const QString &where, qint64 *out)
    {
        const QJsonValue value = object.value(key);
        *out = 0;
        if (value.isUndefined() || value.isNull())
            return true;
        const double number = value.toDouble(std::nan(""));
        if (!value.isDouble() || !(number >= -2147483648.0 && number <= 2147483647.0)
            || number != std::trunc(number))
            return fail(where + key, QStringLiteral("is not a 32-bit whole number"));
        *out = qint64(number);
        return true;
    }

    bool singlePrecision(const QJsonObject &object, const QString &key, const QString &where, double *out)
    {
        const QJsonValue value = object.value(key);
        *out = 0.0;
        if (value.isUndefined() || value.isNull())
            return true;
        // Stored as single precision; rounding here keeps the JSON and the
        // patient file of one record the same.
        const double stored = double(float(value.toDouble()));
        if (!value.isDouble() || !std::isfinite(stored))
            return fail(where + key, QStringLiteral("is not a number a height can hold"));
        *out = stored;
        return true;
    }

    bool fail(const QString &field, const QString &reason)
    {
        *m_error = QStringLiteral("%1 %2").arg(field, reason);
        return false;
    }

private:
    QString *m_error;
};

QJsonValue optionalValue(const std::optional<double> &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

} // namespace

QString PatientJson::dateString(const AbsoluteDate &date)
{
    const QDateTime time = date.toDateTime();
    if (!time.isValid() || time.date().year() < 1 || time.date().year() > 9999)
        return {};
    const bool fraction = time.time().msec() != 0;
    return time.toString(fraction ? QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")
                                  : QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
            + u'Z';
}

std::optional<AbsoluteDate> PatientJson::parseDate(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral(
            "^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})(?:\\.(\\d{1,9}))?Z$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate day(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    if (!day.isValid() || !time.isValid() || day.year() < 1)
        return std::nullopt;
    const qint64 seconds = (day.toJulianDay() - QDate(2001, 1, 1).toJulianDay()) * secondsPerDay
            + time.msecsSinceStartOfDay() / 1000;
    QString digits = match.captured(7);
    // The exact decimal value, rounded once to the nearest double.
    QByteArray decimal;
    if (digits.isEmpty() || seconds >= 0) {
        decimal = QByteArray::number(seconds);
        if (!digits.isEmpty())
            decimal += '.' + digits.toLatin1();
    } else {
        // -s + 0.f is -((s - 1) + (1 - 0.f)).
        const qint64 scale = qint64(std::pow(10, digits.size()));
        const qint64 complement = scale - digits.toLongLong();
        decimal = '-' + QByteArray::number(-seconds - (complement == scale ? 0 : 1));
        if (complement != scale)
            decimal += '.' + QByteArray::number(complement).rightJustified(digits.size(), '0');
    }
    double value = 0.0;
    const auto result = std::from_chars(decimal.constData(), decimal.constData() + decimal.size(), value);
    if (result.ec != std::errc())
        return std::nullopt;
    return AbsoluteDate(value);
}

std::optional<QJsonObject> PatientJson::toJson(const PatientRecord &record,
                                               const PatientFile::Versions &versions, QString *error)
{
    MaturixAssessment assessment;
    assessment.setPatientRecord(&record);
    bool datesOk = true;
    QJsonArray exams;
    const PatientRecord::Examinations &list = record.trRecordsArray();
    for (size_t i = 0; i < list.size(); ++i) {
        QJsonObject exam = AssessmentReport(assessment, i).toJson();
        exam.insert(QStringLiteral("examDate"), dateValue(list[i]->examDate(), &datesOk));
        exam.insert(QStringLiteral("maturixIndex"), list[i]->maturixIndex());
        exam.insert(QStringLiteral("height"), list[i]->height());
        // Between visits, against the examination before this one in date
        // order (the list may hold them in any order); null when none.
        exam.insert(QStringLiteral("maturixAdvance"), optionalValue(assessment.maturixAdvanceForRecord(i)));
        exam.insert(QStringLiteral("maturixAdvanceString"), assessment.maturixAdvanceStringForRecord(i));
        exam.insert(QStringLiteral("heightVelocity"), optionalValue(assessment.heightVelocityForRecord(i)));
        exam.insert(QStringLiteral("heightVelocityString"), assessment.heightVelocityStringForRecord(i));
        exams.append(exam);
    }
    const QJsonValue birthDate = dateValue(record.birthDate(), &datesOk);
    if (!datesOk) {
        *error = QStringLiteral("a date lies outside the calendar years 1 to 9999");
        return std::nullopt;
    }
    return QJsonObject {
        { QStringLiteral("referenceString"), record.referenceString() },
        { QStringLiteral("nameString"), record.nameString() },
        { QStringLiteral("birthDate"), birthDate },
        { QStringLiteral("gender"), record.gender() },
        { QStringLiteral("versions"),
          QJsonObject { { QStringLiteral("PatientRecord"), versionValue(versions.patientRecord) },
                        { QStringLiteral("TRRecord"), versionValue(versions.trRecord) } } },
        { QStringLiteral("exams"), exams },
    };
}

std::unique_ptr<PatientRecord> PatientJson::fromJson(const QJsonObject &object, QString *error)
{
    FieldReader reader(error);
    std::unique_ptr<PatientRecord> record = PatientRecord::blank();
    QString text;
    if (!reader.string(object, QStringLiteral("referenceString"), QString(), &text))
        return nullptr;
    record->setReferenceString(text);
    if (!reader.string(object, QStringLiteral("nameString"), QString(), &text))
        return nullptr;
    record->setNameString(text);
    std::optional<AbsoluteDate> date;
    if (!reader.date(object, QStringLiteral("birthDate"), QString(), &date))
        return nullptr;
    record->setBirthDate(date);
    qint64 integer = 0;
    if (!reader.integer(object, QStringLiteral("gender"), QString(), &integer))
        return nullptr;
    record->setGender(integer);

    const QJsonValue exams = object.value(QStringLiteral("exams"));
    if (!exams.isUndefined() && !exams.isArray()) {
        reader.fail(QStringLiteral("exams"), QStringLiteral("is not a list"));
        return nullptr;
    }
    PatientRecord::Examinations list;
    const QJsonArray array = exams.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString where = QStringLiteral("exams[%1].").arg(i);
        if (!array[i].isObject()) {
            reader.fail(where.chopped(1), QStringLiteral("is not an object"));
            return nullptr;
        }
        const QJsonObject fields = array[i].toObject();
        auto exam = std::make_unique<TRRecord>(TRRecord::blank());
        double height = 0.0;
        if (!reader.date(fields, QStringLiteral("examDate"), where, &date)
            || !reader.integer(fields, QStringLiteral("maturixIndex"), where, &integer)
            || !reader.singlePrecision(fields, QStringLiteral("height"), where, &height))
            return nullptr;
        exam->setExamDate(date);
        exam->setMaturixIndex(integer);
        exam->setHeight(height);
        list.push_back(std::move(exam));
    }
    record->setTRRecordsArray(std::move(list));
    return record;
}

QByteArray PatientJson::text(const QJsonObject &object)
{
    // Outside its strings JSON is ASCII, so these characters stand in a
    // string, where the escape means the same.
    const QString json = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    QString text;
    text.reserve(json.size() + 1);
    for (QChar c : json) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            text += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
        else
            text += c;
    }
    return text.toUtf8() + '\n';
}
