// A second, independent reading of the Word and Excel clean-ups in plain JavaScript,
// on the JavaScript engine's own regular expressions. The differential test feeds the
// same inputs to it and to `tessary clean` and expects the same characters.
//
// usage: node clean.mjs word|excel paste|import OPTIONS FILE [TIMESTAMP]
//    or: node clean.mjs < cases.jsonl   (one {kind, flag, options, html, timestamp} per
//        line in, one {style, body} per line out)
import { readFileSync } from "node:fs";

const replace = (text, pattern, template) => text.replace(new RegExp(pattern, "gi"), template);
const untilStable = (text, pattern, template) => {
  for (;;) {
    const next = replace(text, pattern, template);
    if (next === text) return text;
    text = next;
  }
};
const subMatch = (text, pattern, index) => {
  const m = new RegExp(pattern, "i").exec(text);
  return m && m[index + 1] !== undefined ? m[index + 1] : "";
};
const test = (pattern, text) => new RegExp(pattern, "i").test(text);
const trimSpaces = (s) => s.replace(/^ +| +$/g, "");
const option = (options, key) => {
  let result = "";
  for (const item of options.split(";")) {
    const parts = item.split(":");
    if (parts.length === 2 && trimSpaces(parts[0]).toLowerCase() === key.toLowerCase()) {
      result = trimSpaces(parts[1]);
      break;
    }
  }
  return result;
};
const on = (options, key) => option(options, key) === "1";
const numeric = (s) => /^[ \t]*[+-]?(\d[\d,]*\.?\d*|\.\d+)([eEdD][+-]?\d+)?[ \t]*$/.test(s);
const toNumber = (s) => Number(s.trim().replace(/,/g, "").replace(/[dD]/, "e"));
const formatNumber = (x) => String(Number(x.toPrecision(15)));
const toPoints = (length) => {
  const t = trimSpaces(length);
  if (t.length <= 2) return t;
  const unit = t.slice(-2).toLowerCase();
  const number = t.slice(0, -2);
  if (unit === "cm") return numeric(number) ? formatNumber(toNumber(number) * 28.35) : "";
  if (unit === "pt") return number;
  return t;
};
const collect = (head, pattern) => (head.match(new RegExp(pattern, "gi")) || []).join("\r\n");
const wrapStyle = (s) => "<style>\r\n/* Generator: Tessary */\r\n" + s + "\r\n</style>";
const body = (text) => {
  let i = text.toLowerCase().indexOf("<body");
  if (i >= 0) {
    text = text.slice(i + 5);
    const j = text.indexOf(">");
    if (j >= 0) text = text.slice(j + 1);
  }
  i = text.toLowerCase().lastIndexOf("</body>");
  return i >= 0 ? text.slice(0, i) : text;
};
const OFFICE_IF = String.raw`<!--\[if gte mso [0-9]+\]>([^a]|a)+?<!\[endif\]-->`;

