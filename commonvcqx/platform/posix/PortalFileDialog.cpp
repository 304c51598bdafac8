// The XDG desktop portal's FileChooser over a private connection to the session bus
// (libdbus-1, loaded on first use): OpenFile or SaveFile, then the Response signal of the request
// object. The connection is private to one dialog, so that dialogs on several threads and the
// host's own use of the bus never share one.
#include <commonvcqx/platform/internal/FileDialogs.h>

#include "DbusLibrary.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

#include <unistd.h>

namespace cvq::platform {

namespace {

constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kChooser = "org.freedesktop.portal.FileChooser";
constexpr const char* kRequest = "org.freedesktop.portal.Request";
constexpr const char* kReadOnlyChoice = "read-only";

std::atomic<uint32_t> g_tokens{0};

// Valid once Run has found the library loaded.
const TDbusLibrary& Dbus() {
    return *DbusLibrary();
}

// Without an address libdbus would start a bus of its own (X11 autolaunch); a dialog
// only makes sense on the session's existing bus.
bool SessionBusKnown() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return false;
    return access((std::string(runtime) + "/bus").c_str(), F_OK) == 0;
}

class TError {
public:
    TError() { Dbus().dbus_error_init(&m_error); }
    ~TError() { Dbus().dbus_error_free(&m_error); }
    TError(const TError&) = delete;
    TError& operator=(const TError&) = delete;
    DBusError* Get() { return &m_error; }

private:
    DBusError m_error;
};

struct TConnectionCloser {
    void operator()(DBusConnection* connection) const {
        Dbus().dbus_connection_close(connection);
        Dbus().dbus_connection_unref(connection);
    }
};
using TConnection = std::unique_ptr<DBusConnection, TConnectionCloser>;

struct TMessageUnref {
    void operator()(DBusMessage* message) const { Dbus().dbus_message_unref(message); }
};
using TMessage = std::unique_ptr<DBusMessage, TMessageUnref>;

// Writing: every append is checked once, at the end, through m_ok (libdbus fails only
// when out of memory or on a signature mistake).
class TWriter {
public:
    explicit TWriter(DBusMessageIter* iter) : m_iter(iter) {}
    bool Ok() const { return m_ok; }

    void String(DBusMessageIter* iter, const std::string& text) {
        const char* value = text.c_str();
        m_ok = m_ok && Dbus().dbus_message_iter_append_basic(iter, DBUS_TYPE_STRING, &value);
    }
    void Uint32(DBusMessageIter* iter, uint32_t value) {
        m_ok = m_ok && Dbus().dbus_message_iter_append_basic(iter, DBUS_TYPE_UINT32, &value);
    }
    void Boolean(DBusMessageIter* iter, bool flag) {
        dbus_bool_t value = flag;
        m_ok = m_ok && Dbus().dbus_message_iter_append_basic(iter, DBUS_TYPE_BOOLEAN, &value);
    }
    void Bytes(DBusMessageIter* iter, const char* data, int length) {
        m_ok = m_ok &&
               Dbus().dbus_message_iter_append_fixed_array(iter, DBUS_TYPE_BYTE, &data, length);
    }
    void Open(DBusMessageIter* outer, int type, const char* signature, DBusMessageIter* inner) {
        m_ok = m_ok && Dbus().dbus_message_iter_open_container(outer, type, signature, inner);
    }
    void Close(DBusMessageIter* outer, DBusMessageIter* inner) {
        m_ok = m_ok && Dbus().dbus_message_iter_close_container(outer, inner);
    }

