// DesktopPortal on libdbus: a private session connection for the one request, read with
// read_write_dispatch in 100 ms steps so a stop request is seen quickly. Both the reply to OpenFile
// and the Response signal arrive through one message filter; the reply is told by its serial, the
// signal by the request's object path (and, once the reply named it, by the portal's unique name).
#include "app/desktop/linux/DesktopPortal.h"

#include "app/desktop/FolderPicker.h"
#include "app/desktop/linux/FileManagerBus.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <dbus/dbus.h>
#include <unistd.h>

namespace {

constexpr const char* PORTAL_NAME = "org.freedesktop.portal.Desktop";
constexpr const char* PORTAL_PATH = "/org/freedesktop/portal/desktop";
constexpr const char* CHOOSER_INTERFACE = "org.freedesktop.portal.FileChooser";
constexpr const char* REQUEST_INTERFACE = "org.freedesktop.portal.Request";

// The object path the portal gives the request: the unique name without its ":" and with every
// "." as "_", then the caller's token.
std::string requestPath(const char* uniqueName, const std::string& token)
{
    std::string sender = uniqueName && uniqueName[0] == ':' ? uniqueName + 1 : (uniqueName ? uniqueName : "");
    for (char& c : sender)
        if (c == '.')
            c = '_';
    return std::string(PORTAL_PATH) + "/request/" + sender + "/" + token;
}

std::string responseRule(const std::string& path)
{
    return "type='signal',interface='" + std::string(REQUEST_INTERFACE) + "',member='Response',path='" + path + "'";
}

// One {key: variant} entry of an a{sv} dictionary.
bool appendOption(DBusMessageIter& dictionary, const char* key, int type, const void* value)
{
    const char signature[2] = { char(type), '\0' };
    DBusMessageIter entry, variant;
    if (!dbus_message_iter_open_container(&dictionary, DBUS_TYPE_DICT_ENTRY, nullptr, &entry))
        return false;
    bool built = dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key)
        && dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, signature, &variant);
    if (built) {
        built = dbus_message_iter_append_basic(&variant, type, value);
        built = dbus_message_iter_close_container(&entry, &variant) && built;
    }
    return dbus_message_iter_close_container(&dictionary, &entry) && built;
}

DBusMessage* openFileCall(const std::string& token, const std::string& parent)
{
    DBusMessage* call = dbus_message_new_method_call(PORTAL_NAME, PORTAL_PATH, CHOOSER_INTERFACE, "OpenFile");
    if (!call)
        return nullptr;
    const char* parentWindow = parent.c_str();
    const char* title = "Select a directory";
    const char* tokenText = token.c_str();
    const dbus_bool_t yes = TRUE;
    DBusMessageIter arguments, options;
    dbus_message_iter_init_append(call, &arguments);
    bool built = dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &parentWindow)
        && dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &title)
        && dbus_message_iter_open_container(&arguments, DBUS_TYPE_ARRAY, "{sv}", &options);
    if (built) {
        built = appendOption(options, "handle_token", DBUS_TYPE_STRING, &tokenText)
            && appendOption(options, "modal", DBUS_TYPE_BOOLEAN, &yes)
            && appendOption(options, "directory", DBUS_TYPE_BOOLEAN, &yes);
        built = dbus_message_iter_close_container(&arguments, &options) && built;
    }
    if (!built) {
        dbus_message_unref(call);
        return nullptr;
    }
    return call;
}

// The first string of the "uris" entry in a Response's results (a{sv}); empty when there is none.
std::string firstUri(DBusMessageIter& results)
{
    if (dbus_message_iter_get_arg_type(&results) != DBUS_TYPE_ARRAY)
        return {};
    DBusMessageIter entries;
    dbus_message_iter_recurse(&results, &entries);
    for (; dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY; dbus_message_iter_next(&entries)) {
        DBusMessageIter entry, variant, uris;
        dbus_message_iter_recurse(&entries, &entry);
        const char* key = nullptr;
        if (dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_STRING)
            continue;
        dbus_message_iter_get_basic(&entry, &key);
        if (std::string_view(key) != "uris" || !dbus_message_iter_next(&entry)
            || dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_VARIANT)
            continue;
        dbus_message_iter_recurse(&entry, &variant);
        if (dbus_message_iter_get_arg_type(&variant) != DBUS_TYPE_ARRAY
            || dbus_message_iter_get_element_type(&variant) != DBUS_TYPE_STRING)
            continue;
        dbus_message_iter_recurse(&variant, &uris);
        if (dbus_message_iter_get_arg_type(&uris) != DBUS_TYPE_STRING)
            return {};
        const char* uri = nullptr;
        dbus_message_iter_get_basic(&uris, &uri);
        return uri ? uri : "";
    }
    return {};
}

