#include "CFormat.h"

#include <clocale>
#include <cstdio>
#include <locale.h>
#include <string>

namespace {
locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

// Switches the calling thread, and only it, to the "C" locale for its life;
// the process locale is never touched.
class ThreadLocaleScope
{
public:
    ThreadLocaleScope()
        : m_previous(cLocale() ? uselocale(cLocale()) : locale_t(nullptr))
    {
    }
    ~ThreadLocaleScope()
    {
        if (m_previous)
            uselocale(m_previous);
    }
    ThreadLocaleScope(const ThreadLocaleScope &) = delete;
    ThreadLocaleScope &operator=(const ThreadLocaleScope &) = delete;

private:
    locale_t m_previous;
};
} // namespace

QString CFormat::string(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    QString text = vstring(format, arguments);
    va_end(arguments);
    return text;
}

QString CFormat::vstring(const char *format, va_list arguments)
{
    const ThreadLocaleScope scope;
    va_list again;
    va_copy(again, arguments);
    char buffer[128];
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    QString text;
    if (length >= 0 && std::size_t(length) < sizeof buffer) {
        text = QString::fromUtf8(buffer, length);
    } else if (length > 0) {
        std::string longer(std::size_t(length) + 1, '\0');
        std::vsnprintf(longer.data(), longer.size(), format, again);
        text = QString::fromUtf8(longer.data(), length);
    }
    va_end(again);
    return text;
}
