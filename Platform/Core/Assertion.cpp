#include "Assertion.h"

#include "Logging.h"

namespace {
Assertion::Handler &currentHandler()
{
    static Assertion::Handler handler;
    return handler;
}
} // namespace

bool Assertion::requireValue(bool present, const char *method, const char *module,
                             const char *file, int line)
{
    if (present)
        return true;
    const Failure failure { "Value==nil", method, module, file, line };
    if (currentHandler())
        currentHandler()(failure);
    else
        qCCritical(lcPlatform, "%s in %s (%s, %s:%d)", failure.description, method, module, file,
                   line);
    return false;
}

void Assertion::setHandler(Handler handler)
{
    currentHandler() = std::move(handler);
}
