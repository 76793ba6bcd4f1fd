// Arbitrary message bodies on the distributed-notification path. An input is
// a D-Bus signature, a zero byte and a body in little-endian wire form. Each
// one that libdbus accepts as a message is sent over the session bus (the
// fuzzer runs under dbus-run-session) to this process's own
// DistributedNotificationCenter, followed on the same connection by a
// well-formed notification that must still arrive.

#include "DistributedNotificationCenter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <dbus/dbus.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
const char afterName[] = "fuzz.after";

void align(std::string &bytes, size_t to)
{
    bytes.resize((bytes.size() + to - 1) / to * to, '\0');
}

void appendUInt32(std::string &bytes, uint32_t value)
{
    align(bytes, 4);
    for (int shift = 0; shift < 32; shift += 8)
        bytes += char((value >> shift) & 0xff);
}

void appendHeaderField(std::string &fields, char code, char type, const std::string &value)
{
    align(fields, 8);
    fields += code;
    fields += '\1';
    fields += type;
    fields += '\0';
    if (type == 'g')
        fields += char(value.size());
    else
        appendUInt32(fields, uint32_t(value.size()));
    fields += value;
    fields += '\0';
}

// A whole signal on the notification path with the given body.
std::string wireSignal(const std::string &signature, const std::string &body)
{
    std::string bytes { 'l', '\4', '\0', '\1' };
    appendUInt32(bytes, uint32_t(body.size()));
    appendUInt32(bytes, 1);
    std::string fields; // starts at offset 16, so its own alignment holds
    appendHeaderField(fields, 1, 'o', DistributedNotificationCenter::signalPath().toStdString());
    appendHeaderField(fields, 2, 's',
                      DistributedNotificationCenter::signalInterface().toStdString());
    appendHeaderField(fields, 3, 's', DistributedNotificationCenter::signalMember().toStdString());
    if (!signature.empty())
        appendHeaderField(fields, 8, 'g', signature);
    appendUInt32(bytes, uint32_t(fields.size()));
    bytes += fields;
    align(bytes, 8);
    return bytes + body;
}

DBusMessage *wellFormedSignal()
{
    const std::string path = DistributedNotificationCenter::signalPath().toStdString();
    const std::string interface = DistributedNotificationCenter::signalInterface().toStdString();
    const std::string member = DistributedNotificationCenter::signalMember().toStdString();
    DBusMessage *message = dbus_message_new_signal(path.c_str(), interface.c_str(), member.c_str());
    const char *name = afterName;
    const char *object = "";
    DBusMessageIter arguments, info;
    dbus_message_iter_init_append(message, &arguments);
    dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &name);
    dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &object);
    dbus_message_iter_open_container(&arguments, DBUS_TYPE_ARRAY, "{sv}", &info);
    dbus_message_iter_close_container(&arguments, &info);
    return message;
}

struct Receiver
{
    Receiver()
    {
        DBusError error;
        dbus_error_init(&error);
        sender = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
        if (!sender) {
            std::fprintf(stderr, "No session bus: %s\n", error.message);
            std::abort();
        }
        dbus_connection_set_exit_on_disconnect(sender, false);
        DistributedNotificationCenter::defaultCenter().addObserver(
                QString(), QString(), &application, [this](const Notification &notification) {
                    if (notification.name == QLatin1String(afterName))
                        ++arrived;
                    for (const QVariant &value : notification.userInfo)
                        (void)value.toString();
                });
    }

    int argc = 1;
    char name[21] = "fuzz_busnotification";
    char *argv[2] = { name, nullptr };
    QCoreApplication application { argc, argv };
    DBusConnection *sender = nullptr;
    int arrived = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Receiver *receiver = new Receiver;
    const auto *zero = static_cast<const uint8_t *>(std::memchr(data, 0, size));
    if (!zero || zero - data > 255)
        return 0;
    const std::string signature(reinterpret_cast<const char *>(data), size_t(zero - data));
    const std::string body(reinterpret_cast<const char *>(zero + 1), size_t(data + size - zero - 1));
    const std::string wire = wireSignal(signature, body);

    DBusError error;
    dbus_error_init(&error);
    DBusMessage *message = dbus_message_demarshal(wire.data(), int(wire.size()), &error);
    if (!message) {
        dbus_error_free(&error);
        return 0;
    }
    DBusMessage *after = wellFormedSignal();
    const int expected = receiver->arrived + 1;
    dbus_connection_send(receiver->sender, message, nullptr);
    dbus_connection_send(receiver->sender, after, nullptr);
    dbus_connection_flush(receiver->sender);
    dbus_message_unref(message);
    dbus_message_unref(after);

    QDeadlineTimer deadline(10000);
    while (receiver->arrived < expected && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (receiver->arrived < expected) {
        std::fprintf(stderr, "The well-formed notification after the input did not arrive\n");
        std::abort();
    }
    return 0;
}
