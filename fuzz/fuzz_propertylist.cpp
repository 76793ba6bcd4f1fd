// libFuzzer target for the XML property-list reader, which reads the
// version resource from the network: any input must give either a value or
// a reason, never both, and never a crash, leak or hang.
#include "KVPropertyListReader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const QVariant value = KVPropertyListReader::propertyListFromData(bytes, &error);
    if (value.isValid() == !error.isEmpty())
        std::abort();
    return 0;
}
