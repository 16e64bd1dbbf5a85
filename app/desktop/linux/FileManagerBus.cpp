// FileManagerBus on libdbus: one private session-bus connection per call, closed afterwards, so the
// program holds no bus state between reveals. Exit-on-disconnect is switched off at once: libdbus
// would otherwise end the whole process if the bus went away during the call. Each call runs on
// the thread that asks (a reveal's own thread), so the connections are never shared.
#include "app/desktop/linux/FileManagerBus.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dbus/dbus.h>
#include <unistd.h>
#include <vector>

namespace {

bool isUnreserved(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9')
        || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

std::string workingDirectory()
{
    std::vector<char> buffer(4096);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()))
            return buffer.data();
        if (errno != ERANGE || buffer.size() >= (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

// libdbus reads DBUS_SESSION_BUS_ADDRESS once per process and keeps it; the variable is read here
// on each call instead, so the bus in force now is the one used. Without it, libdbus's own
// defaults apply ($XDG_RUNTIME_DIR/bus, then autolaunch).
DBusConnection* openSessionBus(DBusError& busError)
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    DBusConnection* connection = nullptr;
    if (!address || !address[0]) {
        connection = dbus_bus_get_private(DBUS_BUS_SESSION, &busError);
    } else {
        connection = dbus_connection_open_private(address, &busError);
        if (connection && !dbus_bus_register(connection, &busError)) {
            dbus_connection_close(connection);
            dbus_connection_unref(connection);
            connection = nullptr;
        }
    }
    if (connection)
        dbus_connection_set_exit_on_disconnect(connection, FALSE);
    return connection;
}

std::string fileUriFromPath(std::string_view path)
{
    if (path.empty() || path.find('\0') != std::string_view::npos)
        return {};
    std::string absolute;
    if (path.front() != '/') {
        absolute = workingDirectory();
        if (absolute.empty())
            return {};
        if (absolute.back() != '/')
            absolute.push_back('/');
    }
    absolute.append(path);

    static const char hexDigits[] = "0123456789ABCDEF";
    std::string uri = "file://";
    uri.reserve(uri.size() + absolute.size() * 3);
    for (char c : absolute) {
        const auto byte = static_cast<unsigned char>(c);
        if (isUnreserved(byte) || byte == '/') {
            uri.push_back(c);
        } else {
            uri.push_back('%');
            uri.push_back(hexDigits[byte >> 4]);
            uri.push_back(hexDigits[byte & 15]);
        }
    }
    return uri;
}

std::string parentDirectory(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return ".";
    path = path.substr(0, slash);
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path.empty() ? "/" : std::string(path);
}

ShowItemsOutcome showItemsOverSessionBus(const std::string& uri, int timeoutMs, std::string* error)
{
    DBusError busError;
    dbus_error_init(&busError);
    DBusConnection* connection = openSessionBus(busError);
    if (!connection) {
        if (error)
            *error = busError.message ? busError.message : "no session bus";
        dbus_error_free(&busError);
        return ShowItemsOutcome::FAILED;
    }

    ShowItemsOutcome outcome = ShowItemsOutcome::FAILED;
    DBusMessage* call = dbus_message_new_method_call("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
        "org.freedesktop.FileManager1", "ShowItems");
    if (call) {
        // Both strings are ASCII (the URI is percent-encoded), as D-Bus requires valid UTF-8.
        const char* uriText = uri.c_str();
        const char* startupId = "";
        DBusMessageIter arguments;
        dbus_message_iter_init_append(call, &arguments);
        DBusMessageIter uris = DBUS_MESSAGE_ITER_INIT_CLOSED;
        bool built = dbus_message_iter_open_container(&arguments, DBUS_TYPE_ARRAY, DBUS_TYPE_STRING_AS_STRING, &uris);
        built = built && dbus_message_iter_append_basic(&uris, DBUS_TYPE_STRING, &uriText);
        built = built && dbus_message_iter_close_container(&arguments, &uris);
        if (!built)
            dbus_message_iter_abandon_container_if_open(&arguments, &uris);
        built = built && dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &startupId);
        if (built) {
            DBusMessage* reply = dbus_connection_send_with_reply_and_block(connection, call, timeoutMs, &busError);
            if (reply) {
                outcome = ShowItemsOutcome::SHOWN;
                dbus_message_unref(reply);
            } else {
                // libdbus reports its own timeout as NoReply; the bus daemon's reply timeout is
                // TimedOut. Anything else (ServiceUnknown, NameHasNoOwner, an error from the file
                // manager) is definite.
                if (dbus_error_has_name(&busError, DBUS_ERROR_NO_REPLY) || dbus_error_has_name(&busError, DBUS_ERROR_TIMEOUT)
                    || dbus_error_has_name(&busError, DBUS_ERROR_TIMED_OUT))
                    outcome = ShowItemsOutcome::NO_ANSWER;
                if (error)
                    *error = busError.message ? busError.message : "no answer from the file manager";
            }
        } else if (error) {
            *error = "out of memory building the call";
        }
        dbus_message_unref(call);
    } else if (error) {
        *error = "out of memory building the call";
    }
    dbus_error_free(&busError);
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    return outcome;
}
