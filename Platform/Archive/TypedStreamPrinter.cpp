#include "TypedStreamPrinter.h"

#include "PrintableText.h"
#include "Unarchiver.h"

#include <QTextStream>

#include <vector>

namespace {

class Printer
{
public:
    Printer(const Unarchiver &archive, QTextStream &out)
        : m_archive(archive), m_printed(archive.entries().size(), false), m_out(out)
    {
    }

    void run()
    {
        m_out << QStringLiteral("typedstream %1, streamer version %2, system version %3\n")
                          .arg(m_archive.isBigEndian() ? QStringLiteral("big-endian")
                                                       : QStringLiteral("little-endian"))
                          .arg(m_archive.streamerVersion())
                          .arg(m_archive.systemVersion());
        for (const TypedStreamGroup &group : m_archive.groups())
            printGroup(group, 0);
    }

private:
    // Indentation stops deepening at 16 levels, with the depth written
    // instead, so the description stays in proportion to the archive even
    // for values nested hundreds of levels deep.
    void line(int depth, const QString &text)
    {
        constexpr int deepest = 16;
        if (depth > deepest)
            m_out << QString(deepest * 2, u' ') << QStringLiteral("[%1] ").arg(depth);
        else
            m_out << QString(depth * 2, u' ');
        m_out << text << u'\n';
    }

    void printGroup(const TypedStreamGroup &group, int depth)
    {
        line(depth, QStringLiteral("group \"%1\"").arg(PrintableText::fromUtf8(group.type)));
        for (const TypedStreamValue &value : group.values)
            printValue(value, depth + 1);
    }

    QString chain(qint64 reference)
    {
        QStringList parts;
        for (const TypedStreamEntry *cls = m_archive.entry(reference); cls;
             cls = m_archive.entry(cls->superclass)) {
            const qint64 number = cls - m_archive.entries().data();
            if (m_printed[number]) {
                parts << QStringLiteral("%1 -> #%2").arg(PrintableText::fromUtf8(cls->name), QString::number(number));
                break;
            }
            m_printed[number] = true;
            parts << QStringLiteral("%1 v%2 #%3")
                             .arg(PrintableText::fromUtf8(cls->name), QString::number(cls->version),
                                  QString::number(number));
        }
        return parts.join(QStringLiteral(" : "));
    }

    static QString bytesText(const QByteArray &bytes) { return u'"' + PrintableText::fromUtf8(bytes) + u'"'; }

    void printValue(const TypedStreamValue &value, int depth)
    {
        using Kind = TypedStreamValue::Kind;
        const QString code = QString(QLatin1Char(value.code));
        switch (value.kind) {
        case Kind::Integer:
            line(depth, QStringLiteral("%1 %2").arg(code, value.code == 'Q' ? QString::number(quint64(value.integer))
                                                                             : QString::number(value.integer)));
            return;
        case Kind::Real:
            line(depth, QStringLiteral("%1 %2%3")
                                .arg(code, QString::number(value.real, 'g', QLocale::FloatingPointShortest),
                                     value.rawReal ? QStringLiteral(" (raw)") : QString()));
            return;
        case Kind::Bytes:
            if (value.isNull)
                line(depth, QStringLiteral("%1 NULL").arg(code));
            else
                line(depth, QStringLiteral("%1 %2 bytes %3")
                                    .arg(code, QString::number(value.bytes.size()), bytesText(value.bytes)));
            return;
        case Kind::Symbol:
            line(depth, value.isNull ? code + QStringLiteral(" NULL") : code + u' ' + bytesText(value.bytes));
            return;
        case Kind::CString: {
            const TypedStreamEntry *e = m_archive.entry(value.reference);
            line(depth, e ? QStringLiteral("* #%1 %2").arg(QString::number(value.reference), bytesText(e->name))
                          : QStringLiteral("* NULL"));
            return;
        }
        case Kind::Class:
            line(depth, value.reference < 0 ? QStringLiteral("# nil") : QStringLiteral("# ") + chain(value.reference));
            return;
        case Kind::Object: {
            const TypedStreamEntry *object = m_archive.entry(value.reference);
            if (!object) {
                line(depth, QStringLiteral("@ nil"));
                return;
            }
            if (m_printed[value.reference]) {
                line(depth, QStringLiteral("@ -> #%1 (%2)")
                                    .arg(QString::number(value.reference),
                                         PrintableText::fromUtf8(m_archive.classNameOf(*object))));
                return;
            }
            m_printed[value.reference] = true;
            line(depth, QStringLiteral("@ #%1 %2").arg(QString::number(value.reference), chain(object->classReference)));
            for (const TypedStreamGroup &group : object->groups)
                printGroup(group, depth + 1);
            line(depth, QStringLiteral("end #%1").arg(value.reference));
            return;
        }
        case Kind::Compound:
            line(depth, QStringLiteral("%1 %2 elements").arg(code).arg(value.elements.size()));
            for (const TypedStreamValue &element : value.elements)
                printValue(element, depth + 1);
            return;
        }
    }

    const Unarchiver &m_archive;
    std::vector<bool> m_printed;
    QTextStream &m_out;
};

} // namespace

QString TypedStreamPrinter::describe(const Unarchiver &archive)
{
    QString text;
    QTextStream out(&text);
    describe(archive, out);
    out.flush();
    return text;
}

void TypedStreamPrinter::describe(const Unarchiver &archive, QTextStream &out)
{
    Printer(archive, out).run();
}
