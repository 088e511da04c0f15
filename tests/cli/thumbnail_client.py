"""What a file manager does to get thumbnails from the desktop's service:
detect each file's MIME type, Queue the files on
org.freedesktop.thumbnails.Thumbnailer1 and wait for its signals (which the
service sends to the asking connection only). Prints one line per fact:
  type FILE MIME
  ready URI
  error URI CODE MESSAGE
  finished
Usage: thumbnail_client.py FLAVOR FILE..."""
import sys

from gi.repository import Gio, GLib

SERVICE = "org.freedesktop.thumbnails.Thumbnailer1"
PATH = "/org/freedesktop/thumbnails/Thumbnailer1"


def main():
    flavor, files = sys.argv[1], [Gio.File.new_for_path(f) for f in sys.argv[2:]]
    uris, types = [], []
    for f in files:
        mime = f.query_info("standard::content-type", Gio.FileQueryInfoFlags.NONE, None).get_content_type()
        print("type", f.get_basename(), mime)
        uris.append(f.get_uri())
        types.append(mime)
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    loop = GLib.MainLoop()
    handle = None

    def on_signal(_bus, _sender, _path, _interface, member, args):
        if handle is None or args[0] != handle:
            return
        if member == "Ready":
            for uri in args[1]:
                print("ready", uri)
        elif member == "Error":
            for uri in args[1]:
                print("error", uri, args[2], args[3].replace("\n", " "))
        elif member == "Finished":
            print("finished")
            loop.quit()

    bus.signal_subscribe(None, SERVICE, None, PATH, None, Gio.DBusSignalFlags.NONE, on_signal)
    reply = bus.call_sync(SERVICE, PATH, SERVICE, "Queue",
                          GLib.Variant("(asasssu)", (uris, types, flavor, "default", 0)),
                          GLib.VariantType("(u)"), Gio.DBusCallFlags.NONE, 10000, None)
    handle = reply.unpack()[0]
    GLib.timeout_add_seconds(60, lambda: (print("timeout"), loop.quit()))
    loop.run()


main()
