# Bridge between the host and a headless LibreOffice: one JSON request per line on stdin,
# one JSON answer per line on stdout. The host owns both processes and kills them when an
# answer takes too long, so nothing here needs a time limit of its own.
import json
import os
import sys
import time

import uno
from com.sun.star.beans import PropertyValue

# What a Word or Excel file may really be. Anything else the office would happily read
# (plain text, web pages, pictures) is refused, so a misnamed file ends as a failed open
# instead of a page of noise.
WORD_FILTERS = {
    "MS Word 97", "MS Word 95", "MS WinWord 6.0", "MS WinWord 5", "MS Word 97 Vorlage",
    "MS Word 2007 XML", "MS Word 2007 XML Template", "Office Open XML Text",
    "MS Word 2003 XML", "Rich Text Format",
}
EXCEL_FILTERS = {
    "MS Excel 97", "MS Excel 95", "MS Excel 5.0/95", "MS Excel 4.0", "MS Excel 97 Vorlage/Template",
    "Calc MS Excel 2007 XML", "Calc MS Excel 2007 VBA XML", "Calc MS Excel 2007 XML Template",
    "Calc Office Open XML", "MS Excel 2003 XML",
}
KINDS = {
    "word": ("com.sun.star.text.TextDocument", WORD_FILTERS),
    "excel": ("com.sun.star.sheet.SpreadsheetDocument", EXCEL_FILTERS),
}


class Failure(Exception):
    pass


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def url(path):
    return uno.systemPathToFileUrl(os.path.abspath(path))


