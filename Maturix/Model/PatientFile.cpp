#include "PatientFile.h"

#include "Archiver.h"
#include "PrintableText.h"
#include "Unarchiver.h"

namespace {

const Archiver::ClassChain &patientRecordClassChain()
{
    static const Archiver::ClassChain chain { { "PatientRecord", PatientRecord::classVersion },
                                              { "NSObject", 0 } };
    return chain;
}

const Archiver::ClassChain &trRecordClassChain()
{
    static const Archiver::ClassChain chain { { "TRRecord", TRRecord::classVersion }, { "NSObject", 0 } };
    return chain;
}

// Reads one record object's groups in order, each of the one type its
// class version prescribes, and nothing after them.
class RecordDecoder
{
public:
    RecordDecoder(const Unarchiver &archive, QString *error) : m_archive(archive), m_error(error) { }

    // The object a "@" value names, which must be exactly of the class
    // with NSObject as its superclass.
    const TypedStreamEntry *object(const TypedStreamValue &value, const char *className)
    {
        const TypedStreamEntry *object = m_archive.entry(value.reference);
        if (value.kind != TypedStreamValue::Kind::Object || !object
            || object->kind != TypedStreamEntry::Kind::Object) {
            fail(QStringLiteral("no %1 object where one belongs").arg(QLatin1String(className)));
            return nullptr;
        }
        const TypedStreamEntry *cls = m_archive.entry(object->classReference);
        const TypedStreamEntry *superclass = cls ? m_archive.entry(cls->superclass) : nullptr;
        if (!cls || cls->name != className || !superclass || superclass->name != "NSObject"
            || superclass->superclass >= 0) {
            fail(QStringLiteral("object #%1 is of class %2, expected %3")
                         .arg(QString::number(value.reference),
                              PrintableText::fromUtf8(m_archive.classNameOf(*object)), QLatin1String(className)));
            return nullptr;
        }
        return object;
    }

    void start(const TypedStreamEntry *object, const char *className)
    {
        m_object = object;
        m_className = QLatin1String(className);
        m_next = 0;
    }

    // The single value of the next group, which must be of the type.
    const TypedStreamValue *next(const char *type)
    {
        if (m_next >= m_object->groups.size()) {
            fail(QStringLiteral("%1 ends before its \"%2\" value").arg(m_className, QLatin1String(type)));
            return nullptr;
        }
        const TypedStreamGroup &group = m_object->groups[m_next++];
        if (group.type != type || group.values.size() != 1) {
            fail(QStringLiteral("%1 holds a \"%2\" value group at byte %3 where \"%4\" belongs")
                         .arg(m_className, PrintableText::fromUtf8(group.type), QString::number(group.offset),
                              QLatin1String(type)));
            return nullptr;
        }
        return &group.values[0];
    }

    bool finish()
    {
        if (m_next != m_object->groups.size())
            return fail(QStringLiteral("%1 holds %2 value groups more than its version has")
                                .arg(m_className)
                                .arg(m_object->groups.size() - m_next));
        return true;
    }

    bool check(bool ok, const QString &field, const QString &reason)
    {
        return ok || fail(QStringLiteral("%1 %2: %3").arg(m_className, field, reason));
    }