function word(flag, html, opt) {
  const o = (k) => on(opt, k);
  const mode1 = o("optimizemode");
  let text = html;
  let i = text.toLowerCase().indexOf("</title>");
  if (i >= 0) text = text.slice(i + 8);
  let head = text;
  i = text.toLowerCase().indexOf("</head>");
  if (i >= 0) {
    head = text.slice(0, i);
    text = text.slice(i + 7);
  }
  head = replace(head, OFFICE_IF, "");
  let s = collect(head, String.raw`<style>([^a]|a)+?</style>`);
  s = replace(s, String.raw`</?style>`, "");
  const size = subMatch(s, String.raw`@page\s[^\{]+?\{[^\}]*?size:([^;\}]+);[^\}]*?\}`, 0);
  const margin = subMatch(s, String.raw`@page\s[^\{]+?\{[^\}]*?margin:([^;\}]+);[^\}]*?\}`, 0);
  s = replace(s, String.raw`st[0-9]+\\:\*\s*\{\s*behavior:url\(#ieooui\)[^\}]*?\}`, "");
  if (o("opt1vml")) {
    s = replace(s, String.raw`[\w]+\\:\*\s*\{\s*behavior:url\(#default#VML\)[^\}]*?\}`, "");
    s = replace(s, String.raw`[\w\.]+\s*\{\s*behavior:url\(#default#VML\)[^\}]*?\}`, "");
  }
  s = replace(s, String.raw`<!--\s+`, "");
  s = replace(s, String.raw`\s+-->`, "");
  s = replace(s, String.raw`/\*[\w\s]+\*/`, "");
  s = replace(s, String.raw`@[^\{";]+?\{[^\}]*?\}`, "");
  s = replace(s, String.raw`([\s\}])a:[a-zA-Z\,\.\s]+?\{[^\}]*?\}`, "$1");
  s = replace(s, String.raw`([\s\}])(ol|ul|li)\s*?\{[^\}]*?\}`, "$1");
  s = untilStable(s, String.raw`(\{[^\}]*?)(mso-[\w\-]+:[^;\}]+;?)+([^}]*?\})`, "$1$3");
  s = replace(s, String.raw`[^\s\}\{][^\}\{]+?\{\s*?\}`, "");
  s = replace(s, String.raw`\s*\{\s*`, " {");
  s = replace(s, String.raw`\s*\}\s*`, "}\r\n");
  s = untilStable(s, String.raw`\{((?:[\w\-]+:[^\};]+;)+)\s+([^\}]*?\})`, "{$1$2");
  s = replace(s, String.raw`(\r\n)+`, "\r\n");
  s = replace(s, String.raw`\s*([^\s](?:[^a]|a)+[^\s])\s*`, "$1");
  const style = wrapStyle(s);

  text = body(text);
  text = replace(text, String.raw`<o:p>(&nbsp;)*</o:p>`, "");
  text = replace(text, String.raw`<span[^>]*?></span>`, "");
  text = replace(text, String.raw`<!--\[if mso[^>]*?>([^a]|a)*?<!\[endif\]-->`, "");
  text = replace(text, String.raw`<!--([^a]|a)*?-->`, "");
  const middle = '$1 style="vertical-align:middle;"$2';
  if (mode1) {
    if (o("opt1vml")) text = replace(text, String.raw`<!\[if !vml\]>(([^a]|a)+?)<!\[endif\]>`, "$1");
    else text = replace(text, String.raw`<!\[if !vml\]>([^a]|a)+?<!\[endif\]>`, "");
    text = replace(text, String.raw`<(st[0-9]+:\w+)[^>]*?>((?:[^a]|a)+?)</\1>`, "$2");
    if (o("opt1absolute"))
      text = replace(text, String.raw`<(\w[^>]*?style=[^>]*?)position:\s*?absolute([^>]*?)>`, "<$1$2>");
    if (o("opt1space"))
      text = replace(text, String.raw`<p\s+?[^>]*?>(<\w[^>]*?>)*?(&nbsp;)*?(</\w[^>]*?>)*?</p>`, "");
    if (o("opt1eq")) {
      if (flag === "import") {
        text = replace(text, String.raw`(<sub><img\s+?[^>]*?)style=['"][^>]*?['"]([^>]*?></sub>)`, "$1$2");
        text = replace(text, String.raw`<sub>(<img)(\s+?[^>]*?>)</sub>`, middle);
      } else {
        text = replace(text, String.raw`(<span[^>]*?mso-text-raise[^>]*><img\s+?[^>]*?)style=['"][^>]*?['"]([^>]*?></span>)`, "$1$2");
        text = replace(text, String.raw`<span[^>]*?mso-text-raise[^>]*>(<img)(\s+?[^>]*?>)</span>`, middle);
      }
    }
    if (o("opt1margin")) {
      text = replace(text, String.raw`(<\w+[^>]*?\sstyle=[^>]*?)margin-left:\s*?-[0-9\.]+([^>]*?>)`, "$1margin-left:0$2");
      text = replace(text, String.raw`(<\w+[^>]*?\sstyle=[^>]*?)left:\s*?-[0-9\.]+([^>]*?>)`, "$1left:0$2");
    }
    text = untilStable(text, String.raw`(<\w+\s+[^>]*?style='[^'>]*?)(mso-[\w\-]+:[^;'>]+;?)+([^'>]*?'[^>]*?>)`, "$1$3");
    text = untilStable(text, String.raw`(<\w+\s+[^>]*?style="[^">]*?)(mso-[\w\-]+:[^;">]+;?)+([^">]*?"[^>]*?>)`, "$1$3");
    text = replace(text, String.raw`(<\w+\s+[^>]*?)style=(['"])\s*?\2([^>]*?>)`, "$1$3");
    text = replace(text, String.raw`(<\w+[^>]*?)\slang=[\w\-]+([^>]*?>)`, "$1$2");
    text = replace(text, String.raw`(<img[^>]*?)\sv:shapes="[^<>"]*"([^>]*?>)`, "$1$2");
  } else {
    text = replace(text, String.raw`<!\[if !vml\]>(([^a]|a)+?)<!\[endif\]>`, "$1");
    if (flag === "paste")
      text = replace(text, String.raw`<span[^>]*?mso-text-raise[^>]*>(<img\s+?[^>]*?>)</span>`, "<sub>$1</sub>");
    text = replace(text, String.raw`(<\w+?\s+?[^>]*?)class=\w*([^>]*?>)`, "$1$2");
    text = replace(text, String.raw`(<\w+?\s+?[^>]*?)style='[^<>']*'([^>]*?>)`, "$1$2");
    text = replace(text, String.raw`(<\w+?\s+?[^>]*?)style=\"[^<>\"]*\"([^>]*?>)`, "$1$2");
    text = replace(text, String.raw`(<\w+?\s+?[^>]*?)lang=\w*([^>]*?>)`, "$1$2");
    text = replace(text, String.raw`(<img[^>]*?)\sv:shapes="[^<>"]*"([^>]*?>)`, "$1$2");
    text = replace(text, String.raw`<!--[^>]*?-->`, "");
    let keep = "p|/p|br";
    if (o("opt2image")) keep += "|img";
    if (o("opt2table")) keep += "|table|tr|td|th|/table|/tr|/td|/th";
    if (o("opt2eq")) {
      if (!o("opt2image")) keep += "|img";
      keep += "|sub|sup|/sub|/sup";
    }
    text = replace(text, "<(?!(" + keep + "))+?[^>]*?>", "");
    if (o("opt2eq")) text = replace(text, String.raw`<sub>(<img)(\s+?[^>]*?>)</sub>`, middle);
    if (o("opt2table"))
      text = replace(text, String.raw`(<table)([^>]*?>)`, '$1 style="border-collapse:collapse;" border=1 bordercolor="#000000"$2');
    if (o("opt2indent")) text = replace(text, String.raw`(<p)([^>]*?>)`, '$1 style="text-indent:2em;"$2');
    if (o("opt2ptobr")) {
      text = replace(text, String.raw`<p[^>]*?>`, "");
      text = replace(text, String.raw`</p>`, "<br>");
    }
    text = untilStable(text, String.raw`(<\w[^>]*?)\s\s+([^>]*?>)`, "$1 $2");
    text = replace(text, String.raw`(<\w[^>]*?)\s>`, "$1>");
  }
  text = replace(text, String.raw`(<\w+)\s+>`, "$1>");
  text = untilStable(text, String.raw`<(span|font)(?=[\s\>])[^>]*?></\1>`, "");
  text = replace(text, String.raw`(<p(?=[\s\>])[^>]*?>)(</p>)`, "$1&nbsp;$2");

  if (o("pagewidth")) {
    let paper = "", left = "", right = "";
    const sz = trimSpaces(size);
    if (sz !== "") {
      const p = sz.split(" ");
      if (p.length === 2) paper = toPoints(p[0]);
    }
    const mg = trimSpaces(margin);
    if (mg !== "") {
      const p = mg.split(" ");
      if (p.length === 4) {
        left = toPoints(p[3]);
        right = toPoints(p[1]);
      }
    }
    if (numeric(paper) && numeric(left) && numeric(right)) {
      let open = '<table border=0 cellpadding=0 cellspacing=0 align=center style="overflow-x:hidden;word-break:break-all;';
      if (o("pagemargin")) open += "width:" + paper + "pt;padding:" + mg + ";";
      else open += "width:" + formatNumber(toNumber(paper) - toNumber(left) - toNumber(right)) + "pt;";
      text = open + '"><tr><td>' + text + "</td></tr></table>";
      if (o("pageeffect"))
        text = '<table cellspacing=0 cellpadding=0 align=center style="border-top:1px solid #000000;border-left:1px solid #000000;border-right:3px solid #000000;border-bottom:3px solid #000000;"><tr><td style="background-color:#ffffff;">' + text + "</td></table>";
      if (o("pagescroll")) text = '<div style="width:100%;overflow:auto;">' + text + "</div>";
    }
  }
  return { style, body: text };
}