class Bridge:
    def __init__(self, pipe):
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        deadline = time.time() + 120
        while True:
            try:
                self.ctx = resolver.resolve(
                    "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
                break
            except Exception:
                if time.time() > deadline:
                    raise
                time.sleep(0.05)
        self.smgr = self.ctx.ServiceManager
        self.desktop = self.create("com.sun.star.frame.Desktop")
        self.docs = {}
        self.next_handle = 1

    def create(self, service):
        return self.smgr.createInstanceWithContext(service, self.ctx)

    def doc(self, request):
        handle = request["doc"]
        if handle not in self.docs:
            raise Failure("The document is not open.")
        return self.docs[handle]

    def load_hidden(self, target, extra=()):
        # Hidden, no macros, no link updates and no interaction handler: a document that
        # would ask a question (password, repair, encoding) fails instead of waiting.
        args = (prop("Hidden", True), prop("MacroExecutionMode", 0),
                prop("UpdateDocMode", 0), prop("Silent", True)) + tuple(extra)
        return self.desktop.loadComponentFromURL(target, "_blank", 0, args)

    def op_ping(self, request):
        return {}

    def op_open(self, request):
        service, filters = KINDS[request["kind"]]
        path = request["path"]
        if not os.path.isfile(path):
            raise Failure("The file does not exist.")
        try:
            doc = self.load_hidden(url(path), (prop("ReadOnly", True),))
        except Exception as error:
            raise Failure("The document cannot be opened (%s)." % describe(error))
        if doc is None:
            raise Failure("The document cannot be opened: it is damaged, protected by a "
                          "password or not in a format that can be read.")
        filter_name = ""
        for arg in doc.getArgs():
            if arg.Name == "FilterName":
                filter_name = arg.Value
        if not doc.supportsService(service) or filter_name not in filters:
            close(doc)
            raise Failure("The file is not %s document." %
                          ("a Word" if request["kind"] == "word" else "an Excel"))
        handle = self.next_handle
        self.next_handle += 1
        self.docs[handle] = doc
        return {"doc": handle, "filter": filter_name}

    def op_convert(self, request):
        # Any document the office reads, written with a named filter: how tests and
        # benchmarks make Word and Excel files from flat ODF they write by hand.
        doc = self.load_hidden(url(request["path"]))
        if doc is None:
            raise Failure("The document cannot be opened.")
        try:
            args = [prop("FilterName", request["filter"]), prop("Overwrite", True)]
            if request.get("password"):
                args.append(prop("Password", request["password"]))
            doc.storeToURL(url(request["out"]), tuple(args))
        finally:
            close(doc)
        return {}

    def op_close(self, request):
        doc = self.docs.pop(request["doc"], None)
        if doc is not None:
            close(doc)
        return {}

    def op_store(self, request):
        # One export of the whole document with a named filter (web page, PDF).
        doc = self.doc(request)
        args = [prop("FilterName", request["filter"]), prop("Overwrite", True)]
        doc.storeToURL(url(request["path"]), tuple(args))
        return {}

    def op_sheets(self, request):
        doc = self.doc(request)
        sheets = []
        for sheet in iter_sheets(doc):
            cursor = sheet.createCursor()
            cursor.gotoStartOfUsedArea(False)
            cursor.gotoEndOfUsedArea(True)
            sheets.append({
                "name": sheet.Name,
                "counta": count_content_cells(sheet),
                "drawings": sheet.DrawPage.Count,
                "visible": bool(sheet.IsVisible),
                "range": cursor.AbsoluteName,
            })
        return {"sheets": sheets}

    def single_sheet_copy(self, request):
        # A new document holding only the sheet, so the export filters (which always take
        # the whole document) give that sheet alone.
        source = self.doc(request)
        index = request["index"]
        if index < 1 or index > source.Sheets.Count:
            raise Failure("The workbook has no sheet %d." % index)
        original = source.Sheets.getByIndex(index - 1)
        # A bare document model without frame or view: a hidden view paints from the
        # office's timers, and under load that paint can run on a sheet being inserted or
        # removed, which crashes the office.
        copy = self.create("com.sun.star.sheet.SpreadsheetDocument")
        copy.initNew()
        try:
            # Asking for a drawing page makes the model able to hold drawings, so charts
            # and pictures come along with the sheet.
            copy.Sheets.getByIndex(0).DrawPage
            copy.Sheets.importSheet(source, original.Name, 0)
            while copy.Sheets.Count > 1:
                copy.Sheets.removeByName(copy.Sheets.getByIndex(1).Name)
            copy.Sheets.getByIndex(0).IsVisible = True
        except Exception:
            close(copy)
            raise
        return copy

    def op_sheet_html(self, request):
        copy = self.single_sheet_copy(request)
        try:
            copy.storeToURL(url(request["path"]),
                            (prop("FilterName", "HTML (StarCalc)"), prop("Overwrite", True)))
        finally:
            close(copy)
        return {}

    def op_sheet_pdf(self, request):
        # The used range on one page without header or footer, for a picture of the range.
        copy = self.single_sheet_copy(request)
        try:
            sheet = copy.Sheets.getByIndex(0)
            if sheet.DrawPage.Count == 0:
                cursor = sheet.createCursor()
                cursor.gotoStartOfUsedArea(False)
                cursor.gotoEndOfUsedArea(True)
                sheet.setPrintAreas((cursor.RangeAddress,))
            # else the office prints the used cells and everything placed on them: a chart
            # sheet's chart lies outside its one used cell.
            style = copy.StyleFamilies.getByName("PageStyles").getByName(sheet.PageStyle)
            style.HeaderIsOn = False
            style.FooterIsOn = False
            for side in ("TopMargin", "BottomMargin", "LeftMargin", "RightMargin"):
                setattr(style, side, 0)
            style.ScaleToPagesX = 1
            style.ScaleToPagesY = 1
            copy.storeToURL(url(request["path"]),
                            (prop("FilterName", "calc_pdf_Export"), prop("Overwrite", True)))
        finally:
            close(copy)
        return {}

    def op_graphic(self, request):
        # Any picture format the office can read (metafiles too), written as PNG.
        provider = self.create("com.sun.star.graphic.GraphicProvider")
        graphic = provider.queryGraphic((prop("URL", url(request["path"])),))
        if graphic is None:
            raise Failure("The picture cannot be read.")
        provider.storeGraphic(graphic, (prop("URL", url(request["out"])),
                                        prop("MimeType", request.get("mime", "image/png"))))
        return {}


def count_content_cells(sheet):
    # What COUNTA of the used range gives: cells holding a value, a date, a text or a
    # formula. The query answers with rectangles made only of such cells.
    ranges = sheet.queryContentCells(1 | 2 | 4 | 16)
    return sum((r.EndColumn - r.StartColumn + 1) * (r.EndRow - r.StartRow + 1)
               for r in ranges.RangeAddresses)


def iter_sheets(doc):
    sheets = doc.Sheets
    for i in range(sheets.Count):
        yield sheets.getByIndex(i)


def close(doc):
    try:
        doc.close(True)
    except Exception:
        try:
            doc.dispose()
        except Exception:
            pass


def describe(error):
    # UNO messages end in source locations ("at ./sc/..."), which say nothing to a user.
    message = getattr(error, "Message", "") or str(error)
    lines = [line.strip() for line in message.splitlines()
             if line.strip() and not line.strip().startswith("at ")]
    return lines[0] if lines else type(error).__name__


def main():
    bridge = Bridge(sys.argv[1])
    out = sys.stdout
    out.write(json.dumps({"ok": True, "ready": True}) + "\n")
    out.flush()
    for line in sys.stdin:
        try:
            request = json.loads(line)
            handler = getattr(bridge, "op_" + request.get("op", ""), None)
            if handler is None:
                raise Failure("Unknown request.")
            answer = handler(request)
            answer["ok"] = True
        except Failure as failure:
            answer = {"ok": False, "error": str(failure)}
        except Exception as error:
            answer = {"ok": False, "error": describe(error)}
        out.write(json.dumps(answer) + "\n")
        out.flush()


if __name__ == "__main__":
    main()
