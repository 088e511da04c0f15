"""What a file manager does to get thumbnails from the desktop's service:
detect each file's MIME type, Queue the files on
org.freedesktop.thumbnails.Thumbnailer1 and wait for its signals (which the
service sends to the asking connection only). A file manager zoomed in
queues the same files several times over and at several sizes; --repeat N
sends every request N times at once, one Queue call per flavor and repeat,
before waiting for any answer. Prints one line per fact:
  type FILE MIME
  ready FLAVOR URI
  error FLAVOR URI CODE MESSAGE
  finished FLAVOR
  timeout
Usage: thumbnail_client.py [--repeat N] FLAVOR[,FLAVOR...] FILE..."""
import sys

from gi.repository import Gio, GLib

SERVICE = "org.freedesktop.thumbnails.Thumbnailer1"
PATH = "/org/freedesktop/thumbnails/Thumbnailer1"


def main():
    args = sys.argv[1:]
    repeat = 1
    if args[0] == "--repeat":
        repeat, args = int(args[1]), args[2:]
    flavors, files = args[0].split(","), [Gio.File.new_for_path(f) for f in args[1:]]
    uris, types = [], []
    for f in files:
        mime = f.query_info("standard::content-type", Gio.FileQueryInfoFlags.NONE, None).get_content_type()
        print("type", f.get_basename(), mime)
        uris.append(f.get_uri())
        types.append(mime)
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    loop = GLib.MainLoop()
    # handle -> flavor; signals may arrive before the reply that names the
    # handle, so they wait in `early` until it is known.
    requests, early, pending = {}, [], [0]

    def record(handle, member, args):
        flavor = requests[handle]
        if member == "Ready":
            for uri in args[1]:
                print("ready", flavor, uri)
        elif member == "Error":
            for uri in args[1]:
                print("error", flavor, uri, args[2], args[3].replace("\n", " "))
        elif member == "Finished":
            print("finished", flavor)
            pending[0] -= 1
            if pending[0] == 0:
                loop.quit()

    def on_signal(_bus, _sender, _path, _interface, member, args):
        if member not in ("Ready", "Error", "Finished"):
            return
        if args[0] in requests:
            record(args[0], member, args)
        else:
            early.append((args[0], member, args))

    def on_reply(connection, result, flavor):
        handle = connection.call_finish(result).unpack()[0]
        requests[handle] = flavor
        for entry in [e for e in early if e[0] == handle]:
            early.remove(entry)
            record(*entry)

    bus.signal_subscribe(None, SERVICE, None, PATH, None, Gio.DBusSignalFlags.NONE, on_signal)
    for _ in range(repeat):
        for flavor in flavors:
            pending[0] += 1
            bus.call(SERVICE, PATH, SERVICE, "Queue",
                     GLib.Variant("(asasssu)", (uris, types, flavor, "default", 0)),
                     GLib.VariantType("(u)"), Gio.DBusCallFlags.NONE, 10000, None, on_reply, flavor)
    GLib.timeout_add_seconds(90, lambda: (print("timeout"), loop.quit()))
    loop.run()


main()
