#pragma once

#include "AbsoluteDate.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <optional>

class QSettings;

// Preferences in two domains: registered defaults kept in memory, and the
// user's stored values in an INI file. A stored value always wins; a
// registered default only answers while nothing is stored under its key.
class UserDefaults
{
public:
    // Uses the XDG configuration folder of the application.
    UserDefaults();
    // Uses the given INI file; tests point this at a temporary folder.
    explicit UserDefaults(const QString &iniFilePath);
    ~UserDefaults();

    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    static UserDefaults &standardUserDefaults();
    // Replaces the shared instance (tests); null restores the default one.
    static void setStandardUserDefaults(std::unique_ptr<UserDefaults> defaults);

    void registerDefaults(const QVariantMap &defaults);
    QVariantMap registeredDefaults() const { return m_registered; }

    bool hasStoredValue(const QString &key) const;
    QVariant objectForKey(const QString &key) const;
    QString stringForKey(const QString &key) const;
    bool boolForKey(const QString &key) const;
    qint64 integerForKey(const QString &key) const;
    double doubleForKey(const QString &key) const;
    std::optional<AbsoluteDate> dateForKey(const QString &key) const;

    void setObject(const QVariant &value, const QString &key);
    void setString(const QString &value, const QString &key) { setObject(value, key); }
    void setBool(bool value, const QString &key) { setObject(value, key); }
    void setInteger(qint64 value, const QString &key) { setObject(value, key); }
    void setDouble(double value, const QString &key) { setObject(value, key); }
    void setDate(const AbsoluteDate &value, const QString &key);
    void removeObjectForKey(const QString &key);

    // Writes pending changes; false when the file could not be written.
    bool synchronize();
    QString fileName() const;

private:
    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_registered;
};
