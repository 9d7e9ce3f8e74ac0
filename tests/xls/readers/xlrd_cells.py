# Prints every cell with a value of every sheet of an .xls workbook, as python3-xlrd reads it,
# as JSON: {"sheets": [{"name": ..., "cells": [[row, column, kind, value], ...]}]} with 1-based
# rows and columns; kind is text, number, date (value "YYYY-MM-DD HH:MM:SS", then the serial), bool or error
# (value the BIFF error code).
import datetime
import json
import sys

import xlrd

book = xlrd.open_workbook(sys.argv[1])
sheets = []
for sheet in book.sheets():
    cells = []
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            kind = cell.ctype
            if kind in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                continue
            if kind == xlrd.XL_CELL_TEXT:
                entry = ["text", cell.value]
            elif kind == xlrd.XL_CELL_NUMBER:
                entry = ["number", cell.value]
            elif kind == xlrd.XL_CELL_DATE:
                try:
                    moment = xlrd.xldate.xldate_as_datetime(cell.value, book.datemode)
                    moment = (moment + datetime.timedelta(microseconds=500000)).replace(microsecond=0)
                    entry = ["date", moment.strftime("%Y-%m-%d %H:%M:%S"), cell.value]
                except (ValueError, OverflowError, xlrd.xldate.XLDateError):
                    entry = ["date", "invalid", cell.value]
            elif kind == xlrd.XL_CELL_BOOLEAN:
                entry = ["bool", bool(cell.value)]
            else:
                entry = ["error", int(cell.value)]
            cells.append([r + 1, c + 1] + entry)
    sheets.append({"name": sheet.name, "cells": cells})
json.dump({"datemode": book.datemode, "sheets": sheets}, sys.stdout, ensure_ascii=False)
