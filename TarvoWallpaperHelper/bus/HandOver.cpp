#include "HandOver.hpp"

#include <dbus/dbus.h>

#include <memory>
#include <optional>

#include "BusNames.hpp"

namespace lumivo {

namespace {

constexpr int callTimeoutMs = 10000;

struct ConnectionCloser {
    void operator()(DBusConnection* connection) const {
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
    }
};
struct MessageUnref {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using Connection = std::unique_ptr<DBusConnection, ConnectionCloser>;
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

// Frees the error's strings however the scope is left.
struct ScopedError {
    DBusError value;
    ScopedError() { dbus_error_init(&value); }
    ~ScopedError() { dbus_error_free(&value); }
    ScopedError(const ScopedError&) = delete;
    ScopedError& operator=(const ScopedError&) = delete;
};

// Appends an empty a{sv} (the platform data neither side uses).
bool appendEmptyDictionary(DBusMessageIter& iter) {
    DBusMessageIter dict;
    return dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "{sv}", &dict) &&
           dbus_message_iter_close_container(&iter, &dict);
}

HandOver::Result call(const std::optional<std::string>& url, std::string& error) {
    ScopedError dbusError;
    Connection connection(dbus_bus_get_private(DBUS_BUS_SESSION, &dbusError.value));
    if (!connection) {
        error = dbusError.value.message != nullptr ? dbusError.value.message : "no session bus";
        return HandOver::Result::failed;
    }
    dbus_connection_set_exit_on_disconnect(connection.get(), false);
    Message message(dbus_message_new_method_call(BusNames::serviceName, BusNames::objectPath,
                                                 BusNames::applicationInterface,
                                                 url ? "Open" : "Activate"));
    if (!message) {
        error = "out of memory";
        return HandOver::Result::failed;
    }
    // The helper itself is starting: never let the bus start another one.
    dbus_message_set_auto_start(message.get(), false);
    DBusMessageIter iter;
    dbus_message_iter_init_append(message.get(), &iter);
    bool built = true;
    if (url) {
        DBusMessageIter uris;
        const char* text = url->c_str();
        built = dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "s", &uris) &&
                dbus_message_iter_append_basic(&uris, DBUS_TYPE_STRING, &text) &&
                dbus_message_iter_close_container(&iter, &uris);
    }
    if (!built || !appendEmptyDictionary(iter)) {
        error = "cannot build the D-Bus message";
        return HandOver::Result::failed;
    }
    Message reply(dbus_connection_send_with_reply_and_block(connection.get(), message.get(),
                                                            callTimeoutMs, &dbusError.value));
    if (reply) {
        return HandOver::Result::delivered;
    }
    if (dbus_error_has_name(&dbusError.value, DBUS_ERROR_SERVICE_UNKNOWN) ||
        dbus_error_has_name(&dbusError.value, DBUS_ERROR_NAME_HAS_NO_OWNER)) {
        return HandOver::Result::noHelper;
    }
    error = dbusError.value.message != nullptr ? dbusError.value.message : "D-Bus call failed";
    return HandOver::Result::failed;
}

}  // namespace

HandOver::Result HandOver::openURL(const std::string& url, std::string& error) {
    // libdbus aborts the process on a string that is not UTF-8. Such text is no
    // URL anyway; the helper receives it with the offending bytes replaced and
    // answers it as an invalid URL.
    if (dbus_validate_utf8(url.c_str(), nullptr)) {
        return call(url, error);
    }
    std::string text;
    for (const char c : url) {
        text += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : "\xEF\xBF\xBD";
    }
    return call(text, error);
}

HandOver::Result HandOver::activate(std::string& error) {
    return call(std::nullopt, error);
}

}  // namespace lumivo
