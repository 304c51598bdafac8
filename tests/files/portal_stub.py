'''python-dbusmock template: a stand-in for the desktop portal's FileChooser.

Each OpenFile or SaveFile call is written to $CVQ_PORTAL_DIR/request, one
"key=value" line per argument and option, and answered from the "key=value" lines
of $CVQ_PORTAL_DIR/reply:
  error=NAME           fail the call with this D-Bus error
  response=N           the Response code (0 chosen, 1 cancelled, 2 other)
  uris=U1 U2           the chosen URIs
  choices=ID:VALUE     the state of a choice
  current_filter=NAME  the filter the user ended with
  wait=PATH            send the Response only once PATH exists (at most 10 s)
The Response comes after the call's reply, on the request path the portal names
from the caller's handle_token.
'''

import os

import dbus
from gi.repository import GLib

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.FileChooser'
SYSTEM_BUS = False


def _filter_text(value):
    return value[0] + ':' + ','.join(str(p[1]) for p in value[1])


def _describe(key, value):
    if key in ('modal', 'multiple', 'directory'):
        return 'true' if value else 'false'
    if key == 'filters':
        return ';'.join(_filter_text(f) for f in value)
    if key == 'current_filter':
        return _filter_text(value)
    if key == 'choices':
        return ';'.join(f'{c[0]}:{c[1]}:{c[3]}' for c in value)
    if key == 'current_folder':
        raw = bytes(value)
        return raw[:-1].decode('utf-8', 'replace') if raw.endswith(b'\0') else '(no NUL) ' + raw.decode('utf-8', 'replace')
    return str(value)


def _record(method, args):
    parent, title, options = args
    lines = [f'method={method}', f'parent={parent}', f'title={title}']
    for key in sorted(options):
        value = _describe(key, options[key])
        if key == 'handle_token':
            value = 'cvq' if str(options[key]).startswith('cvq') else value
        lines.append(f'{key}={value}')
    with open(os.path.join(os.environ['CVQ_PORTAL_DIR'], 'request'), 'w', encoding='utf-8') as out:
        out.write('\n'.join(lines) + '\n')


def _reply():
    reply = {}
    try:
        with open(os.path.join(os.environ['CVQ_PORTAL_DIR'], 'reply'), encoding='utf-8') as source:
            for line in source:
                key, _, value = line.rstrip('\n').partition('=')
                reply[key] = value
    except FileNotFoundError:
        pass
    return reply


def _results(reply):
    results = dbus.Dictionary({}, signature='sv')
    if reply.get('uris'):
        results['uris'] = dbus.Array(reply['uris'].split(' '), signature='s')
    if reply.get('choices'):
        pairs = [dbus.Struct(c.split(':', 1), signature='ss') for c in reply['choices'].split(';')]
        results['choices'] = dbus.Array(pairs, signature='(ss)')
    if reply.get('current_filter'):
        results['current_filter'] = dbus.Struct(
            (reply['current_filter'], dbus.Array([], signature='(us)')), signature='sa(us)')
    return results


def _answer(mock, method, args, sender):
    _record(method, args)
    reply = _reply()
    if reply.get('error'):
        raise dbus.exceptions.DBusException('refused by the stub', name=reply['error'])
    token = str(args[2].get('handle_token', 'stub'))
    unique = sender.lstrip(':').replace('.', '_')
    path = f'{MAIN_OBJ}/request/{unique}/{token}'
    code = dbus.UInt32(int(reply.get('response', '0')))
    results = _results(reply)
    waited = [0]

    def respond():
        wait = reply.get('wait')
        if wait and not os.path.exists(wait) and waited[0] < 1000:
            waited[0] += 1
            return True
        mock.EmitSignalDetailed('org.freedesktop.portal.Request', 'Response', 'ua{sv}',
                                [code, results], {'path': dbus.ObjectPath(path)})
        return False

    GLib.timeout_add(10, respond)
    return dbus.ObjectPath(path)


def _method(name):
    def method(self, parent, title, options, sender=None):
        return _answer(self, name, (parent, title, options), sender)

    method.__name__ = name
    return dbus.service.method(MAIN_IFACE, in_signature='ssa{sv}', out_signature='o',
                               sender_keyword='sender')(method)


def load(mock, parameters):
    del parameters
    # Registered the dbus-python way rather than with AddMethods, so that the method
    # learns the caller's unique name and can name the request path as the portal does.
    for name in ('OpenFile', 'SaveFile'):
        mock.methods.setdefault(MAIN_IFACE, {})[name] = ('ssa{sv}', 'o', '', _method(name))
