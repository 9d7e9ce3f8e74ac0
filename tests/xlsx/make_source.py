"""Writes the workbook that the other writers convert: Chinese text, numbers, dates, booleans,
formulas with errors, empty and styled cells, merged cells, column widths, a hidden sheet."""
import datetime
import sys

import openpyxl
from openpyxl.styles import Font, PatternFill

wb = openpyxl.Workbook()
ws = wb.active
ws.title = "数据"
ws.append(["姓名", "金额", "日期", "编号", "备注"])
ws.append(["张三", 1234.5, datetime.datetime(2024, 1, 5), "110101199003071234", "0012"])
ws.append(["李四", -0.125, datetime.date(1999, 12, 31), 42, True])
ws.append(["Ünïcödé 😀", 1e15, datetime.datetime(2024, 2, 29, 13, 45, 30), "  spaces  ", False])
ws["A6"] = "=B2*2"
ws["B6"] = "=1/0"
ws["C6"] = "=NA()"
ws["D6"] = '="文"&"本"'
ws["E6"] = "=B2>1000"
ws["B2"].number_format = '"¥"#,##0.00'
ws["B3"].number_format = "0.00%"
ws["C2"].number_format = "yyyy-mm-dd"
ws["C4"].number_format = "yyyy/m/d h:mm:ss"
ws["A1"].font = Font(bold=True)
ws["B1"].fill = PatternFill("solid", fgColor="FFFF00")
ws["E8"].font = Font(bold=True)  # formatting alone, no value
ws.merge_cells("A10:B11")
ws["A10"] = "合并"
ws.column_dimensions["A"].width = 25
ws.column_dimensions["D"].width = 30
ws.row_dimensions[3].height = 30
hidden = wb.create_sheet("隐藏")
hidden["A1"] = "在隐藏的表"
hidden["B2"] = 3.25
hidden.sheet_state = "hidden"
second = wb.create_sheet("Second")
second["C3"] = "third sheet"
second["A1"] = 1
wb.save(sys.argv[1])
