// Writes realistic Word and Excel HTML of a given size for the clean-up benchmark:
// the head, style sheet and body markup that Office writes (mso- properties, @page and
// @font-face rules, conditional comments, VML shapes with their fallbacks, o:p, smart
// tags, lists, tables; for Excel large tables with x:num, classes and styles).
//
// usage: bench_clean_gen word-paste|word-import|excel MEGABYTES OUTPUT
#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <cstdio>

namespace {

const char* const kWords[] = {"quarterly",
                              "report",
                              "revenue",
                              "customer",
                              "growth",
                              "the",
                              "and",
                              "of",
                              "market",
                              "product",
                              "team",
                              "review",
                              "plan",
                              "budget",
                              "risk",
                              "project",
                              "schedule",
                              "delivery",
                              "\xe4\xb8\xad\xe6\x96\x87",
                              "\xe6\x96\x87\xe6\xa1\xa3",
                              "caf\xc3\xa9",
                              "na\xc3\xafve",
                              "analysis",
                              "figure",
                              "table",
                              "summary",
                              "note",
                              "appendix",
                              "result",
                              "quality"};

class Writer {
public:
    explicit Writer(quint32 seed) : m_random(seed) {}
    QByteArray out;

    int number(int below) { return int(m_random.bounded(below)); }
    const char* word() { return kWords[number(int(std::size(kWords)))]; }
    void words(int count) {
        for (int i = 0; i < count; ++i) {
            if (i)
                out += ' ';
            out += word();
        }
    }
    void add(const char* text) { out += text; }
    void add(const QByteArray& text) { out += text; }
    void addf(const char* format, auto... values) {
        char line[4096];
        std::snprintf(line, sizeof line, format, values...);
        out += line;
    }

private:
    QRandomGenerator m_random;
};

void WordStyleSheet(Writer& w, int styles) {
    w.add("<style>\r\n<!--\r\n /* Font Definitions */\r\n");
    const char* fonts[] = {"\"Cambria Math\"",    "DengXian", "Calibri",
                           "\"Times New Roman\"", "SimSun",   "\"\\@DengXian\""};
    for (const char* font : fonts)
        w.addf("@font-face\r\n\t{font-family:%s;\r\n\tpanose-1:2 4 5 3 5 4 6 3 2 4;\r\n"
               "\tmso-font-charset:0;\r\n\tmso-generic-font-family:roman;\r\n"
               "\tmso-font-pitch:variable;\r\n\tmso-font-signature:-536869121 1107305727 "
               "33554432 0 415 0;}\r\n",
               font);
    w.add(" /* Style Definitions */\r\n p.MsoNormal, li.MsoNormal, div.MsoNormal\r\n"
          "\t{mso-style-unhide:no;\r\n\tmso-style-qformat:yes;\r\n\tmso-style-parent:\"\";\r\n"
          "\tmargin:0cm;\r\n\ttext-align:justify;\r\n\tmso-pagination:none;\r\n"
          "\tfont-size:10.5pt;\r\n\tmso-bidi-font-size:11.0pt;\r\n\tfont-family:DengXian;\r\n"
          "\tmso-fareast-language:ZH-CN;}\r\n"
          "a:link, span.MsoHyperlink\r\n\t{mso-style-priority:99;\r\n\tcolor:#0563C1;\r\n"
          "\ttext-decoration:underline;\r\n\ttext-underline:single;}\r\n"
          "st1\\:*{behavior:url(#ieooui) }\r\nv\\:* {behavior:url(#default#VML);}\r\n"
          "o\\:* {behavior:url(#default#VML);}\r\n.shape {behavior:url(#default#VML);}\r\n");
    for (int i = 0; i < styles; ++i)
        w.addf("p.Style%d, li.Style%d, div.Style%d\r\n\t{mso-style-name:\"Style %d\";\r\n"
               "\tmso-style-priority:%d;\r\n\tmso-style-link:\"Style %d Char\";\r\n"
               "\tmargin-top:%d.0pt;\r\n\tmargin-bottom:%d.0pt;\r\n\tfont-size:%d.0pt;\r\n"
               "\tmso-bidi-font-size:%d.0pt;\r\n\tmso-font-kerning:1.0pt;\r\n"
               "\tcolor:#%06X;}\r\nspan.Style%dChar\r\n\t{mso-style-name:\"Style %d Char\";\r\n"
               "\tmso-style-locked:yes;\r\n\tmso-ansi-font-size:%d.0pt;}\r\n",
               i, i, i, i, w.number(99), i, w.number(24), w.number(24), 8 + w.number(20),
               8 + w.number(20), w.number(0xffffff), i, i, 8 + w.number(20));
    w.add("@page WordSection1\r\n\t{size:595.3pt 841.9pt;\r\n\tmargin:72.0pt 90.0pt 72.0pt "
          "90.0pt;\r\n\tmso-header-margin:42.55pt;\r\n\tmso-footer-margin:49.6pt;\r\n"
          "\tmso-paper-source:0;\r\n\tlayout-grid:15.6pt;}\r\ndiv.WordSection1\r\n"
          "\t{page:WordSection1;}\r\n");
    for (int i = 0; i < 8; ++i)
        w.addf("@list l%d\r\n\t{mso-list-id:%d;\r\n\tmso-list-type:hybrid;}\r\n@list "
               "l%d:level1\r\n\t{mso-level-tab-stop:none;\r\n\tmargin-left:18.0pt;\r\n"
               "\ttext-indent:-18.0pt;}\r\n",
               i, 100000 + w.number(900000), i);
    w.add("ol\r\n\t{margin-bottom:0cm;}\r\nul\r\n\t{margin-bottom:0cm;}\r\n-->\r\n</style>\r\n"
          "<!--[if gte mso 10]>\r\n<style>\r\n table.MsoNormalTable\r\n"
          "\t{mso-style-name:\"Normal Table\";\r\n\tmso-padding-alt:0cm 5.4pt 0cm 5.4pt;}\r\n"
          "</style>\r\n<![endif]-->\r\n");
}

void WordBlock(Writer& w, int n, bool paste) {
    switch (n % 7) {
    case 0:
        w.addf("<h1><span lang=EN-US>");
        w.words(4);
        w.add("<o:p></o:p></span></h1>\r\n\r\n");
        break;
    case 1:
        w.addf("<p class=Style%d><span lang=EN-US style='font-family:\"Times New "
               "Roman\",serif;mso-fareast-font-family:DengXian;mso-bidi-font-size:11.0pt'>",
               w.number(40));
        w.words(30 + w.number(40));
        w.add(" <b style='mso-bidi-font-weight:normal'>");
        w.words(3);
        w.add("</b> <st1:place w:st=\"on\"><st1:City w:st=\"on\">Paris</st1:City></st1:place> ");
        w.words(20);
        w.add("<o:p></o:p></span></p>\r\n\r\n<p class=MsoNormal><o:p>&nbsp;</o:p></p>\r\n\r\n");
        break;
    case 2:
        for (int item = 0; item < 3; ++item) {
            w.addf("<p class=MsoListParagraph style='margin-left:18.0pt;text-indent:-18.0pt;"
                   "mso-list:l%d level1 lfo1'><![if !supportLists]><span lang=EN-US "
                   "style='mso-bidi-font-family:DengXian'><span style='mso-list:Ignore'>%d."
                   "<span style='font:7.0pt \"Times New Roman\"'>&nbsp;&nbsp;&nbsp; "
                   "</span></span></span><![endif]><span lang=EN-US>",
                   w.number(8), item + 1);
            w.words(8);
            w.add("<o:p></o:p></span></p>\r\n");
        }
        w.add("\r\n");
        break;
    case 3: {
        const int shape = 1025 + n;
        const char* folder = paste ? "file:///C:/Users/ann/AppData/Local/Temp/msohtmlclip1/01/clip_"
                                   : "report.files/";
        w.addf("<p class=MsoNormal style='margin-left:-5.4pt'><span lang=EN-US><!--[if gte vml "
               "1]><v:shape id=\"Picture_%d\" o:spid=\"_x0000_i%d\" type=\"#_x0000_t75\" "
               "style='width:%dpt;height:%dpt;visibility:visible;mso-wrap-style:square'>\r\n "
               "<v:imagedata src=\"%simage%03d.png\" o:title=\"\"/>\r\n</v:shape><![endif]--><!"
               "[if !vml]><img width=%d height=%d src=\"%simage%03d.png\" "
               "v:shapes=\"Picture_%d\"><![endif]><o:p></o:p></span></p>\r\n\r\n",
               shape, shape, 100 + w.number(300), 50 + w.number(200), folder, n % 1000,
               100 + w.number(300), 50 + w.number(200), folder, n % 1000 + 1, shape);
        break;
    }
    case 4:
        w.add("<p class=MsoNormal><span lang=EN-US>E = mc</span><span lang=EN-US "
              "style='position:relative;top:4.0pt;mso-text-raise:-4.0pt'><img width=13 "
              "height=20 style='width:9.75pt;height:15pt' src=\"eq.gif\" "
              "v:shapes=\"_x0000_i1026\"></span><sup>2</sup><span "
              "style='mso-spacerun:yes'>&nbsp; </span><span style='font-size:12.0pt'></span>");
        w.words(10);
        w.add("</p>\r\n\r\n");
        break;
    case 5:
        w.add("<table class=MsoTableGrid border=1 cellspacing=0 cellpadding=0 "
              "style='border-collapse:collapse;border:none;mso-border-alt:solid windowtext "
              ".5pt;mso-yfti-tbllook:1184;mso-padding-alt:0cm 5.4pt 0cm 5.4pt'>\r\n");
        for (int row = 0; row < 4; ++row) {
            w.addf(" <tr style='mso-yfti-irow:%d'>\r\n", row);
            for (int cell = 0; cell < 3; ++cell) {
                w.add("  <td width=184 valign=top style='width:138.25pt;border:solid windowtext "
                      "1.0pt;mso-border-alt:solid windowtext .5pt;padding:0cm 5.4pt 0cm "
                      "5.4pt'>\r\n  <p class=MsoNormal><span lang=EN-US>");
                w.words(2);
                w.add("<o:p></o:p></span></p>\r\n  </td>\r\n");
            }
            w.add(" </tr>\r\n");
        }
        w.add("</table>\r\n\r\n");
        break;
    default:
        w.add("<p class=MsoNormal style='position:absolute;left:-12.0pt;mso-margin-top-alt:auto'>"
              "<span style='font-size:12.0pt;mso-ascii-font-family:Calibri'><font "
              "face=Arial></font></span><!--[if mso]><span>x</span><![endif]-->");
        w.words(25);
        w.add("</p>\r\n\r\n");
        break;
    }
}

QByteArray WordDocument(qint64 bytes, bool paste) {
    Writer w(paste ? 11 : 12);
    w.add("<html xmlns:v=\"urn:schemas-microsoft-com:vml\"\r\nxmlns:o=\"urn:schemas-microsoft-"
          "com:office:office\"\r\nxmlns:w=\"urn:schemas-microsoft-com:office:word\"\r\n"
          "xmlns=\"http://www.w3.org/TR/REC-html40\">\r\n\r\n<head>\r\n<meta "
          "http-equiv=Content-Type content=\"text/html; charset=utf-8\">\r\n<meta name=ProgId "
          "content=Word.Document>\r\n<meta name=Generator content=\"Microsoft Word 15\">\r\n");
    if (!paste)
        w.add("<title>Quarterly report</title>\r\n");
    w.add("<!--[if gte mso 9]><xml>\r\n <o:DocumentProperties>\r\n  <o:Author>Ann</o:Author>\r\n"
          " </o:DocumentProperties>\r\n</xml><![endif]-->\r\n");
    // The style sheet grows with the document, as long documents carry many styles.
    WordStyleSheet(w, int(bytes / 20000) + 20);
    w.add("</head>\r\n\r\n<body lang=ZH-CN style='tab-interval:21.0pt'>\r\n");
    if (paste)
        w.add("<!--StartFragment-->\r\n");
    w.add("<div class=WordSection1 style='layout-grid:15.6pt'>\r\n\r\n");
    const QByteArray tail = paste ? "</div>\r\n\r\n<!--EndFragment-->\r\n</body>\r\n\r\n</html>\r\n"
                                  : "</div>\r\n\r\n</body>\r\n\r\n</html>\r\n";
    for (int n = 0; w.out.size() + tail.size() < bytes; ++n)
        WordBlock(w, n, paste);
    w.add(tail);
    if (!paste)
        return w.out;
    // The clipboard's header lines with the offsets they describe.
    const char* format = "Version:0.9\r\nStartHTML:%010lld\r\nEndHTML:%010lld\r\n"
                         "StartFragment:%010lld\r\nEndFragment:%010lld\r\n";
    const qint64 headerSize = QString::asprintf(format, 0LL, 0LL, 0LL, 0LL).size();
    const qint64 start = w.out.indexOf("<!--StartFragment-->") + 20;
    const qint64 end = w.out.indexOf("<!--EndFragment-->");
    const QString header = QString::asprintf(format, headerSize, headerSize + w.out.size(),
                                             headerSize + start, headerSize + end);
    return header.toLatin1() + w.out;
}

QByteArray ExcelDocument(qint64 bytes) {
    Writer w(13);
    w.add("<html xmlns:v=\"urn:schemas-microsoft-com:vml\"\r\nxmlns:o=\"urn:schemas-microsoft-"
          "com:office:office\"\r\nxmlns:x=\"urn:schemas-microsoft-com:office:excel\"\r\n"
          "xmlns=\"http://www.w3.org/TR/REC-html40\">\r\n\r\n<head>\r\n<meta name=ProgId "
          "content=Excel.Sheet>\r\n<meta name=Generator content=\"Microsoft Excel 15\">\r\n"
          "<style id=\"Book1_12345_Styles\">\r\n<!--table\r\n\t{mso-displayed-decimal-separator:"
          "\"\\.\";\r\n\tmso-displayed-thousand-separator:\"\\,\";}\r\n@page\r\n\t{margin:.75in "
          ".7in .75in .7in;\r\n\tmso-header-margin:.3in;}\r\ntd\r\n\t{padding-top:1px;\r\n"
          "\tmso-ignore:padding;\r\n\tcolor:black;\r\n\tfont-size:11.0pt;\r\n\tborder:none;\r\n"
          "\tmso-number-format:General;\r\n\tmso-background-source:auto;}\r\n");
    const int classes = int(bytes / 50000) + 20;
    for (int i = 0; i < classes; ++i)
        w.addf(".xl%d\r\n\t{mso-style-parent:style0;\r\n\tmso-number-format:\"\\#\\,\\#\\#0\\.00_ "
               "\";\r\n\tfont-weight:%d;\r\n\ttext-align:right;\r\n\tborder:.5pt solid "
               "windowtext;\r\n\tbackground:#%06X;\r\n\tmso-pattern:black none;}\r\n",
               65 + i, w.number(2) ? 700 : 400, w.number(0xffffff));
    w.add("ruby\r\n\t{ruby-align:left;}\r\nrt\r\n\t{color:windowtext;\r\n\tdisplay:none;}\r\n"
          "-->\r\n</style>\r\n<!--[if gte mso 9]><xml>\r\n <x:ExcelWorkbook>\r\n  "
          "<x:ExcelWorksheets>\r\n   <x:ExcelWorksheet>\r\n    <x:Name>Sales</x:Name>\r\n   "
          "</x:ExcelWorksheet>\r\n  </x:ExcelWorksheets>\r\n </x:ExcelWorkbook>\r\n</xml><!["
          "endif]-->\r\n</head>\r\n\r\n<body link=\"#0563C1\" vlink=\"#954F72\">\r\n\r\n");
    const QByteArray tail = "</table>\r\n\r\n</body>\r\n\r\n</html>\r\n";
    int table = 0;
    int row = 0;
    while (w.out.size() + tail.size() < bytes) {
        if (row % 2000 == 0) {
            if (table++)
                w.add("</table>\r\n\r\n");
            w.add("<table border=0 cellpadding=0 cellspacing=0 width=576 style='border-collapse:"
                  "\r\n collapse;table-layout:fixed;width:432pt' x:str>\r\n <col width=72 span=8 "
                  "style='width:54pt'>\r\n");
        }
        ++row;
        w.addf(" <tr height=19 style='height:14.25pt'>\r\n  <td height=19 class=xl%d "
               "style='height:14.25pt'>%s</td>\r\n",
               65 + w.number(classes), w.word());
        for (int cell = 0; cell < 7; ++cell) {
            switch (w.number(6)) {
            case 0:
                w.add("  <td></td>\r\n");
                break;
            case 1:
                w.add("  <td>&nbsp;</td>\r\n");
                break;
            case 2:
                w.addf("  <td align=right x:num>%d</td>\r\n", w.number(1000));
                break;
            default: {
                const int whole = w.number(100000);
                const int cents = w.number(100);
                w.addf("  <td class=xl%d align=right x:num=\"%d.%02d\">%d.%02d</td>\r\n",
                       65 + w.number(classes), whole, cents, whole, cents);
            }
            }
        }
        w.add(" </tr>\r\n");
        if (row % 500 == 0)
            w.add(" <tr height=19 style='height:14.25pt'>\r\n  <td height=19 "
                  "style='height:14.25pt'><!--[if gte vml 1]><v:shape id=\"Picture_1\" "
                  "type=\"#_x0000_t75\" style='position:absolute;width:40pt;height:12pt'>\r\n"
                  "   <v:imagedata src=\"sales_files/image001.png\" o:title=\"\"/>\r\n   "
                  "<x:ClientData ObjectType=\"Pict\"><x:SizeWithCells/></x:ClientData>\r\n  "
                  "</v:shape><![endif]--><![if !vml]><span style='mso-ignore:vglayout;position:"
                  "absolute;z-index:1'><img width=53 height=16 src=\"sales_files/image002.png\" "
                  "v:shapes=\"Picture_1\"></span><![endif]></td>\r\n </tr>\r\n");
    }
    w.add(tail);
    return w.out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: bench_clean_gen word-paste|word-import|excel MEGABYTES OUTPUT\n",
                   stderr);
        return 2;
    }
    const QByteArray kind = argv[1];
    const qint64 bytes = qint64(QByteArray(argv[2]).toDouble() * 1024 * 1024);
    QByteArray html;
    if (kind == "word-paste")
        html = WordDocument(bytes, true);
    else if (kind == "word-import")
        html = WordDocument(bytes, false);
    else if (kind == "excel")
        html = ExcelDocument(bytes);
    else {
        std::fprintf(stderr, "bench_clean_gen: unknown kind %s\n", argv[1]);
        return 2;
    }
    QFile out(QString::fromLocal8Bit(argv[3]));
    if (!out.open(QIODevice::WriteOnly) || out.write(html) != html.size()) {
        std::fprintf(stderr, "bench_clean_gen: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
