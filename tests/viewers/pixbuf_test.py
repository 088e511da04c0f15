#!/usr/bin/python3
"""The gdk-pixbuf loader as applications use it, through GdkPixbuf's own
Python binding: every object of the samples, both corpora and the hostile
seeds is loaded whole, at a size, and fed in random pieces, and must give
exactly the pixels of `qavren thumbnail` at that size, or a GError where the
command refuses the file. Usage:
pixbuf_test.py LOADER QAVREN LWOGEN SOURCE_DIR"""
import os
import random
import subprocess
import sys
import tempfile
import threading
import unittest

LOADER, QAVREN, LWOGEN, SOURCE = sys.argv[1:5]
del sys.argv[1:5]
WORK = tempfile.TemporaryDirectory(prefix="pixbuf_test.")

# A private loader cache naming only the built loader (and the system's PNG
# loader, to read the command's pictures back), and the MIME package's magic,
# so that content sniffing knows image/x-lwo as an installed system would.
def _setup():
    query = "/usr/lib/x86_64-linux-gnu/gdk-pixbuf-2.0/gdk-pixbuf-query-loaders"
    query = os.environ.get("GDK_PIXBUF_QUERY_LOADERS", query)
    system = subprocess.run([query], capture_output=True, text=True, check=True).stdout
    ours = subprocess.run([query, LOADER], capture_output=True, text=True, check=True).stdout
    global ENTRY
    ENTRY = ours
    if '"lwo"' not in ours:
        sys.exit("pixbuf_test: gdk-pixbuf-query-loaders found no lwo format in " + LOADER)
    png = [block for block in system.split("\n\n") if 'libpixbufloader-png' in block]
    cache = os.path.join(WORK.name, "loaders.cache")
    with open(cache, "w") as f:
        f.write(ours + "\n" + "\n\n".join(png) + "\n")
    os.environ["GDK_PIXBUF_MODULE_FILE"] = cache
    mime = os.path.join(WORK.name, "share", "mime")
    os.makedirs(os.path.join(mime, "packages"))
    with open(os.path.join(SOURCE, "share/mime/packages/qavren-lwo.xml"), "rb") as src, \
         open(os.path.join(mime, "packages", "qavren-lwo.xml"), "wb") as dst:
        dst.write(src.read())
    subprocess.run(["update-mime-database", mime], check=True, capture_output=True)
    os.environ["XDG_DATA_HOME"] = os.path.join(WORK.name, "share")


_setup()
try:
    import gi  # (after the environment the loader cache is read from)
    gi.require_version("GdkPixbuf", "2.0")
    from gi.repository import GdkPixbuf, GLib
except (ImportError, ValueError) as missing:
    print("pixbuf_test: skipped: no GdkPixbuf for Python (python3-gi, gir1.2-gdkpixbuf-2.0): %s" % missing)
    sys.exit(0)


def objects():
    """(name, path) of every object the table runs over."""
    seeds = os.path.join(WORK.name, "seeds")
    os.makedirs(seeds)
    subprocess.run([LWOGEN, "seeds", seeds], check=True)
    folders = [os.path.join(SOURCE, "examples"), seeds,
               os.path.join(SOURCE, "../shared/corpus/lwo"), os.path.join(SOURCE, "../shared/corpus/lwo2")]
    found = []
    for folder in folders:
        if not os.path.isdir(folder):
            continue
        for name in sorted(os.listdir(folder)):
            if name.lower().endswith(".lwo"):
                found.append((os.path.basename(folder) + "/" + name, os.path.join(folder, name)))
    return found


def rgba_rows(pixbuf):
    """The pixels as tight RGBA rows, an opaque alpha added where there is none."""
    if not pixbuf.get_has_alpha():
        pixbuf = pixbuf.add_alpha(False, 0, 0, 0)
    data = pixbuf.read_pixel_bytes().get_data()
    stride, row = pixbuf.get_rowstride(), 4 * pixbuf.get_width()
    return b"".join(data[y * stride:y * stride + row] for y in range(pixbuf.get_height()))