    // One "name" -> variant of `signature` entry of the options dictionary.
    template <class TBody>
    void Option(const char* name, const char* signature, TBody body) {
        DBusMessageIter entry, variant;
        Open(m_iter, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
        String(&entry, name);
        Open(&entry, DBUS_TYPE_VARIANT, signature, &variant);
        if (m_ok) body(&variant);
        Close(&entry, &variant);
        Close(m_iter, &entry);
    }
    // A filter: (sa(us)), every pattern a shell pattern (kind 0).
    void Filter(DBusMessageIter* iter, const TDialogFilter& filter) {
        DBusMessageIter structure, patterns, pattern;
        Open(iter, DBUS_TYPE_STRUCT, nullptr, &structure);
        String(&structure, filter.description);
        Open(&structure, DBUS_TYPE_ARRAY, "(us)", &patterns);
        for (const std::string& text : filter.patterns) {
            Open(&patterns, DBUS_TYPE_STRUCT, nullptr, &pattern);
            Uint32(&pattern, 0);
            String(&pattern, text);
            Close(&patterns, &pattern);
        }
        Close(&structure, &patterns);
        Close(iter, &structure);
    }

private:
    DBusMessageIter* m_iter;
    bool m_ok = true;
};

bool AppendOptions(DBusMessageIter* args, const TFileDialogRequest& request,
                   const std::string& token) {
    DBusMessageIter options;
    if (!Dbus().dbus_message_iter_open_container(args, DBUS_TYPE_ARRAY, "{sv}", &options))
        return false;
    TWriter w(&options);
    w.Option("handle_token", "s", [&](DBusMessageIter* v) { w.String(v, token); });
    w.Option("modal", "b", [&](DBusMessageIter* v) { w.Boolean(v, true); });
    if (!request.save)
        w.Option("multiple", "b", [&](DBusMessageIter* v) { w.Boolean(v, request.multiple); });
    if (!request.filters.empty()) {
        w.Option("filters", "a(sa(us))", [&](DBusMessageIter* v) {
            DBusMessageIter list;
            w.Open(v, DBUS_TYPE_ARRAY, "(sa(us))", &list);
            for (const TDialogFilter& filter : request.filters) w.Filter(&list, filter);
            w.Close(v, &list);
        });
        const size_t current =
            request.currentFilter >= 0 && size_t(request.currentFilter) < request.filters.size()
                ? size_t(request.currentFilter)
                : 0;
        w.Option("current_filter", "(sa(us))",
                 [&](DBusMessageIter* v) { w.Filter(v, request.filters[current]); });
    }
    if (request.showReadOnly) {
        w.Option("choices", "a(ssa(ss)s)", [&](DBusMessageIter* v) {
            DBusMessageIter list, choice, none;
            w.Open(v, DBUS_TYPE_ARRAY, "(ssa(ss)s)", &list);
            w.Open(&list, DBUS_TYPE_STRUCT, nullptr, &choice);
            w.String(&choice, kReadOnlyChoice);
            w.String(&choice, "Open as read-only");
            // No options: a check box, its state "true" or "false".
            w.Open(&choice, DBUS_TYPE_ARRAY, "(ss)", &none);
            w.Close(&choice, &none);
            w.String(&choice, request.readOnly ? "true" : "false");
            w.Close(&list, &choice);
            w.Close(v, &list);
        });
    }
    if (!request.folder.empty()) {
        // A byte string with its final NUL.
        w.Option("current_folder", "ay", [&](DBusMessageIter* v) {
            DBusMessageIter bytes;
            w.Open(v, DBUS_TYPE_ARRAY, "y", &bytes);
            w.Bytes(&bytes, request.folder.c_str(), int(request.folder.size() + 1));
            w.Close(v, &bytes);
        });
    }
    if (request.save && !request.name.empty())
        w.Option("current_name", "s", [&](DBusMessageIter* v) { w.String(v, request.name); });
    const bool ok = w.Ok();
    return Dbus().dbus_message_iter_close_container(args, &options) && ok;
}

// Reading the Response's results: uris (as), choices (a(ss)), current_filter (sa(us)).
bool ReadStrings(DBusMessageIter* variant, std::vector<std::string>& strings) {
    if (Dbus().dbus_message_iter_get_arg_type(variant) != DBUS_TYPE_ARRAY) return false;
    DBusMessageIter list;
    Dbus().dbus_message_iter_recurse(variant, &list);
    for (; Dbus().dbus_message_iter_get_arg_type(&list) == DBUS_TYPE_STRING;
         Dbus().dbus_message_iter_next(&list)) {
        const char* text = nullptr;
        Dbus().dbus_message_iter_get_basic(&list, &text);
        strings.emplace_back(text);
    }
    return true;
}

std::string ReadFirstString(DBusMessageIter* structure) {
    if (Dbus().dbus_message_iter_get_arg_type(structure) != DBUS_TYPE_STRING) return {};
    const char* text = nullptr;
    Dbus().dbus_message_iter_get_basic(structure, &text);
    return text;
}

void ReadChoices(DBusMessageIter* variant, TFileDialogAnswer& answer) {
    if (Dbus().dbus_message_iter_get_arg_type(variant) != DBUS_TYPE_ARRAY) return;
    DBusMessageIter list;
    Dbus().dbus_message_iter_recurse(variant, &list);
    for (; Dbus().dbus_message_iter_get_arg_type(&list) == DBUS_TYPE_STRUCT;
         Dbus().dbus_message_iter_next(&list)) {
        DBusMessageIter pair;
        Dbus().dbus_message_iter_recurse(&list, &pair);
        const std::string id = ReadFirstString(&pair);
        if (!Dbus().dbus_message_iter_next(&pair)) continue;
        if (id == kReadOnlyChoice) answer.readOnly = ReadFirstString(&pair) == "true" ? 1 : 0;
    }
}

void ReadCurrentFilter(DBusMessageIter* variant, const TFileDialogRequest& request,
                       TFileDialogAnswer& answer) {
    if (Dbus().dbus_message_iter_get_arg_type(variant) != DBUS_TYPE_STRUCT) return;
    DBusMessageIter structure;
    Dbus().dbus_message_iter_recurse(variant, &structure);
    const std::string name = ReadFirstString(&structure);
    for (size_t i = 0; i < request.filters.size(); ++i) {
        if (request.filters[i].description == name) {
            answer.filter = int(i);
            return;
        }
    }
}

TFileDialogAnswer ReadResponse(DBusMessage* signal, const TFileDialogRequest& request) {
    TFileDialogAnswer answer;
    answer.outcome = EDialogOutcome::kFailed;
    DBusMessageIter args;
    if (!Dbus().dbus_message_iter_init(signal, &args) ||
        Dbus().dbus_message_iter_get_arg_type(&args) != DBUS_TYPE_UINT32)
        return answer;
    uint32_t response = 0;
    Dbus().dbus_message_iter_get_basic(&args, &response);
    if (response == 1) {
        answer.outcome = EDialogOutcome::kCancelled;
        return answer;
    }
    if (response != 0 || !Dbus().dbus_message_iter_next(&args) ||
        Dbus().dbus_message_iter_get_arg_type(&args) != DBUS_TYPE_ARRAY)
        return answer;
    std::vector<std::string> uris;
    DBusMessageIter results;
    Dbus().dbus_message_iter_recurse(&args, &results);
    for (; Dbus().dbus_message_iter_get_arg_type(&results) == DBUS_TYPE_DICT_ENTRY;
         Dbus().dbus_message_iter_next(&results)) {
        DBusMessageIter entry, variant;
        Dbus().dbus_message_iter_recurse(&results, &entry);
        const std::string key = ReadFirstString(&entry);
        if (!Dbus().dbus_message_iter_next(&entry) ||
            Dbus().dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_VARIANT)
            continue;
        Dbus().dbus_message_iter_recurse(&entry, &variant);
        if (key == "uris" && !ReadStrings(&variant, uris)) return answer;
        if (key == "choices") ReadChoices(&variant, answer);
        if (key == "current_filter") ReadCurrentFilter(&variant, request, answer);
    }
    if (uris.empty() || (!request.multiple && uris.size() > 1)) return answer;
    for (const std::string& uri : uris) {
        std::string path;
        if (!DecodeFileUri(uri, path)) return answer;
        answer.paths.push_back(std::move(path));
    }
    answer.outcome = EDialogOutcome::kChosen;
    return answer;
}

// The portal is absent (or too old for the call), as opposed to failing.
bool MeansUnavailable(const char* errorName) {
    static const char* const kNames[] = {
        DBUS_ERROR_SERVICE_UNKNOWN, DBUS_ERROR_NAME_HAS_NO_OWNER, DBUS_ERROR_UNKNOWN_METHOD,
        DBUS_ERROR_UNKNOWN_OBJECT,  DBUS_ERROR_UNKNOWN_INTERFACE,
    };
    for (const char* name : kNames)
        if (errorName && std::string_view(errorName) == name) return true;
    return false;
}

class TPortalFileDialog : public AFileDialog {
public:
    TFileDialogAnswer Run(const TFileDialogRequest& request,
                          const std::function<void()>& serveQueue) override {
        TFileDialogAnswer answer;
        if (!SessionBusKnown() || !DbusLibrary()) return answer;
        static std::once_flag threads;
        std::call_once(threads, [] { Dbus().dbus_threads_init_default(); });
        TError error;
        TConnection connection(Dbus().dbus_bus_get_private(DBUS_BUS_SESSION, error.Get()));
        if (!connection) return answer;
        Dbus().dbus_connection_set_exit_on_disconnect(connection.get(), FALSE);

        // The request object's path is known before the call, so that a Response
        // sent before the call's reply is not missed.
        std::string sender = Dbus().dbus_bus_get_unique_name(connection.get());
        if (!sender.empty() && sender[0] == ':') sender.erase(0, 1);
        for (char& c : sender)
            if (c == '.') c = '_';
        const std::string token =
            "cvq" + std::to_string(getpid()) + "_" + std::to_string(g_tokens.fetch_add(1) + 1);
        const std::string expected = std::string(kPortalPath) + "/request/" + sender + "/" + token;
        const std::string rule =
            std::string("type='signal',interface='") + kRequest + "',member='Response'";
        Dbus().dbus_bus_add_match(connection.get(), rule.c_str(), error.Get());
        if (Dbus().dbus_error_is_set(error.Get())) return answer;

        TMessage call(Dbus().dbus_message_new_method_call(kPortalName, kPortalPath, kChooser,
                                                          request.save ? "SaveFile" : "OpenFile"));
        if (!call) return answer;
        DBusMessageIter args;
        Dbus().dbus_message_iter_init_append(call.get(), &args);
        const char* parent = "";
        const char* title = request.title.c_str();
        if (!Dbus().dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &parent) ||
            !Dbus().dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &title) ||
            !AppendOptions(&args, request, token))
            return answer;
        dbus_uint32_t serial = 0;
        if (!Dbus().dbus_connection_send(connection.get(), call.get(), &serial)) return answer;
        Dbus().dbus_connection_flush(connection.get());

