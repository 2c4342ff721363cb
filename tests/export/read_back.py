"""Reads an exported file with independent readers and prints it as JSON.

usage: read_back.py xlsx FILE
       read_back.py csv FILE SEPARATOR
       read_back.py member FILE NAME     (the raw bytes of one part of the zip)
"""
import csv
import datetime
import json
import sys


def sheet_cells(ws):
    """[row, column, value, type] of each filled cell; a date cell's value
    is its ISO text and its type "d", with its number format appended."""
    cells = []
    for row in ws.iter_rows():
        for cell in row:
            if cell.value is not None:
                value = cell.value
                if isinstance(value, (datetime.datetime, datetime.date, datetime.time)):
                    value = value.isoformat()
                cells.append([cell.row, cell.column, value, cell.data_type, cell.number_format])
    return cells


def read_xlsx(path):
    import openpyxl

    wb = openpyxl.load_workbook(path)
    ws = wb.worksheets[0]
    m = ws.page_margins
    return {
        "sheets": len(wb.worksheets),
        "names": wb.sheetnames,
        "cells": sheet_cells(ws),
        "others": [sheet_cells(w) for w in wb.worksheets[1:]],
        "margins": {"left": m.left, "right": m.right, "top": m.top, "bottom": m.bottom},
    }


def read_csv(path, sep):
    with open(path, "rb") as f:
        raw = f.read()
    with open(path, newline="", encoding="utf-8-sig") as f:
        rows = list(csv.reader(f, delimiter=sep, strict=True))
    return {"bom": raw.startswith(b"\xef\xbb\xbf"), "crlf": b"\r\n" in raw or not rows,
            "rows": rows}


def main():
    kind, path = sys.argv[1], sys.argv[2]
    if kind == "member":
        import zipfile

        with zipfile.ZipFile(path) as z:
            sys.stdout.buffer.write(z.read(sys.argv[3]))
        return
    out = read_xlsx(path) if kind == "xlsx" else read_csv(path, sys.argv[3])
    sys.stdout.write(json.dumps(out))


main()
