"""Prints what openpyxl reads from a workbook, as JSON: every worksheet in workbook order with
its non-empty cells (cached results for formulas), and with --layout also what a save must
keep: merged ranges, column widths, row heights and each cell's number format and boldness.
Numbers with a date format come out as serials in the workbook's own date system."""
import datetime
import json
import sys

import openpyxl
from openpyxl.utils.datetime import to_excel


def value_of(cell, epoch):
    v = cell.value
    if isinstance(v, bool):
        return ["b", 1 if v else 0]
    if isinstance(v, (int, float)):
        return ["n", float(v)]
    if isinstance(v, (datetime.datetime, datetime.date, datetime.time, datetime.timedelta)):
        return ["d", float(to_excel(v, epoch))]
    if cell.data_type == "e":
        return ["e", str(v)]
    return ["s", str(v)]


def main():
    path = sys.argv[1]
    layout = "--layout" in sys.argv
    wb = openpyxl.load_workbook(path, data_only=True)
    out = {"date1904": wb.epoch == openpyxl.utils.datetime.MAC_EPOCH, "sheets": []}
    for ws in wb.worksheets:
        sheet = {"name": ws.title, "state": ws.sheet_state, "cells": []}
        for row in ws.iter_rows():
            for c in row:
                if c.value is None:
                    continue
                sheet["cells"].append([c.row, c.column] + value_of(c, wb.epoch))
        if layout:
            sheet["merged"] = sorted(str(r) for r in ws.merged_cells.ranges)
            sheet["widths"] = {k: d.width for k, d in ws.column_dimensions.items() if d.customWidth}
            sheet["heights"] = {str(k): d.height for k, d in ws.row_dimensions.items() if d.height}
            sheet["formats"] = {c.coordinate: [c.number_format, bool(c.font.b), c.fill.fgColor.rgb
                                               if c.fill and c.fill.fgColor else None]
                                for row in ws.iter_rows() for c in row}
        out["sheets"].append(sheet)
    json.dump(out, sys.stdout, ensure_ascii=False)


main()