    bool fail(const QString &reason)
    {
        if (m_error->isEmpty())
            *m_error = reason;
        return false;
    }

private:
    const Unarchiver &m_archive;
    QString *m_error;
    const TypedStreamEntry *m_object = nullptr;
    QLatin1String m_className;
    size_t m_next = 0;
};

bool decodeExamination(const Unarchiver &archive, RecordDecoder &decoder, const TypedStreamValue &value,
                       TRRecord *exam)
{
    const TypedStreamEntry *object = decoder.object(value, "TRRecord");
    if (!object)
        return false;
    const qint64 version = archive.entry(object->classReference)->version;
    if (version < 0 || version > TRRecord::classVersion)
        return decoder.fail(QStringLiteral("TRRecord version %1 is not one this program reads").arg(version));
    decoder.start(object, "TRRecord");
    QString reason;
    std::optional<AbsoluteDate> examDate;
    const TypedStreamValue *date = decoder.next("@");
    if (!date || !decoder.check(archive.decodeDate(*date, &examDate, &reason), QStringLiteral("examDate"), reason))
        return false;
    exam->setExamDate(examDate);
    const TypedStreamValue *index = decoder.next("i");
    if (!index)
        return false;
    exam->setMaturixIndex(index->integer);
    if (version >= 1) {
        const TypedStreamValue *height = decoder.next("f");
        if (!height)
            return false;
        exam->setHeight(height->real);
    }
    return decoder.finish();
}

bool decodePatient(const Unarchiver &archive, PatientRecord *record, QString *error)
{
    RecordDecoder decoder(archive, error);
    if (archive.groups().size() != 1 || archive.groups()[0].type != "@"
        || archive.groups()[0].values.size() != 1)
        return decoder.fail(QStringLiteral("the archive does not hold exactly one root object"));
    const TypedStreamEntry *root = decoder.object(archive.groups()[0].values[0], "PatientRecord");
    if (!root)
        return false;
    const qint64 version = archive.entry(root->classReference)->version;
    if (version < 0 || version > PatientRecord::classVersion)
        return decoder.fail(QStringLiteral("PatientRecord version %1 is not one this program reads").arg(version));

    decoder.start(root, "PatientRecord");
    QString reason;
    QString text;
    const TypedStreamValue *value = decoder.next("@");
    if (!value || !decoder.check(archive.decodeString(*value, &text, &reason), QStringLiteral("referenceString"), reason))
        return false;
    record->setReferenceString(text);
    std::optional<AbsoluteDate> birthDate;
    value = decoder.next("@");
    if (!value || !decoder.check(archive.decodeDate(*value, &birthDate, &reason), QStringLiteral("birthDate"), reason))
        return false;
    record->setBirthDate(birthDate);
    value = decoder.next("i");
    if (!value)
        return false;
    // Versions before 2 counted the sexes from 0.
    record->setGender(version < 2 ? value->integer + 1 : value->integer);
    std::vector<const TypedStreamValue *> elements;
    const TypedStreamValue *list = decoder.next("@");
    if (!list || !decoder.check(archive.decodeArray(*list, &elements, &reason), QStringLiteral("trRecordsArray"), reason))
        return false;
    if (version >= 3) {
        value = decoder.next("@");
        if (!value || !decoder.check(archive.decodeString(*value, &text, &reason), QStringLiteral("nameString"), reason))
            return false;
        record->setNameString(text);
    }
    if (!decoder.finish())
        return false;

    PatientRecord::Examinations exams;
    exams.reserve(elements.size());
    for (const TypedStreamValue *element : elements) {
        auto exam = std::make_unique<TRRecord>(TRRecord::blank());
        if (!decodeExamination(archive, decoder, *element, exam.get()))
            return false;
        exams.push_back(std::move(exam));
    }
    record->setTRRecordsArray(std::move(exams));
    return true;
}

} // namespace

std::unique_ptr<PatientRecord> PatientFile::read(const QByteArray &data, QString *error, Versions *versions)
{
    QString reason;
    Unarchiver archive;
    std::unique_ptr<PatientRecord> record = PatientRecord::blank();
    if (!archive.read(data) || !decodePatient(archive, record.get(), &reason)) {
        if (error)
            *error = reason.isEmpty() ? archive.errorString() : reason;
        return nullptr;
    }
    if (versions) {
        versions->patientRecord = archive.entry(archive.entry(archive.groups()[0].values[0].reference)->classReference)->version;
        versions->trRecord = archive.versionForClassName("TRRecord");
    }
    if (error)
        error->clear();
    return record;
}

QByteArray PatientFile::write(const PatientRecord &record)
{
    Archiver archiver;
    archiver.beginObject(patientRecordClassChain());
    archiver.encodeString(record.referenceString());
    archiver.encodeDate(record.birthDate());
    archiver.encodeInt(qint32(record.gender()));
    const PatientRecord::Examinations &exams = record.trRecordsArray();
    archiver.beginMutableArray(qint64(exams.size()));
    for (const auto &exam : exams) {
        archiver.beginObject(trRecordClassChain());
        archiver.encodeDate(exam->examDate());
        archiver.encodeInt(qint32(exam->maturixIndex()));
        archiver.encodeFloat(float(exam->height()));
        archiver.endObject();
    }
    archiver.endObject();
    archiver.encodeString(record.nameString());
    archiver.endObject();
    return archiver.archivedData();
}
