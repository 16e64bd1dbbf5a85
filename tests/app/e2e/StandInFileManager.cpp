// e2e_file_manager RECORD: a stand-in file manager for the end-to-end tests. It owns
// org.freedesktop.FileManager1 on the bus named by DBUS_SESSION_BUS_ADDRESS, creates RECORD.ready
// once it does, and answers every ShowItems call, appending each URI it names to RECORD, one a line.
// It ends when the bus goes away, on SIGTERM, or after two minutes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dbus/dbus.h>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (argc != 2 || !address) {
        std::fprintf(stderr, "usage: DBUS_SESSION_BUS_ADDRESS=... e2e_file_manager RECORD\n");
        return 2;
    }
    const std::string record = argv[1];
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_connection_open_private(address, &error);
    if (!connection || !dbus_bus_register(connection, &error)
        || dbus_bus_request_name(connection, "org.freedesktop.FileManager1", DBUS_NAME_FLAG_DO_NOT_QUEUE, &error)
            != DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
        std::fprintf(stderr, "e2e_file_manager: %s\n", error.message ? error.message : "the name is taken");
        return 1;
    }
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    std::ofstream(record + ".ready").close();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (std::chrono::steady_clock::now() < deadline && dbus_connection_read_write(connection, 100)) {
        while (DBusMessage* message = dbus_connection_pop_message(connection)) {
            if (dbus_message_is_method_call(message, "org.freedesktop.FileManager1", "ShowItems")) {
                std::ofstream out(record, std::ios::app);
                DBusMessageIter arguments, uris;
                if (dbus_message_iter_init(message, &arguments) && dbus_message_iter_get_arg_type(&arguments) == DBUS_TYPE_ARRAY) {
                    dbus_message_iter_recurse(&arguments, &uris);
                    for (; dbus_message_iter_get_arg_type(&uris) == DBUS_TYPE_STRING; dbus_message_iter_next(&uris)) {
                        const char* uri = nullptr;
                        dbus_message_iter_get_basic(&uris, &uri);
                        out << uri << '\n';
                    }
                }
                out.close();
                DBusMessage* reply = dbus_message_new_method_return(message);
                dbus_connection_send(connection, reply, nullptr);
                dbus_connection_flush(connection);
                dbus_message_unref(reply);
            }
            dbus_message_unref(message);
        }
    }
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    return 0;
}
