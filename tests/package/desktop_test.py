#!/usr/bin/python3
"""The installed package through the desktop's own machinery.

  desktop_test.py installed PICTURES WORK   thumbnails through GNOME's thumbnail
                                            factory (the thumbnailer sandboxed as
                                            Nautilus runs it), GdkPixbuf loading
                                            and MIME types, each held to vantrel
  desktop_test.py removed PICTURES          what a removed package leaves: the
                                            MIME type and the loader are gone

Runs under Debian's /usr/bin/python3, whose python3-gi drives GNOME's
libraries. PICTURES holds the generated "*.iff" pictures and the corpus files.
"""
import os
import shutil
import subprocess
import sys

import gi

gi.require_version("GdkPixbuf", "2.0")
gi.require_version("GnomeDesktop", "3.0")
from gi.repository import GdkPixbuf, Gio, GLib, GnomeDesktop  # noqa: E402

# One picture of each form type with and without transparency, and larger
# ones that the thumbnail shrinks.
FACTORY_PICTURES = [
    "ilbm-mask-plane", "ilbm-ham6-packed", "ilbm-wide-packed", "sham-320x256", "ilbm8lores",
    "pbm-indexed8", "pbm-rgba32-packed", "acbm-ham8", "acbm-indexed5-mask-plane", "acbm-rgb24",
]
NAMES = ["{}.iff", "{}.lbm", "{}.acbm", "{}"]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def form_type(path):
    with open(path, "rb") as f:
        return f.read(12)[8:12].decode("latin-1")


def rgba(pixbuf):
    """The pixels as straight RGBA rows without padding."""
    if not pixbuf.get_has_alpha():
        pixbuf = pixbuf.add_alpha(False, 0, 0, 0)
    data, stride, row = pixbuf.get_pixels(), pixbuf.get_rowstride(), pixbuf.get_width() * 4
    return (pixbuf.get_width(), pixbuf.get_height(),
            b"".join(data[y * stride:y * stride + row] for y in range(pixbuf.get_height())))


def content_type(path):
    info = Gio.File.new_for_path(path).query_info("standard::content-type", Gio.FileQueryInfoFlags.NONE, None)
    return info.get_content_type()


def vantrel(*args):
    return subprocess.run(["vantrel", *args], capture_output=True, text=True)


def pictures(folder):
    return sorted(os.path.join(folder, n) for n in os.listdir(folder) if n.endswith((".iff", ".ilbm")))


def factory_thumbnail(factory, path):
    uri = Gio.File.new_for_path(path).get_uri()
    mime = content_type(path)
    mtime = int(os.stat(path).st_mtime)
    if not factory.can_thumbnail(uri, mime, mtime):
        return mime, None
    try:
        return mime, factory.generate_thumbnail(uri, mime, None)
    except GLib.Error:
        return mime, None


def test_factory(folder, work):
    factory = GnomeDesktop.DesktopThumbnailFactory.new(GnomeDesktop.DesktopThumbnailSize.LARGE)
    made = 0
    for name in FACTORY_PICTURES:
        source = next(p for p in pictures(folder) if os.path.basename(p).rsplit(".", 1)[0] == name)
        reference = os.path.join(work, name + "-reference.png")
        run = vantrel("thumbnail", "-s", "256", source, reference)
        check(run.returncode == 0, f"vantrel thumbnail {name}: {run.stderr.strip()}")
        expected = rgba(GdkPixbuf.Pixbuf.new_from_file(reference))
        for pattern in NAMES:
            copy = os.path.join(work, pattern.format(name))
            shutil.copyfile(source, copy)
            mime, thumbnail = factory_thumbnail(factory, copy)
            label = f"{os.path.basename(copy)} ({form_type(copy)}, {mime})"
            check(thumbnail is not None, f"factory made no thumbnail of {label}")
            if thumbnail is not None:
                check(rgba(thumbnail) == expected, f"factory thumbnail of {label} differs from vantrel's")
                made += 1
    print(f"GNOME thumbnail factory: {made} thumbnails, each equal to vantrel thumbnail's")

    damaged = os.path.join(work, "damaged.iff")
    with open(os.path.join(folder, "ilbm-mask-plane.iff"), "rb") as f:
        data = f.read()
    with open(damaged, "wb") as f:
        f.write(data[:40])
    mime, thumbnail = factory_thumbnail(factory, damaged)
    check(thumbnail is None, "factory made a thumbnail of a damaged file")
    run = vantrel("thumbnail", damaged, os.path.join(work, "damaged.png"))
    check(run.returncode == 1 and "damaged.iff" in run.stderr, f"vantrel thumbnail on a damaged file: {run}")
    check(not os.path.exists(os.path.join(work, "damaged.png")), "a failed thumbnail left a file")


