#!/usr/bin/env python3
"""Writes the program's Qt Designer layouts (resources/layouts/*.ui) from the geometry
computed in this folder's modules. Run it after changing them and commit both.

    python3 tools/layoutgen/make_layouts.py [output folder]
"""

import pathlib
import sys

sys.dont_write_bytecode = True  # keep the source tree clean of __pycache__

import dialogs  # noqa: E402
import dialogs_save  # noqa: E402
import kit  # noqa: E402
import mainwnd  # noqa: E402
import uixml  # noqa: E402


def main(argv):
    root = pathlib.Path(__file__).resolve().parents[2]
    out = pathlib.Path(argv[1]) if len(argv) > 1 else root / "resources" / "layouts"
    layouts = {"mainwnd.ui": mainwnd.build(), **dialogs.all_layouts(),
               **dialogs_save.all_layouts()}
    out.mkdir(parents=True, exist_ok=True)
    for file_name, layout in layouts.items():
        uixml.check(layout)
        (out / file_name).write_text(uixml.to_xml(layout, kit.CUSTOM_WIDGETS), encoding="utf-8")
        print(f"wrote {out / file_name}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