        int fd = -1;
        if (!Dbus().dbus_connection_get_unix_fd(connection.get(), &fd)) return answer;
        std::string handle;  // the path the portal answered with, once it has
        answer.outcome = EDialogOutcome::kFailed;
        for (;;) {
            while (TMessage message{Dbus().dbus_connection_pop_message(connection.get())}) {
                DBusMessage* m = message.get();
                const int type = Dbus().dbus_message_get_type(m);
                if (type == DBUS_MESSAGE_TYPE_ERROR &&
                    Dbus().dbus_message_get_reply_serial(m) == serial) {
                    if (MeansUnavailable(Dbus().dbus_message_get_error_name(m)))
                        answer.outcome = EDialogOutcome::kUnavailable;
                    return answer;
                }
                if (type == DBUS_MESSAGE_TYPE_METHOD_RETURN &&
                    Dbus().dbus_message_get_reply_serial(m) == serial) {
                    const char* path = nullptr;
                    if (!Dbus().dbus_message_get_args(m, nullptr, DBUS_TYPE_OBJECT_PATH, &path,
                                                      DBUS_TYPE_INVALID))
                        return answer;
                    handle = path;
                    continue;
                }
                if (Dbus().dbus_message_is_signal(m, kRequest, "Response")) {
                    const char* path = Dbus().dbus_message_get_path(m);
                    if (path && (path == expected || path == handle))
                        return ReadResponse(m, request);
                }
            }
            if (!Dbus().dbus_connection_get_is_connected(connection.get())) return answer;
            if (!WaitServingQueue(fd, serveQueue)) return answer;
            if (!Dbus().dbus_connection_read_write(connection.get(), 0)) return answer;
        }
    }
};

}  // namespace

std::unique_ptr<AFileDialog> CreatePortalFileDialog() {
    return std::make_unique<TPortalFileDialog>();
}

}  // namespace cvq::platform
