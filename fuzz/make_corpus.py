#!/usr/bin/env python3
"""Writes the committed seed corpora, fuzz/corpus/<target>/, from the cases the
unit tests use. Run it again after changing a case here; the fuzz runs never
write to these folders (scripts/fuzz.sh works on a copy).

    python3 fuzz/make_corpus.py
"""
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
SAMPLES = os.path.join(HERE, "..", "samples")

PIECE = 65999  # one read of a line


def line(*columns):
    return "\t".join(columns).encode("latin-1") + b"\n"


def body(*columns):
    cols = list(columns) + [""] * (11 - len(columns))
    return b"".join(c.encode("latin-1") + b"\0" for c in cols)


# ---- Lines (camera_record_test, copy_test) -------------------------------------

F3 = line("Nikon F3", "Nikon", "35mm SLR", "1980", "2001", "Titanium shutter", "", "", "", "1", "8",
          "N", "1", "N", "N")
LEICA_CRLF = (b"Leica M6\tLeica\tRangefinder\t1984\t2002\t\t400\t\t\t0\t10\tY\t12\tN\tN\r\n")
KODAK_DELETED = line("Kodak Brownie", "Kodak", "", "", "", "", "", "", "", "0", "None", "N", "0", "N", "Y")
OLYMPUS_LOWER_Y = line("Olympus OM-1", "Olympus", "", "", "", "", "", "", "", "1", "5", "y", "15", "Y", "y")
PENTAX_SHORT = b"Pentax K1000\tPentax\n"

LINES = {
    "f3": F3,
    "leica-crlf": LEICA_CRLF,
    "kodak-deleted": KODAK_DELETED,
    "olympus-lower-y": OLYMPUS_LOWER_Y,
    "pentax-short": PENTAX_SHORT,
    "desktop-list": F3 + LEICA_CRLF + KODAK_DELETED + OLYMPUS_LOWER_Y + PENTAX_SHORT,
    "only-lf": b"\n",
    "empty-lines": b"\n\n\r\n\n",
    "no-final-lf": F3.rstrip(b"\n"),
    "trailing-tab": F3.rstrip(b"\n") + b"\t\n",
    "sixteenth-column": F3.rstrip(b"\n") + b"\textra\tmore\n",
    "deleted-then-tab": KODAK_DELETED.rstrip(b"\n") + b"\t\n",
    "long-columns": line("a" * 60, "m", "c" * 40) ,
    "column6-1500": line("A", "B", "", "", "", "n" * 1500, "", "", "", "1", "2", "N", "3", "N", "N"),
    "category-12": line("A", "B", "", "", "", "", "", "", "", "1", "2", "N", "12", "N", "N"),
    "category-three-digits": line("A", "B", "", "", "", "", "", "", "", "1", "2", "N", "123", "N", "N")
    + line("A", "B", "", "", "", "", "", "", "", "1", "2", "N", "167", "N", "N"),
    "coded-invalid": line("A", "B", "", "", "", "", "", "", "", "01", "10x", "Yes", "-1", "n", "YY"),
    "nul-inside": b"Nikon\tNik\0on\tSLR\n" + F3,
    "lone-cr": b"a\rb\tc\r\r\n\r",
    "full-width": line(*["x" * w for w in (45, 45, 30, 4, 4, 1024, 10, 10, 10)], "1", "None", "Y", "15",
                       "Y", "Y"),
    # Control byte 0xC0 + k: 65999 - k copies of the next byte come first.
    "piece-66000": bytes([0xC0]) + b"a" + b"b\n",
    "piece-65999-then-lf": bytes([0xC0]) + b"a" + b"\nnext\n",
    "piece-split-crlf": bytes([0xC1]) + b"a" + b"\r\nnext\n",
    "piece-cr-without-lf": bytes([0xC1]) + b"a" + b"\rX\n",
    "piece-tabs": bytes([0xC5]) + b"\t" + b"Y\t12\tN\tY\n",
}


# ---- Bodies (record_body_test, copy_test) --------------------------------------

