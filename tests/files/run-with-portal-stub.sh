#!/bin/sh
# Runs a test program on a private session bus (dbus-run-session) on which a
# python-dbusmock stand-in (portal_stub.py) owns the desktop portal's name. The
# program finds the stand-in's files in $CVQ_PORTAL_DIR. Fails, saying why, when
# that cannot be set up.
set -u
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3
[ -x "$python" ] || python=python3

if [ "${1:-}" != "--on-private-bus" ]; then
    for tool in dbus-run-session dbus-send; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "cannot run: $tool is not installed (packages dbus, dbus-daemon)"
            exit 1
        fi
    done
    if ! "$python" -c 'import dbusmock, dbus, gi' 2>/dev/null; then
        echo "cannot run: $python cannot import dbusmock (package python3-dbusmock)"
        exit 1
    fi
    exec dbus-run-session -- sh "$here/run-with-portal-stub.sh" --on-private-bus "$@"
fi
shift

CVQ_PORTAL_DIR=$(mktemp -d)
export CVQ_PORTAL_DIR
"$python" -m dbusmock --session --template "$here/portal_stub.py" >"$CVQ_PORTAL_DIR/stub.log" 2>&1 &
stub=$!
trap 'kill $stub 2>/dev/null; wait $stub 2>/dev/null; rm -rf "$CVQ_PORTAL_DIR"' EXIT
i=0
until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.portal.Desktop 2>/dev/null |
        grep -q 'boolean true'; do
    if ! kill -0 $stub 2>/dev/null; then
        echo "cannot run: the stand-in portal did not start:"
        cat "$CVQ_PORTAL_DIR/stub.log"
        exit 1
    fi
    i=$((i + 1))
    if [ $i -gt 500 ]; then
        echo "cannot run: the stand-in portal took no name within 10 seconds"
        exit 1
    fi
    sleep 0.02
done
"$@"
status=$?
if [ $status -ne 0 ]; then
    echo "--- stand-in portal log"
    cat "$CVQ_PORTAL_DIR/stub.log"
fi
exit $status
