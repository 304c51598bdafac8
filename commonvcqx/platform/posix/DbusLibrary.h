// libdbus-1, loaded on the first dialog that asks for the desktop portal. Linking it
// would map it and the half-dozen libraries it needs (libsystemd, libgcrypt, lzma, ...)
// into every process the library serves, short ones included, for a dialog that most
// of them never open.
//
//   if (const TDbusLibrary* dbus = DbusLibrary()) dbus->dbus_message_unref(message);
#pragma once

#include <dbus/dbus.h>

#define CVQ_DBUS_FUNCTIONS(X)                 \
    X(dbus_bus_add_match)                     \
    X(dbus_bus_get_private)                   \
    X(dbus_bus_get_unique_name)               \
    X(dbus_connection_close)                  \
    X(dbus_connection_flush)                  \
    X(dbus_connection_get_is_connected)       \
    X(dbus_connection_get_unix_fd)            \
    X(dbus_connection_pop_message)            \
    X(dbus_connection_read_write)             \
    X(dbus_connection_send)                   \
    X(dbus_connection_set_exit_on_disconnect) \
    X(dbus_connection_unref)                  \
    X(dbus_error_free)                        \
    X(dbus_error_init)                        \
    X(dbus_error_is_set)                      \
    X(dbus_message_get_args)                  \
    X(dbus_message_get_error_name)            \
    X(dbus_message_get_path)                  \
    X(dbus_message_get_reply_serial)          \
    X(dbus_message_get_type)                  \
    X(dbus_message_is_signal)                 \
    X(dbus_message_iter_append_basic)         \
    X(dbus_message_iter_append_fixed_array)   \
    X(dbus_message_iter_close_container)      \
    X(dbus_message_iter_get_arg_type)         \
    X(dbus_message_iter_get_basic)            \
    X(dbus_message_iter_init)                 \
    X(dbus_message_iter_init_append)          \
    X(dbus_message_iter_next)                 \
    X(dbus_message_iter_open_container)       \
    X(dbus_message_iter_recurse)              \
    X(dbus_message_new_method_call)           \
    X(dbus_message_unref)                     \
    X(dbus_threads_init_default)

namespace cvq::platform {

struct TDbusLibrary {
#define CVQ_DBUS_POINTER(name) decltype(&::name) name;
    CVQ_DBUS_FUNCTIONS(CVQ_DBUS_POINTER)
#undef CVQ_DBUS_POINTER
};

/// The loaded library with every function resolved, or null when libdbus-1 is not
/// installed (the portal is then unavailable). Loaded once; it stays loaded.
const TDbusLibrary* DbusLibrary();

}  // namespace cvq::platform