def body_input(body_bytes, category=0, control=0):
    return struct.pack(">hB", category, control) + body_bytes


BODIES = {
    "eleven-nuls": body_input(b"\0" * 11),
    "empty": body_input(b""),
    "all-eleven": body_input(body("a", "b", "c", "d", "e", "f", "g", "h", "i", "1", "None"), 3),
    "column6-1500": body_input(body("", "", "", "", "", "q" * 1500), 4),
    "fewer-columns": body_input(b"a\0b\0"),
    "unterminated-last": body_input(b"a\0bc"),
    "leading-empties": body_input(b"\0\0x"),
    "after-eleventh-nul": body_input(body("a", "b", "c", "d", "e", "f", "g", "h", "i", "1", "None")
                                     + b"junk\0more", 5),
    "high-bytes": body_input(b"\xff\x80\0\t\r\n\0", 1),
    "f3": body_input(body("Nikon F3", "Nikon", "35mm SLR", "1980", "2001", "Titanium shutter",
                          "", "", "", "1", "8"), 1),
    "leica-secret": body_input(body("Leica M6", "Leica", "Rangefinder", "1984", "2002", "", "400",
                                    "", "", "0", "10"), 12, 0x01),
    "category-16": body_input(body("A", "B"), 16),
    "category-255": body_input(body("A", "B"), 255),
    "category-minus-1": body_input(body("A", "B"), -1),
    "category-15-unset-column": body_input(body("A", "B", "c"), 15, 0x04 | 0x10),
    "category-unset": body_input(body("A", "B"), 7, 0x02),
    "no-terminators": body_input(b"no terminator anywhere in this body", 2),
    "stretched": body_input(b"abc\0de", 9, 0x08),
    "stretched-nuls": body_input(b"a\0", 9, 0x08),
}


# ---- .pdb files (pdb_test, copy_test) -------------------------------------------

def pdb(records, name=b"LenfolDB", app=b"", sort=b"", attributes=0, type_=b"Item", creator=b"LnFo",
        seed=0):
    """records: (attributes, unique id, body) tuples."""
    count = len(records)
    blocks = 78 + 8 * count + 2
    app_at = blocks if app else 0
    sort_at = blocks + len(app) if sort else 0
    header = name.ljust(32, b"\0")[:32]
    header += struct.pack(">HHIIIIII", attributes, 0, 0xC0000001, 0xC0000002, 0, 1, app_at, sort_at)
    header += type_ + creator + struct.pack(">IIH", seed, 0, count)
    entries = b""
    offset = blocks + len(app) + len(sort)
    for attr, uid, data in records:
        entries += struct.pack(">IB", offset, attr) + uid.to_bytes(3, "big")
        offset += len(data)
    return header + entries + b"\0\0" + app + sort + b"".join(r[2] for r in records)


F3_BODY = body("Nikon F3", "Nikon", "35mm SLR", "1980", "2001", "Titanium shutter", "", "", "", "1", "8")
LEICA_BODY = body("Leica M6", "Leica", "Rangefinder", "1984", "2002", "", "400", "", "", "0", "10")
GONE_BODY = body("Kodak Brownie", "Kodak", "", "", "", "", "", "", "", "0", "None")
OLD_BODY = body("Olympus OM-1", "Olympus", "", "", "", "", "", "", "", "1", "5")

# Live, secret, deleted, archived and dirty records in several categories.
HANDHELD = pdb([(0x00 | 1, 1, F3_BODY), (0x10 | 12, 2, LEICA_BODY), (0x80, 3, GONE_BODY),
                (0x88, 4, GONE_BODY), (0x40 | 15, 5, OLD_BODY)], seed=5)
SAMPLE = pdb([(0x40 | 5, 0x010203, b"abc"), (0x80 | 0x08, 0xFFFFFF, b""), (0x10 | 15, 1, b"defgh")],
             app=b"APP", sort=b"SO", attributes=0x0008, seed=0xABC123)
EMPTY = pdb([])