def test_pixbuf(folder, work):
    loaded = 0
    for path in pictures(folder):
        name = os.path.basename(path).rsplit(".", 1)[0]
        png = os.path.join(work, name + "-convert.png")
        run = vantrel("convert", path, "-o", png)
        check(run.returncode == 0, f"vantrel convert {name}: {run.stderr.strip()}")
        bare = os.path.join(work, name + "-bare")
        shutil.copyfile(path, bare)
        expected = rgba(GdkPixbuf.Pixbuf.new_from_file(png))
        for candidate in (path, bare):
            pixbuf = GdkPixbuf.Pixbuf.new_from_file(candidate)
            check(rgba(pixbuf) == expected, f"GdkPixbuf's {os.path.basename(candidate)} differs from vantrel convert's")
            loaded += 1
        # Viewers such as Eye of GNOME feed a GdkPixbufLoader piece by piece.
        loader = GdkPixbuf.PixbufLoader.new()
        with open(bare, "rb") as f:
            data = f.read()
        for at in range(0, len(data), 1000):
            loader.write(data[at:at + 1000])
        loader.close()
        check(rgba(loader.get_pixbuf()) == expected, f"GdkPixbufLoader's {name} differs from vantrel convert's")
        fmt, _, _ = GdkPixbuf.Pixbuf.get_file_info(bare)
        check(fmt is not None and fmt.get_name() == "amiga-iff", f"{name}: format {fmt and fmt.get_name()}")
    print(f"GdkPixbuf: {loaded} pictures loaded by name, and each again through a PixbufLoader in pieces, "
          "equal to vantrel convert's")

    for label, data, says in [("truncated", open(os.path.join(folder, "acbm-ham8.iff"), "rb").read()[:30],
                               "BMHD"),
                              ("empty colour map", b"FORM\0\0\0\x0cPBM CMAP\0\0\0\0", "no entries")]:
        path = os.path.join(work, "broken.iff")
        with open(path, "wb") as f:
            f.write(data)
        try:
            GdkPixbuf.Pixbuf.new_from_file(path)
            check(False, f"GdkPixbuf loaded a {label} file")
        except GLib.Error as error:
            check(says in error.message, f"{label}: GdkPixbuf error '{error.message}' does not say '{says}'")


def test_mime(folder, work):
    acbm = os.path.join(work, "acbm-picture")
    ilbm = os.path.join(work, "ilbm-picture")
    shutil.copyfile(os.path.join(folder, "acbm-rgb24.iff"), acbm)
    shutil.copyfile(os.path.join(folder, "ilbm-grey8.iff"), ilbm)
    check(content_type(acbm) == "image/x-acbm", f"ACBM file without extension is {content_type(acbm)}")
    check(Gio.content_type_is_a("image/x-acbm", "application/x-iff"), "image/x-acbm is no application/x-iff")
    check(Gio.content_type_guess("picture.acbm", None)[0] == "image/x-acbm", "*.acbm is not image/x-acbm")
    check(content_type(ilbm) == "image/x-ilbm", f"ILBM file without extension is {content_type(ilbm)}")


def test_removed(folder, work):
    acbm = os.path.join(work, "acbm-picture")
    shutil.copyfile(os.path.join(folder, "acbm-rgb24.iff"), acbm)
    check(content_type(acbm) == "application/x-iff", f"after removal an ACBM file is {content_type(acbm)}")
    names = [f.get_name() for f in GdkPixbuf.Pixbuf.get_formats()]
    check("amiga-iff" not in names, "the loader is still in gdk-pixbuf's formats")


def main():
    mode, folder = sys.argv[1], sys.argv[2]
    work = sys.argv[3] if len(sys.argv) > 3 else folder
    os.makedirs(work, exist_ok=True)
    if mode == "installed":
        test_mime(folder, work)
        test_pixbuf(folder, work)
        test_factory(folder, work)
    else:
        test_removed(folder, work)
    if failures:
        print(f"{len(failures)} failures")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
