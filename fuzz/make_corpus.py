#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
"""Writes the seed corpus for fuzz_extract: small archives of every shape the
extractor meets, from Python's zipfile and from Info-ZIP zip, bsdtar and 7z
when they are installed.

    fuzz/make_corpus.py [OUT]     # default: fuzz/corpus-work/seeds

Encrypted seeds use the password the target tries, "secret".
"""

import io
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

PASSWORD = "secret"
DATE = (2021, 6, 1, 12, 0, 0)
TEXT = b'<?xml version="1.0"?>\n<ozml><scene name="Glow"/></ozml>\n' * 8


def pyzip(entries, compression=zipfile.ZIP_DEFLATED, force_zip64=False, utf8_names=True):
    """entries: (name, bytes); a name ending in / is a directory."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", compression) as zf:
        for name, data in entries:
            info = zipfile.ZipInfo(name, DATE)
            info.compress_type = compression
            if not utf8_names:
                info.flag_bits &= ~0x800
            if force_zip64:
                with zf.open(info, "w", force_zip64=True) as f:
                    f.write(data)
            else:
                zf.writestr(info, data)
    return buffer.getvalue()


def raw_named(name_bytes, data=b"hello\n"):
    """A stored single-entry archive with exactly these name bytes (no flag 11)."""
    crc = __import__("zlib").crc32(data)
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0x21, crc, len(data), len(data),
                        len(name_bytes), 0) + name_bytes + data
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 0, 0, 0x21, crc, len(data),
                          len(data), len(name_bytes), 0, 0, 0, 0, 0, 0) + name_bytes
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local), 0)
    return local + central + end


def tool_archives(work):
    """Archives written by the independent tools, where present."""
    src = work / "src"
    (src / "Titles" / "Build In").mkdir(parents=True)
    (src / "Titles" / "Build In" / "Glow.moti").write_bytes(TEXT)
    (src / "Titles" / "Build In" / "large.png").write_bytes(b"\x89PNG\r\n\x1a\n" + bytes(range(64)))
    (src / "empty.txt").write_bytes(b"")
    out = {}

    def run(name, command, cwd=src):
        target = work / name
        try:
            subprocess.run(command + [str(target)] if "{out}" not in command else
                           [str(target) if c == "{out}" else c for c in command],
                           cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except (OSError, subprocess.CalledProcessError):
            return
        if target.exists():
            out[name] = target.read_bytes()

    if shutil.which("zip"):
        run("infozip-deflated.zip", ["zip", "-q", "-r", "{out}", "."])
        run("infozip-stored.zip", ["zip", "-q", "-0", "-r", "{out}", "."])
        run("infozip-encrypted.zip", ["zip", "-q", "-r", "-P", PASSWORD, "{out}", "."])
        run("infozip-zip64.zip", ["zip", "-q", "-fz", "-r", "{out}", "."])
        # Streamed from a pipe: sizes follow the data in a data descriptor.
        target = work / "infozip-streamed.zip"
        with open(target, "wb") as f:
            subprocess.run(["zip", "-q", "-", "-"], input=TEXT, stdout=f, check=False)
        out[target.name] = target.read_bytes()
    if shutil.which("bsdtar"):
        run("bsdtar-deflated.zip", ["bsdtar", "--format", "zip", "-cf", "{out}", "."])
        run("bsdtar-stored.zip", ["bsdtar", "--format", "zip", "--options", "zip:compression=store",
                                  "-cf", "{out}", "."])
        run("bsdtar-traditional.zip", ["bsdtar", "--format", "zip", "--options", "zip:encryption=traditional",
                                       "--passphrase", PASSWORD, "-cf", "{out}", "."])
    if shutil.which("7z"):
        run("7z-aes256.zip", ["7z", "a", "-tzip", f"-p{PASSWORD}", "-mem=AES256", "{out}", "."])
        run("7z-bzip2.zip", ["7z", "a", "-tzip", "-mm=BZip2", "{out}", "."])
    return out


def template_seeds():
    """Archives shaped like template packs, for fuzz_install: templates of
    every kind, nested templates, file manager litter, twin names in both
    Unicode normalisations, a symbolic link and a kinds-folder layout."""
    moti = TEXT
    png = b"\x89PNG\r\n\x1a\n" + b"\0" * 32
    link = zipfile.ZipInfo("LT_Link/escape", DATE)
    link.create_system = 3
    link.external_attr = (0o120777 << 16)
    linked = io.BytesIO()
    with zipfile.ZipFile(linked, "w") as zf:
        zf.writestr("LT_Link/LT_Link.moti", moti)
        zf.writestr(link, "../../../outside")
    return {
        "tpl-pack.zip": pyzip([("LT_One/", b""), ("LT_One/LT_One.moti", moti), ("LT_One/preview.png", png),
                               ("LT_One/Media/accent.png", png), ("LT_Two/LT_Two.motn", moti),
                               ("LT_Two/preview.png", png)]),
        "tpl-kinds.zip": pyzip([("Titles/Lower/T/T.moti", moti), ("Effects/Blur/E/E.moef", moti),
                                ("Transitions/Wipes/X/X.motr", moti), ("Generators/Bg/G/G.motn", moti)]),
        "tpl-nested.zip": pyzip([("T/T.moti", moti), ("T/Inner/Inner.moti", moti)]),
        "tpl-litter.zip": pyzip([("__MACOSX/T/._T.moti", b"\0\5\26\7"), ("T/.DS_Store", b"\0\0\0\1Bud1"),
                                 ("T/T.moti", moti)]),
        "tpl-twins.zip": pyzip([("Caf\u00e9/Caf\u00e9.moti", moti), ("Cafe\u0301/Cafe\u0301.moti", moti)]),
        "tpl-link.zip": linked.getvalue(),
        "tpl-layout.zip": pyzip([("Motion Templates.localized/Titles.localized/Cat/T/T.moti", moti),
                                 ("Motion Templates.localized/Effects.localized/Cat/E/E.moef", moti)]),
        "tpl-empty-doc.zip": pyzip([("T/T.moti", b""), ("T/preview.png", png)]),
    }


def main():
    root = Path(__file__).resolve().parent
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else root / "corpus-work" / "seeds"
    target.mkdir(parents=True, exist_ok=True)

    plain = [("Titles/", b""), ("Titles/Build In/", b""), ("Titles/Build In/Glow.moti", TEXT),
             ("Titles/Build In/large.png", b"\x89PNG\r\n\x1a\n" + bytes(range(256)))]
    seeds = {
        "py-deflated.zip": pyzip(plain),
        "py-stored.zip": pyzip(plain, zipfile.ZIP_STORED),
        "py-bzip2.zip": pyzip(plain, zipfile.ZIP_BZIP2),
        "py-lzma.zip": pyzip(plain, zipfile.ZIP_LZMA),
        "py-zip64.zip": pyzip(plain[2:], force_zip64=True),
        "py-empty-entry.zip": pyzip([("empty.txt", b"")]),
        "py-empty-archive.zip": pyzip([]),
        "py-dot-slash.zip": pyzip([("./", b""), ("./a/./b.txt", b"x")]),
        "bad-parent.zip": pyzip([("ok.txt", b"ok"), ("../evil.txt", b"evil")]),
        "bad-nested-parent.zip": pyzip([("a/../../evil.txt", b"evil")]),
        "bad-absolute.zip": pyzip([("/tmp/evil.txt", b"evil")]),
        "bad-drive.zip": pyzip([("C:\\evil.txt", b"evil")]),
        "bad-backslash.zip": pyzip([("a\\..\\..\\evil.txt", b"evil")]),
        "bad-dotdot-dir.zip": pyzip([("../", b""), ("x", b"x")]),
        "duplicate-names.zip": pyzip([("same.txt", b"one"), ("same.txt", b"two")]),
        "file-then-folder.zip": pyzip([("a", b"file"), ("a/b", b"below a file")]),
        "folder-then-file.zip": pyzip([("a/", b""), ("a", b"file where a folder is")]),
        "cp437-name.zip": raw_named("Titres/\x82l\x82ve.moti".encode("latin-1")),
        "utf8-name.zip": pyzip([("Titres/Ünïcødé.moti", TEXT)]),
        "nul-in-name.zip": raw_named(b"a\x00b.txt"),
        "long-name.zip": raw_named(b"n" * 300),
    }
    seeds.update(template_seeds())
    deflated = seeds["py-deflated.zip"]
    seeds["truncated-half.zip"] = deflated[: len(deflated) // 2]
    seeds["truncated-no-end.zip"] = deflated[:-10]
    # Flip a byte inside a stored entry's data: only the CRC check can tell.
    corrupt = bytearray(seeds["py-stored.zip"])
    corrupt[seeds["py-stored.zip"].index(TEXT) + 40] ^= 0xFF
    seeds["corrupt-data.zip"] = bytes(corrupt)

    with tempfile.TemporaryDirectory() as tmp:
        seeds.update(tool_archives(Path(tmp)))

    for name, data in sorted(seeds.items()):
        (target / name).write_bytes(data)
    print(f"{len(seeds)} seeds in {target}", file=sys.stderr)


if __name__ == "__main__":
    main()