def damaged(image, at, value, width=4):
    out = bytearray(image)
    out[at:at + width] = value.to_bytes(width, "big")
    return bytes(out)


ENTRIES = 78
PDBS = {
    "handheld": HANDHELD,
    "sample": SAMPLE,
    "empty": EMPTY,
    "empty-name": pdb([(0, 1, b"ab"), (0, 2, b"cd")], name=b""),
    "long-bodies": pdb([(3, 1, body("A", "B", "", "", "", "n" * 1024, "", "", "", "1", "2")),
                        (4, 2, body("C", "D", "", "", "", "m" * 1500, "", "", "", "0", "3"))]),
    "no-terminators": pdb([(0, 1, b"x" * 100), (0, 2, b"")]),
    "offset-past-end": damaged(SAMPLE, ENTRIES + 16, len(SAMPLE) + 1),
    "offsets-overlap": damaged(SAMPLE, ENTRIES + 8, ENTRIES + 24 + 2 + 5 - 1),
    "offset-in-header": damaged(SAMPLE, ENTRIES, 10),
    "count-beyond-file": damaged(SAMPLE, 76, 0xFFFF, 2),
    "appinfo-after-body": damaged(SAMPLE, 52, ENTRIES + 24 + 2 + 5 + 1),
    "resource-db": damaged(SAMPLE, 32, 0x0001, 2),
}


# ---- Whole HotSyncs: 32-bit hostile seed (0: kind stand-in), 16-bit header
# (.pdb length, 0x8000 = no Cameras.txt) -------------------------------------------

def sync_input(pdb_bytes, cameras, has_cameras=True, seed=0):
    header = len(pdb_bytes) | (0 if has_cameras else 0x8000)
    return struct.pack(">IH", seed, header) + pdb_bytes + cameras


DESKTOP_LIST = LINES["desktop-list"]
SYNCS = {
    "handheld-and-list": sync_input(HANDHELD, DESKTOP_LIST),
    "no-database": sync_input(b"", DESKTOP_LIST),
    "no-list": sync_input(HANDHELD, b"", has_cameras=False),
    "nothing": sync_input(b"", b"", has_cameras=False),
    "empty-both": sync_input(EMPTY, b""),
    "corrupt-database": sync_input(PDBS["offset-past-end"], DESKTOP_LIST),
    "overlapping-database": sync_input(PDBS["offsets-overlap"], F3),
    "long-bodies": sync_input(PDBS["long-bodies"], LINES["column6-1500"]),
    "no-terminators": sync_input(PDBS["no-terminators"], LINES["nul-inside"]),
    "sample-db": sync_input(SAMPLE, LINES["coded-invalid"] + LINES["lone-cr"]),
    "hostile-handheld-and-list": sync_input(HANDHELD, DESKTOP_LIST, seed=1),
    "hostile-no-database": sync_input(b"", DESKTOP_LIST, seed=2),
    "hostile-corrupt-database": sync_input(PDBS["offset-past-end"], DESKTOP_LIST, seed=3),
    "hostile-no-terminators": sync_input(PDBS["no-terminators"], LINES["nul-inside"], seed=4),
}


def add_samples():
    """The bundled sample data, when it is there: its first lines and the .pdb."""
    cameras = os.path.join(SAMPLES, "Cameras.txt")
    database = os.path.join(SAMPLES, "LenfolDB.pdb")
    if os.path.exists(cameras):
        with open(cameras, "rb") as f:
            head = b"".join(f.readlines()[:6])
        LINES["samples-head"] = head
    if os.path.exists(database):
        with open(database, "rb") as f:
            image = f.read()
        PDBS["samples"] = image
        SYNCS["samples"] = sync_input(image, LINES.get("samples-head", F3))


def write(target, cases):
    folder = os.path.join(CORPUS, target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in sorted(cases.items()):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    add_samples()
    write("line_reader", LINES)
    write("record_body", BODIES)
    write("pdb", PDBS)
    write("sync", SYNCS)


if __name__ == "__main__":
    main()
