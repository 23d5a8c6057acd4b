#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Writes a template pack (.mtzip) shaped like the ones users install.

    <Kind>/<Category>/<Template Name>/<Template Name>.<ext>   XML-like text, tens of KB
    <Kind>/<Category>/<Template Name>/large.png [small.png]   real PNG previews
    <Kind>/<Category>/<Template Name>/Media/clip-N.mov         incompressible, some MB

The output depends only on the options: the same seed gives the same archive
byte for byte, so figures from different runs compare.

    make_pack.py out/pack.mtzip                         # ~600 MB, 300 templates
    make_pack.py out/many.mtzip --templates 2000 --small  # many small templates
"""

import argparse
import random
import struct
import sys
import zipfile
import zlib

MiB = 1024 * 1024

KINDS = [
    ("Titles", "moti"),
    ("Effects", "moef"),
    ("Generators", "motn"),
    ("Transitions", "motr"),
]
CATEGORIES = ["Build In", "Build Out", "Lower Thirds", "Bumper", "Credits", "Light",
              "Stylize", "Blurs", "Backgrounds", "Textures", "Wipes", "Movements"]
WORDS = ["Glow", "Neon", "Swift", "Paper", "Glass", "Echo", "Drift", "Pulse", "Slate", "Ribbon",
         "Prism", "Ember", "Frost", "Orbit", "Vapor", "Comet", "Stripe", "Halo", "Shift", "Grain"]
FIXED_DATE = (2021, 6, 1, 12, 0, 0)


def png_bytes(rng, width, height):
    """A genuine RGB PNG: a gradient with a little noise, like a rendered preview."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    base = [rng.randrange(256) for _ in range(3)]
    noise = rng.randbytes(width * height * 3)
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # filter: none
        for x in range(width):
            i = (y * width + x) * 3
            rows.append((base[0] + x + noise[i] % 8) & 0xFF)
            rows.append((base[1] + y + noise[i + 1] % 8) & 0xFF)
            rows.append((base[2] + (x ^ y) + noise[i + 2] % 8) & 0xFF)
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def document_header(index):
    """What a real template document says before its scene: the Motion that
    saved it, the template element, the scene settings and the published
    parameters. Taken from the index alone, so the random stream (and every
    other byte of the pack) stays as it is without --documents."""
    motion = ["5.4", "5.8", "5.10", "5.11", "6.0", "6.2"][index % 6]
    return (f'  <displayversion>{motion}</displayversion>\n'
            f'  <description>Template {index}</description>\n'
            f'  <template><theme>Bench</theme><flags>{2 if index % 10 == 0 else 0}</flags></template>\n')


def document_settings():
    return ('    <sceneSettings><width>1920</width><height>1080</height><duration>300</duration>'
            '<frameRate>29.97</frameRate></sceneSettings>\n'
            '    <publishSettings><target object="1" channel="./1/100" name="Text"/></publishSettings>\n')


def template_text(rng, name, kind, target_size, header=None):
    """Compressible XML-like text of about target_size bytes; with a header,
    shaped as a real template document."""
    doctype = "<!DOCTYPE ozxmlscene>\n" if header else ""
    parts = [f'<?xml version="1.0" encoding="UTF-8"?>\n{doctype}<ozml version="5.0">\n'
             f'  <factory id="1" uuid="{rng.getrandbits(128):032x}"/>\n'
             + (header or "") +
             f'  <scene name="{name}" kind="{kind}">\n' + (document_settings() if header else "")]
    size = sum(len(p) for p in parts)
    node = 0
    while size < target_size:
        node += 1
        line = (f'    <parameter name="{rng.choice(WORDS)}{node}" id="{node}" flags="{rng.randrange(1 << 16)}"'
                f' default="{rng.random():.6f}" value="{rng.random():.6f}">'
                f'<curve type="{rng.randrange(4)}" keys="{rng.randrange(12)}"/></parameter>\n')
        parts.append(line)
        size += len(line)
    parts.append("  </scene>\n</ozml>\n")
    return "".join(parts).encode()


def add(zf, name, data):
    info = zipfile.ZipInfo(name, FIXED_DATE)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = (0o40755 << 16) | 0x10 if name.endswith("/") else 0o100644 << 16
    zf.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=6)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("output")
    parser.add_argument("--templates", type=int, default=300, help="number of templates (default 300)")
    parser.add_argument("--size-mb", type=int, default=600,
                        help="approximate uncompressed size in MiB; media fill what the rest leaves (default 600)")
    parser.add_argument("--small", action="store_true",
                        help="small templates without media (for listing and many-entry runs)")
    parser.add_argument("--seed", type=int, default=20240601)
    parser.add_argument("--documents", action="store_true",
                        help="template documents with the parts a template document reader reads")
    args = parser.parse_args()

    rng = random.Random(args.seed)
    text_size = (4, 12) if args.small else (20, 80)  # KiB
    media_budget = 0 if args.small else max(0, args.size_mb * MiB - args.templates * 200 * 1024)
    media_per_template = media_budget // max(1, args.templates)

    seen_dirs = set()
    total = 0
    entries = 0
    with zipfile.ZipFile(args.output, "w", zipfile.ZIP_DEFLATED, allowZip64=True) as zf:
        for t in range(args.templates):
            kind, ext = KINDS[t % len(KINDS)]
            category = CATEGORIES[rng.randrange(len(CATEGORIES))]
            name = f"{rng.choice(WORDS)} {rng.choice(WORDS)} {t:04d}"
            folder = f"{kind}/{category}/{name}/"
            parts = folder.split("/")[:-1]
            for depth in range(1, len(parts) + 1):
                d = "/".join(parts[:depth]) + "/"
                if d not in seen_dirs:
                    seen_dirs.add(d)
                    add(zf, d, b"")
                    entries += 1

            files = [(f"{folder}{name}.{ext}",
                      template_text(rng, name, kind, rng.randrange(*text_size) * 1024,
                                    document_header(t) if args.documents else None))]
            files.append((f"{folder}large.png", png_bytes(rng, 160, 90)))
            if rng.random() < 0.5:
                files.append((f"{folder}small.png", png_bytes(rng, 48, 27)))
            if media_per_template:
                add(zf, f"{folder}Media/", b"")
                entries += 1
                count = rng.choice((1, 2))
                for m in range(count):
                    size = int(media_per_template / count * rng.uniform(0.5, 1.5))
                    files.append((f"{folder}Media/clip-{m + 1}.mov", rng.randbytes(size)))
            for path, data in files:
                add(zf, path, data)
                total += len(data)
                entries += 1
    print(f"{args.output}: {args.templates} templates, {entries} entries, "
          f"{total / MiB:.1f} MiB uncompressed", file=sys.stderr)


if __name__ == "__main__":
    main()