// What the filter has seen so far.
struct RequestState {
    dbus_uint32_t callSerial = 0;
    std::string expectedPath;
    bool replied = false, failed = false, responded = false;
    std::string handle;     // the request's path as the reply names it
    std::string portal;     // the portal's unique name, from the reply
    std::string replyError; // the error reply's name and text
    dbus_uint32_t response = 2;
    std::string uri;
};

DBusHandlerResult filterMessage(DBusConnection* connection, DBusMessage* message, void* data)
{
    RequestState& state = *static_cast<RequestState*>(data);
    const int type = dbus_message_get_type(message);
    if ((type == DBUS_MESSAGE_TYPE_METHOD_RETURN || type == DBUS_MESSAGE_TYPE_ERROR)
        && dbus_message_get_reply_serial(message) == state.callSerial && !state.replied && !state.failed) {
        if (type == DBUS_MESSAGE_TYPE_ERROR) {
            state.failed = true;
            DBusError error;
            dbus_error_init(&error);
            dbus_set_error_from_message(&error, message);
            state.replyError = std::string(error.name ? error.name : "") + ": " + (error.message ? error.message : "");
            dbus_error_free(&error);
            return DBUS_HANDLER_RESULT_HANDLED;
        }
        const char* handle = nullptr;
        if (dbus_message_get_args(message, nullptr, DBUS_TYPE_OBJECT_PATH, &handle, DBUS_TYPE_INVALID) && handle) {
            state.handle = handle;
            // A portal older than handle_token picks a path of its own: listen there too. Without
            // an error argument the match is sent without waiting for its answer.
            if (state.handle != state.expectedPath)
                dbus_bus_add_match(connection, responseRule(state.handle).c_str(), nullptr);
        } else {
            state.handle = state.expectedPath;
        }
        if (const char* sender = dbus_message_get_sender(message))
            state.portal = sender;
        state.replied = true;
        return DBUS_HANDLER_RESULT_HANDLED;
    }
    if (dbus_message_is_signal(message, REQUEST_INTERFACE, "Response") && !state.responded) {
        const char* path = dbus_message_get_path(message);
        const char* sender = dbus_message_get_sender(message);
        const bool ours = path && (path == state.expectedPath || (state.replied && path == state.handle));
        const bool fromPortal = state.portal.empty() || (sender && state.portal == sender);
        DBusMessageIter arguments;
        if (ours && fromPortal && dbus_message_iter_init(message, &arguments)
            && dbus_message_iter_get_arg_type(&arguments) == DBUS_TYPE_UINT32) {
            dbus_message_iter_get_basic(&arguments, &state.response);
            if (dbus_message_iter_next(&arguments))
                state.uri = firstUri(arguments);
            state.responded = true;
            return DBUS_HANDLER_RESULT_HANDLED;
        }
    }
    return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
}