def command_picture(path, width, height):
    """`qavren thumbnail -s WxH`'s picture as (width, height, rows), or None when it refuses."""
    out = os.path.join(WORK.name, "oracle.png")
    done = subprocess.run([QAVREN, "thumbnail", "-s", "%dx%d" % (width, height), path, out],
                          capture_output=True, timeout=60)
    if done.returncode != 0:
        return None
    png = GdkPixbuf.Pixbuf.new_from_file(out)
    return png.get_width(), png.get_height(), rgba_rows(png)


def picture(pixbuf):
    return pixbuf.get_width(), pixbuf.get_height(), rgba_rows(pixbuf)


def load_in_pieces(data, rng, size=None, events=None):
    """A PixbufLoader fed `data` in random piece sizes, as eog feeds it."""
    loader = GdkPixbuf.PixbufLoader()
    def prepared_size(_loader, width, height):
        if events is not None:
            events.append(("size", width, height))
        if size:
            loader.set_size(*size)
    loader.connect("size-prepared", prepared_size)
    if events is not None:
        loader.connect("area-prepared", lambda _l: events.append(("prepared",)))
        loader.connect("area-updated", lambda _l, x, y, w, h: events.append(("updated", x, y, w, h)))
    try:
        at = 0
        while at < len(data):
            piece = rng.choice([1, 2, 3, 7, 11, 64, 500, 4096, 65536])
            loader.write(data[at:at + piece])
            at += piece
    finally:
        try:
            loader.close()
        except GLib.Error:
            if at >= len(data):
                raise
    return loader.get_pixbuf()


