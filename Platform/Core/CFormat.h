#pragma once

#include <QString>

#include <cstdarg>

// printf-style formatting by the C library in the "C" locale, for every number
// that is shown to a reader. An exact binary tie rounds as the C library
// rounds it (to even: 196.25 with "%.1f" is 196.2), and the decimal separator
// is always a full stop, whatever the process locale says.
class CFormat
{
public:
    static QString string(const char *format, ...) __attribute__((format(printf, 1, 2)));
    static QString vstring(const char *format, va_list arguments)
            __attribute__((format(printf, 1, 0)));
};