void closeRequest(DBusConnection* connection, const std::string& handle)
{
    DBusMessage* close = dbus_message_new_method_call(PORTAL_NAME, handle.c_str(), REQUEST_INTERFACE, "Close");
    if (!close)
        return;
    dbus_message_set_no_reply(close, TRUE);
    dbus_connection_send(connection, close, nullptr);
    dbus_connection_flush(connection);
    dbus_message_unref(close);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool pathFromFileUri(std::string_view uri, std::string& path)
{
    path.clear();
    constexpr std::string_view scheme = "file://";
    if (uri.size() < scheme.size())
        return false;
    for (std::size_t i = 0; i < scheme.size(); ++i)
        if ((uri[i] | (i < 4 ? 0x20 : 0)) != scheme[i]) // the scheme is case-insensitive
            return false;
    uri.remove_prefix(scheme.size());
    const std::size_t slash = uri.find('/');
    if (slash == std::string_view::npos)
        return false;
    const std::string_view host = uri.substr(0, slash);
    if (!host.empty() && host != "localhost")
        return false;
    uri.remove_prefix(slash);
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%') {
            const int high = i + 2 < uri.size() ? hexValue(uri[i + 1]) : -1;
            const int low = i + 2 < uri.size() ? hexValue(uri[i + 2]) : -1;
            if (high < 0 || low < 0)
                return false;
            path.push_back(char(high * 16 + low));
            i += 2;
        } else if (uri[i] == '?' || uri[i] == '#') {
            break; // a query or a fragment follows the path
        } else {
            path.push_back(uri[i]);
        }
    }
    return !path.empty() && path.find('\0') == std::string::npos;
}

std::string portalParentWindow(void* sdlWindow)
{
    if (!sdlWindow)
        return {};
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(static_cast<SDL_Window*>(sdlWindow), &info) || info.subsystem != SDL_SYSWM_X11)
        return {}; // a Wayland parent needs an exported surface handle, which SDL 2 does not give
    char text[32];
    std::snprintf(text, sizeof text, "x11:%lx", static_cast<unsigned long>(info.info.x11.window));
    return text;
}

bool pickFolderThroughPortal(FolderPickerAnswer& answer, const std::function<bool()>& stopped, const std::string& parentWindow,
    int callTimeoutMs)
{
    DBusError busError;
    dbus_error_init(&busError);
    DBusConnection* connection = openSessionBus(busError);
    dbus_error_free(&busError);
    if (!connection)
        return false;
    struct Closer {
        DBusConnection* connection;
        ~Closer()
        {
            dbus_connection_close(connection);
            dbus_connection_unref(connection);
        }
    } closer { connection };

    static std::atomic<unsigned> requests { 0 };
    const std::string token = "velbrin" + std::to_string(getpid()) + "_" + std::to_string(++requests);
    RequestState state;
    state.expectedPath = requestPath(dbus_bus_get_unique_name(connection), token);
    // Subscribed before the call, so a Response sent before the reply is read is not missed.
    dbus_bus_add_match(connection, responseRule(state.expectedPath).c_str(), &busError);
    const bool subscribed = !dbus_error_is_set(&busError);
    dbus_error_free(&busError);
    if (!subscribed || !dbus_connection_add_filter(connection, filterMessage, &state, nullptr))
        return false;
    struct FilterRemover {
        DBusConnection* connection;
        RequestState* state;
        ~FilterRemover() { dbus_connection_remove_filter(connection, filterMessage, state); }
    } remover { connection, &state };

    DBusMessage* call = openFileCall(token, parentWindow);
    if (!call)
        return false;
    const bool sent = dbus_connection_send(connection, call, &state.callSerial);
    dbus_message_unref(call);
    if (!sent)
        return false;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(callTimeoutMs);
    while (!state.responded) {
        if (stopped()) {
            if (state.replied)
                closeRequest(connection, state.handle);
            answer = { FolderPickerResult::CANCEL, {}, {} };
            return true;
        }
        if (state.failed)
            return false; // ServiceUnknown, NameHasNoOwner, UnknownMethod...: no usable portal
        if (!state.replied && std::chrono::steady_clock::now() > deadline)
            return false;
        if (!dbus_connection_read_write_dispatch(connection, 100)) {
            if (!state.replied)
                return false;
            answer = { FolderPickerResult::ERROR, {}, "The desktop portal went away while its folder chooser was open." };
            return true;
        }
    }
    if (state.response == 1) {
        answer = { FolderPickerResult::CANCEL, {}, {} };
    } else if (state.response != 0) {
        answer = { FolderPickerResult::ERROR, {}, "The desktop portal's folder chooser failed." };
    } else if (std::string path; pathFromFileUri(state.uri, path)) {
        answer = { FolderPickerResult::OKAY, std::move(path), {} };
    } else {
        answer = { FolderPickerResult::ERROR, {}, "The desktop portal chose no local folder (" + state.uri + ")." };
    }
    return true;
}