class Loader(unittest.TestCase):
    def test_every_object_as_the_command_draws_it(self):
        rng = random.Random(20)
        cases = objects()
        self.assertGreater(len(cases), 40)
        drawn = refused = 0
        for name, path in cases:
            with self.subTest(object=name):
                expected = command_picture(path, 96, 72)
                with open(path, "rb") as f:
                    data = f.read()
                ways = [("at size", lambda: GdkPixbuf.Pixbuf.new_from_file_at_size(path, 96, 96)),
                        ("in pieces", lambda: load_in_pieces(data, rng, size=(96, 72)))]
                for way, load in ways:
                    if expected is None:
                        with self.assertRaises(GLib.Error, msg=way) as caught:
                            load()
                        self.assertTrue(caught.exception.matches(GdkPixbuf.PixbufError.quark(),
                                                                 caught.exception.code) or
                                        caught.exception.domain == "gdk-pixbuf-error-quark", way)
                    else:
                        self.assertEqual(picture(load()), expected, way)
                drawn += expected is not None
                refused += expected is None
        # Both kinds are in the table, so neither branch is vacuous.
        self.assertGreater(drawn, 20)
        self.assertGreater(refused, 10)

    def test_whole_file_at_the_default_size(self):
        for name in ("cube.lwo", "torus.lwo"):
            path = os.path.join(SOURCE, "examples", name)
            with self.subTest(object=name):
                pixbuf = GdkPixbuf.Pixbuf.new_from_file(path)
                self.assertEqual(pixbuf.get_has_alpha(), True)
                self.assertEqual(picture(pixbuf), command_picture(path, 800, 600))
                fmt, width, height = GdkPixbuf.Pixbuf.get_file_info(path)
                self.assertEqual((fmt.get_name(), width, height), ("lwo", 800, 600))
                self.assertEqual(fmt.get_mime_types(), ["image/x-lwo"])

    def test_loads_on_two_threads_at_once(self):
        """The loader says it is thread-safe: two threads loading at once get
        the pictures one thread gets."""
        self.assertIn('"lwo" %d ' % 4, ENTRY)  # GDK_PIXBUF_FORMAT_THREADSAFE
        paths = [os.path.join(SOURCE, "examples", name) for name in ("cube.lwo", "torus.lwo")]
        alone = [picture(GdkPixbuf.Pixbuf.new_from_file_at_size(p, 200, 150)) for p in paths]
        together = [None, None]
        def load(k):
            together[k] = [picture(GdkPixbuf.Pixbuf.new_from_file_at_size(paths[k], 200, 150)) for _ in range(3)]
        threads = [threading.Thread(target=load, args=(k,)) for k in range(2)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(together, [[alone[0]] * 3, [alone[1]] * 3])

    def test_signals_in_order_once_each(self):
        with open(os.path.join(SOURCE, "examples", "cube.lwo"), "rb") as f:
            data = f.read()
        events = []
        load_in_pieces(data, random.Random(3), size=(40, 30), events=events)
        self.assertEqual(events, [("size", 800, 600), ("prepared",), ("updated", 0, 0, 40, 30)])

    def test_damage_found_where_it_shows(self):
        with open(os.path.join(SOURCE, "examples", "cube.lwo"), "rb") as f:
            cube = f.read()
        # (what is fed, the error code, whether write() already refuses it)
        table = [
            ("a PNG picture", b"\x89PNG\r\n\x1a\n" + bytes(64), GdkPixbuf.PixbufError.CORRUPT_IMAGE, True),
            ("a FORM of another type", b"FORM\x00\x00\x00\x04ILBM" + bytes(20), GdkPixbuf.PixbufError.CORRUPT_IMAGE, True),
            ("the header alone", cube[:12], GdkPixbuf.PixbufError.CORRUPT_IMAGE, False),
            ("cut inside the points", cube[:40], GdkPixbuf.PixbufError.CORRUPT_IMAGE, False),
            ("eleven bytes", cube[:11], GdkPixbuf.PixbufError.CORRUPT_IMAGE, False),
            ("nothing", b"", GdkPixbuf.PixbufError.CORRUPT_IMAGE, False),
        ]
        for name, data, code, at_write in table:
            with self.subTest(case=name):
                loader = GdkPixbuf.PixbufLoader.new_with_type("lwo")
                with self.assertRaises(GLib.Error) as caught:
                    loader.write(data) if data else None
                    self.assertFalse(at_write, "write() took it")
                    loader.close()
                self.assertEqual(caught.exception.code, int(code))
                self.assertIsNone(loader.get_pixbuf())
                try:
                    loader.close()
                except GLib.Error:
                    pass

    def test_degenerate_sizes_refused_cleanly(self):
        """A size with no pixels (either side or both 0) is refused as such;
        one too large for memory (a side past the largest picture, or the
        product past it) as wanting memory; nothing is drawn either way."""
        path = os.path.join(SOURCE, "examples", "cube.lwo")
        with open(path, "rb") as f:
            data = f.read()
        none, memory = GdkPixbuf.PixbufError.FAILED, GdkPixbuf.PixbufError.INSUFFICIENT_MEMORY
        table = [((0, 30), none), ((40, 0), none), ((0, 0), none), ((1, 0), none), ((0, 1), none),
                 ((2**31 - 1, 1), memory), ((1, 2**31 - 1), memory), ((2**31 - 1, 2**31 - 1), memory),
                 ((65536, 65536), memory), ((1 << 24, 40), memory)]
        for size, code in table:
            ways = [("in pieces", lambda: load_in_pieces(data, random.Random(5), size=size))]
            if size[0] and size[1]:  # 0 means "as the file says" to the scaling call
                ways.append(("at scale", lambda: GdkPixbuf.Pixbuf.new_from_file_at_scale(path, size[0], size[1], False)))
            for way, load in ways:
                with self.subTest(size=size, way=way):
                    with self.assertRaises(GLib.Error) as caught:
                        load()
                    self.assertEqual(caught.exception.code, int(code))

    def test_gdk_pixbuf_thumbnailer(self):
        path = os.path.join(SOURCE, "examples", "torus.lwo")
        out = os.path.join(WORK.name, "thumb.png")
        subprocess.run(["gdk-pixbuf-thumbnailer", "-s", "128", path, out], check=True, timeout=60,
                       env=dict(os.environ, GDK_PIXBUF_MODULE_FILE=os.environ["GDK_PIXBUF_MODULE_FILE"]))
        self.assertEqual(picture(GdkPixbuf.Pixbuf.new_from_file(out)), command_picture(path, 128, 96))


if __name__ == "__main__":
    unittest.main(verbosity=1)
