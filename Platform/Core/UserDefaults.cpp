#include "UserDefaults.h"

#include <QSettings>

namespace {
std::unique_ptr<UserDefaults> &sharedInstance()
{
    static std::unique_ptr<UserDefaults> instance;
    return instance;
}

bool variantToBool(const QVariant &value)
{
    // INI files give back strings; "YES"/"true"/"1" all mean yes.
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        return text == u"true" || text == u"yes" || text == u"1";
    }
    return value.toBool();
}
} // namespace

UserDefaults::UserDefaults()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("Maturix"), QStringLiteral("Maturix")))
{
}

UserDefaults::UserDefaults(const QString &iniFilePath)
    : m_settings(std::make_unique<QSettings>(iniFilePath, QSettings::IniFormat))
{
}

UserDefaults::~UserDefaults()
{
    m_settings->sync();
}

UserDefaults &UserDefaults::standardUserDefaults()
{
    auto &instance = sharedInstance();
    if (!instance)
        instance = std::make_unique<UserDefaults>();
    return *instance;
}

void UserDefaults::setStandardUserDefaults(std::unique_ptr<UserDefaults> defaults)
{
    sharedInstance() = std::move(defaults);
}

void UserDefaults::registerDefaults(const QVariantMap &defaults)
{
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        m_registered.insert(it.key(), it.value());
}

bool UserDefaults::hasStoredValue(const QString &key) const
{
    return m_settings->contains(key);
}

QVariant UserDefaults::objectForKey(const QString &key) const
{
    if (m_settings->contains(key))
        return m_settings->value(key);
    return m_registered.value(key);
}

QString UserDefaults::stringForKey(const QString &key) const
{
    return objectForKey(key).toString();
}

bool UserDefaults::boolForKey(const QString &key) const
{
    return variantToBool(objectForKey(key));
}

qint64 UserDefaults::integerForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        if (text == u"true" || text == u"yes")
            return 1;
        bool ok = false;
        const double number = text.toDouble(&ok);
        return ok ? qint64(number) : 0;
    }
    return value.toLongLong();
}

double UserDefaults::doubleForKey(const QString &key) const
{
    return objectForKey(key).toDouble();
}

std::optional<AbsoluteDate> UserDefaults::dateForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime dateTime = value.toDateTime();
        if (dateTime.isValid())
            return AbsoluteDate::fromDateTime(dateTime);
        return std::nullopt;
    }
    bool ok = false;
    const double seconds = value.toDouble(&ok);
    if (value.isValid() && ok)
        return AbsoluteDate(seconds);
    const QDateTime parsed = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (parsed.isValid())
        return AbsoluteDate::fromDateTime(parsed);
    return std::nullopt;
}

void UserDefaults::setObject(const QVariant &value, const QString &key)
{
    if (!value.isValid()) {
        removeObjectForKey(key);
        return;
    }
    m_settings->setValue(key, value);
}

void UserDefaults::setDate(const AbsoluteDate &value, const QString &key)
{
    // Stored as the exact absolute time so that nothing is lost to rounding.
    m_settings->setValue(key, value.secondsSinceReferenceDate());
}

void UserDefaults::removeObjectForKey(const QString &key)
{
    m_settings->remove(key);
}

bool UserDefaults::synchronize()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

QString UserDefaults::fileName() const
{
    return m_settings->fileName();
}
