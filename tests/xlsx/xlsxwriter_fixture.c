/* Writes two workbooks with libxlsxwriter: shared strings (argv[1]) and, in constant memory
 * mode, inline strings (argv[2]). Rich text, formulas with cached results, dates, booleans,
 * a hidden sheet and a chart sheet that is no worksheet. */
#include <xlsxwriter.h>

static int write_book(const char* path, int constant_memory) {
    lxw_workbook_options options = {.constant_memory = constant_memory, .tmpdir = NULL};
    lxw_workbook* wb = workbook_new_opt(path, &options);
    lxw_worksheet* ws = workbook_add_worksheet(wb, "表一");
    lxw_format* bold = workbook_add_format(wb);
    format_set_bold(bold);
    lxw_format* date = workbook_add_format(wb);
    format_set_num_format(date, "yyyy-mm-dd hh:mm");
    lxw_format* money = workbook_add_format(wb);
    format_set_num_format(money, "[$$-409]#,##0.00");

    worksheet_write_string(ws, 0, 0, "文本", bold);
    worksheet_write_number(ws, 0, 1, 3.14159, NULL);
    worksheet_write_number(ws, 0, 2, 1234.5, money);
    lxw_datetime when = {2023, 7, 14, 9, 30, 15.5};
    worksheet_write_datetime(ws, 0, 3, &when, date);
    worksheet_write_boolean(ws, 1, 0, 1, NULL);
    worksheet_write_boolean(ws, 1, 1, 0, NULL);
    worksheet_write_formula_num(ws, 1, 2, "=B1*2", NULL, 6.28318);
    worksheet_write_formula_str(ws, 1, 3, "=A1&\"!\"", NULL, "文本!");
    worksheet_write_blank(ws, 2, 0, bold);
    worksheet_write_string(ws, 2, 1, "tab\there", NULL);
    worksheet_write_number(ws, 1000, 200, -7, NULL);
    if (!constant_memory) {
        lxw_rich_string_tuple a = {.format = bold, .string = "粗体"};
        lxw_rich_string_tuple b = {.format = NULL, .string = " and plain"};
        lxw_rich_string_tuple* runs[] = {&a, &b, NULL};
        worksheet_write_rich_string(ws, 3, 0, runs, NULL);
    }
    lxw_chartsheet* cs = workbook_add_chartsheet(wb, "图");
    lxw_chart* chart = workbook_add_chart(wb, LXW_CHART_COLUMN);
    chart_add_series(chart, NULL, "='表一'!$B$1:$C$1");
    chartsheet_set_chart(cs, chart);
    lxw_worksheet* hidden = workbook_add_worksheet(wb, "Hidden");
    worksheet_write_string(hidden, 4, 4, "hidden text", NULL);
    worksheet_hide(hidden);
    return workbook_close(wb) == LXW_NO_ERROR ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    return write_book(argv[1], 0) || write_book(argv[2], 1);
}
