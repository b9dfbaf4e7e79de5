#!/usr/bin/env python3
"""Packed data for the save-game tests, written with the independent fixture writer.

Usage: savefix.py OUTDIR
"""
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "zel"))
from zelfix import Block, f32, fill_data, i32, label_fixup, name_key, preset, probe, zel_file


def u32(v):
    return struct.pack("<I", v)


def embedded(block, class_name, label, fields):
    """CEmbeddedFillData: CFillData and Player; its symbol is public under the label."""
    data_place = block.segments[0].add(fill_data(fields))
    where = block.record("CEmbeddedFillData", struct.pack("<IIIi", name_key(class_name), name_key(label), 0, 0))
    block.pointer(where + 12, data_place)
    return where


def preset_with_child(block, class_name, label, child_field, child_place, fields):
    """A preset whose first field record (kind 1) creates an embedded child."""
    data_place = block.segments[0].add(fill_data([(child_field, u32(0), 0, 1)] + fields))
    where = block.record("CPresetFillData", struct.pack("<IIIiI", name_key(class_name), name_key(label), 0, 0, 0))
    block.pointer(where + 12, data_place)
    block.pointer(data_place + 8, child_place)
    return where


def master_file():
    b = Block()
    probe(b, 1, text="master text", export="MasterThing")
    label_fixup(b, "MasterThing", "MasterThing")
    return zel_file([("PCX ", b)])


def save_level():
    b = Block()
    probe(b, 90, export="LevelThing")
    child = embedded(b, "GSaveChild", "AlphaChild", [("Count", i32(77), 0, 0)])
    preset_with_child(b, "GSaveProbe", "Alpha", "pChild", child, [
        ("Count", i32(5), 0, 0),
        ("Speed", f32(2.5), 0, 0),
        ("Flag", b"\x01", 0, 0),
        ("Key", u32(name_key("Zed")), 0, 0),
        ("Thing", u32(name_key("MasterThing")), 0, 16),
        ("pSymbol", u32(name_key("LevelThing")), 0, 8),
        ("Table", i32(1) + i32(2) + i32(3), 0, 0),
    ])
    preset(b, "GSaveProbe", "Beta", [("Count", i32(6), 0, 0)], player=2)
    preset(b, "GLevelOnly", "Scenery", [])
    return zel_file([("PCX ", b)])


def menu_level():
    b = Block()
    probe(b, 80, export="MenuThing")
    preset(b, "GLevelOnly", "MenuScenery", [])
    return zel_file([("PCX ", b)])


if __name__ == "__main__":
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "master.zel").write_bytes(master_file())
    (out / "savelevel.zel").write_bytes(save_level())
    (out / "mainmenu.zel").write_bytes(menu_level())
    # A slot keeps 32 bytes for the level's name: this one does not fit.
    (out / "a_level_whose_name_is_too_long.zel").write_bytes(menu_level())
