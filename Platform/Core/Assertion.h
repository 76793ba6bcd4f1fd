#pragma once

#include <functional>

// Internal consistency checks: an object that must exist is missing.
// Ordinary input never reaches them. A failure is reported as "Value==nil"
// with the method and the source module, and the caller then backs out:
//
//     if (!REQUIRE_VALUE(formatter, "Maturix/MaturixDocument"))
//         return {};
class Assertion
{
public:
    struct Failure
    {
        const char *description;
        const char *method;
        const char *module;
        const char *file;
        int line;
    };
    using Handler = std::function<void(const Failure &)>;

    static bool requireValue(bool present, const char *method, const char *module,
                             const char *file, int line);
    // Replaces the reporting (tests); an empty handler restores logging.
    static void setHandler(Handler handler);
};

#define REQUIRE_VALUE(value, module) \
    Assertion::requireValue(static_cast<bool>(value), Q_FUNC_INFO, module, __FILE__, __LINE__)