function excel(flag, html, opt, timestamp) {
  const o = (k) => on(opt, k);
  const id = "t" + timestamp.substring(8, 17);
  let text = html;
  let head = html;
  const i = text.toLowerCase().indexOf("</head>");
  if (i >= 0) {
    head = text.slice(0, i);
    text = text.slice(i + 7);
  }
  head = replace(head, OFFICE_IF, "");
  let s = collect(head, String.raw`<style.*?>([^a]|a)+?</style>`);
  s = replace(s, String.raw`</?style.*?>`, "");
  s = replace(s, String.raw`st[0-9]+\\:\*\s*\{\s*behavior:url\(#ieooui\)[^\}]*?\}`, "");
  if (o("opt1vml")) {
    s = replace(s, String.raw`[\w]+\\:\*\s*\{\s*behavior:url\(#default#VML\)[^\}]*?\}`, "");
    s = replace(s, String.raw`[\w\.]+\s*\{\s*behavior:url\(#default#VML\)[^\}]*?\}`, "");
  }
  s = replace(s, String.raw`<!--\s+`, "");
  s = replace(s, String.raw`\s+-->`, "");
  s = replace(s, String.raw`/\*[\w\s]+\*/`, "");
  s = replace(s, String.raw`@[^\{";]+?\{[^\}]*?\}`, "");
  s = untilStable(s, String.raw`(\{[^\}]*?)(mso-[\w\-]+:"[^\}\n]+?";?)+([^}]*?\})`, "$1$3");
  s = untilStable(s, String.raw`(\{[^\}]*?)(mso-[\w\-]+:[^;\}]+;?)+([^}]*?\})`, "$1$3");
  if (!test(String.raw`<ruby(?=[\s\>])[^>]*?>`, text)) s = replace(s, String.raw`([\s\}])ruby\s*\{[^\}]*?\}`, "$1");
  if (!test(String.raw`<rt(?=[\s\>])[^>]*?>`, text)) s = replace(s, String.raw`([\s\}])rt\s*\{[^\}]*?\}`, "$1");
  s = replace(s, String.raw`[^\s\}\{][^\}\{]+?\{\s*?\}`, "");
  s = replace(s, String.raw`\s*\{\s*`, " {");
  s = replace(s, String.raw`\s*\}\s*`, "}\r\n");
  s = untilStable(s, String.raw`\{((?:[\w\-]+:[^\};]+;)+)\s+([^\}]*?\})`, "{$1$2");
  s = replace(s, String.raw`(\r\n)+`, "\r\n");
  s = replace(s, String.raw`\s*([^\s](?:[^a]|a)+[^\s])\s*`, "$1");
  s = replace(s, String.raw`([\s\}])(td\s*\{[^\}]+\})`, "$1#" + id + " $2");
  let style = wrapStyle(s);

  text = body(text);
  text = replace(text, String.raw`<!--\[if mso[^>]*?>([^a]|a)*?<!\[endif\]-->`, "");
  text = replace(text, String.raw`<!--[^>]*?-->`, "");
  text = replace(text, String.raw`(<td\s[^>]*?)\sx:num="[0-9\.]+?"([^>]*?>)`, "$1$2");
  text = replace(text, String.raw`(<td\s[^>]*?)\sx:num>`, "$1>");
  text = replace(text, String.raw`(<table(?=\s)[^>]*?)\sx:str([^>]*?>)`, "$1$2");
  text = replace(text, String.raw`(<table)(\s*)`, '$1 id="' + id + '"$2');
  if (o("optimizemode")) {
    if (o("opt1vml")) {
      text = replace(text, String.raw`<!--\[if gte vml 1\]>([^a]|a)+?<!\[endif\]-->`, "");
      text = replace(text, String.raw`<!\[if !vml\]>(([^a]|a)+?)<!\[endif\]>`, "$1");
      text = replace(text, String.raw`</?[vox]:[a-z]+[^>]*?>`, "");
    } else {
      text = replace(text, String.raw`<!\[if !vml\]>([^a]|a)+?<!\[endif\]>`, "");
    }
    if (o("opt1space"))
      text = replace(text, String.raw`<tr\s[^>]*?>\s*?(<td[^>]*?>[\s\u3000]*?</td>\s*?)+?</tr>`, "");
    if (o("opt1table")) {
      style = replace(style, String.raw`(\std\s*\{[^\}]*?)border\s*:\s*none([^\}]*?\})`, "$1$2");
      text = replace(text, String.raw`<table([^>]+?) border=0([^>]+?)>`, "<table$1 border=1$2>");
    }
    if (o("opt1overflow")) text = '<div style="width:100%;overflow:auto;">\r\n' + text + "\r\n</div>";
    text = untilStable(text, String.raw`(<\w+\s+[^>]*?style='[^'>]*?)(mso-[\w\-]+:[^;'>]+;?)+([^'>]*?'[^>]*?>)`, "$1$3");
    text = untilStable(text, String.raw`(<\w+\s+[^>]*?style="[^">]*?)(mso-[\w\-]+:[^;">]+;?)+([^">]*?"[^>]*?>)`, "$1$3");
    text = replace(text, String.raw`(<\w+\s+[^>]*?)style=(['"])\s*?\2([^>]*?>)`, "$1$3");
    text = replace(text, String.raw`(<\w+[^>]*?)\slang=[\w\-]+([^>]*?>)`, "$1$2");
    text = replace(text, String.raw`(<img[^>]*?)\sv:shapes="[^<>"]*"([^>]*?>)`, "$1$2");
  } else {
    text = replace(text, String.raw`<!--\[if gte vml 1\]>([^a]|a)+?<!\[endif\]-->`, "");
    text = replace(text, String.raw`<!\[if !vml\]>(([^a]|a)+?)<!\[endif\]>`, "$1");
    let keep = "table|tr|td|th|/table|/tr|/td|/th";
    if (o("opt2image")) keep += "|img";
    text = replace(text, "<(?!(" + keep + "))+?[^>]*?>", "");
    if (o("opt2space")) text = replace(text, String.raw`<tr\s[^>]*?>\s*?(<td[^>]*?></td>\s*?)+?</tr>`, "");
    text = replace(text, String.raw`(<\w+?\s+?[^>]*?)class=\w*([^>]*?>)`, "$1$2");
    text = replace(text, String.raw`(<\w+?\s+?[^>]*?)style='[^<>']*'([^>]*?>)`, "$1$2");
    text = replace(text, String.raw`(<\w+?\s+?[^>]*?)style=\"[^<>\"]*\"([^>]*?>)`, "$1$2");
    text = replace(text, String.raw`(<\w+?\s+?[^>]*?)lang=\w*([^>]*?>)`, "$1$2");
    text = replace(text, String.raw`(<img[^>]*?)\sv:shapes="[^<>"]*"([^>]*?>)`, "$1$2");
    if (o("opt2table"))
      text = replace(text, String.raw`<table([^>]+?) border=0([^>]+?)>`, '<table$1 border=1 style="border-collapse:collapse;"$2>');
    text = untilStable(text, String.raw`(<\w[^>]*?)\s\s+([^>]*?>)`, "$1 $2");
    text = replace(text, String.raw`(<\w[^>]*?)\s>`, "$1>");
  }
  return { style, body: text };
}

const clean = (kind, flag, html, options, timestamp) =>
  kind === "word" ? word(flag, html, options) : excel(flag, html, options, timestamp);

if (process.argv.length > 2) {
  const [kind, flag, options, file, timestamp] = process.argv.slice(2);
  const html = new TextDecoder("utf-8").decode(readFileSync(file));
  process.stdout.write(JSON.stringify(clean(kind, flag, html, options, timestamp)) + "\n");
} else {
  const lines = readFileSync(0, "utf-8").split("\n").filter((line) => line !== "");
  const out = lines.map((line) => {
    const c = JSON.parse(line);
    return JSON.stringify(clean(c.kind, c.flag, c.html, c.options, c.timestamp));
  });
  process.stdout.write(out.join("\n") + "\n");
}
