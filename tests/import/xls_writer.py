"""Small helpers over xlwt shared by the workbook generators (test fixtures,
samples, benchmark): sheets written from lists of rows, and formulas that
carry a stored result.

xlwt stores an empty text as the result of every formula and asks Excel to
recalculate on open. Excel itself stores the last computed value, and that is
what a reader of the file gets. `FormulaWithResult` makes xlwt store a given
result instead: a number in the FORMULA record's result field, or a text in
the STRING record that follows the FORMULA record (BIFF8 layout).
"""
import importlib
import struct

import xlwt
import xlwt.Cell


class FormulaWithResult(xlwt.Formula):
    """A formula with the result Excel would have stored when saving it."""
    __slots__ = ("result",)

    def __init__(self, expression, result):
        super().__init__(expression)
        self.result = result


class _FormulaCellWithResult(xlwt.Cell.FormulaCell):
    __slots__ = ()

    def get_biff_data(self):
        record = bytearray(super().get_biff_data())
        result = getattr(self.frmla, "result", None)
        if result is None:
            return bytes(record)
        # Record header (id, length: 4 bytes), then row, column, XF index
        # (6 bytes), then the 8 bytes of the result.
        at = 4 + 6
        if isinstance(result, str):
            # 0xFFFF in the last two bytes: not a number; first byte 0: text,
            # which follows in a STRING record (length, option 1 = UTF-16LE).
            record[at:at + 8] = struct.pack("<6BH", 0, 0, 0, 0, 0, 0, 0xFFFF)
            chars = result.encode("utf-16-le")
            string = struct.pack("<HHHB", 0x0207, 3 + len(chars), len(result), 1) + chars
            return bytes(record) + string
        record[at:at + 8] = struct.pack("<d", float(result))
        return bytes(record)


# Row.set_cell_formula builds its cells through this name of its module
# (the package's own name xlwt.Row is the class, not the module).
importlib.import_module("xlwt.Row").FormulaCell = _FormulaCellWithResult


def write_rows(sheet, rows, first_row=0, first_col=0):
    """Writes each row (a list of values; None leaves the cell out) from the
    given corner."""
    for r, values in enumerate(rows):
        for c, value in enumerate(values):
            if value is not None:
                sheet.write(first_row + r, first_col + c, value)


def workbook(path, sheets):
    """Writes a workbook of (name, rows[, first_row, first_col]) sheets."""
    book = xlwt.Workbook(encoding="utf-8")
    for name, rows, *corner in sheets:
        write_rows(book.add_sheet(name), rows, *corner)
    book.save(path)
