#include "cli/list_formats.h"

#include <cstdio>

#include "platform/code_pages.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace lumora::cli {

namespace {

const char* StatusName(ArchiveReport::Status s) {
    switch (s) {
        case ArchiveReport::Status::Ok:
            return "ok";
        case ArchiveReport::Status::Empty:
            return "empty";
        case ArchiveReport::Status::Error:
            return "error";
        case ArchiveReport::Status::NoDescription:
        default:
            return "no-description";
    }
}

// A host path as UTF-8 text: bytes that are no UTF-8 become '?'.
std::string PathText(const std::string& path) {
    return DecodeCodePage(path, CodePage::Utf8);
}

std::string HtmlEscape(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // Control characters are not allowed in a page; tabs and line ends stay.
                out += static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' ? '?' : c;
        }
    }
    return out;
}

std::string JsonArchive(const ListedArchive& a, const ListText& text) {
    const ArchiveReport& r = a.report;
    std::string out =
        "    {\n      \"path\": " + JsonString(PathText(r.path)) +
        ",\n      \"name\": " + JsonString(AnsiToUtf8(r.name)) +
        ",\n      \"size\": " + (r.size ? std::to_string(*r.size) : "null") +
        ",\n      \"date\": " + (r.modified ? JsonString(IsoDateTime(*r.modified)) : "null") +
        ",\n      \"type\": " + JsonString(a.type) + ",\n      \"status\": \"" +
        StatusName(r.status) + "\"";
    if (r.status == ArchiveReport::Status::Error)
        out += ",\n      \"error\": {\"code\": " + std::to_string(r.errorCode) +
               ", \"text\": " + JsonString(AnsiToUtf8(r.errorText)) + "}";
    out += ",\n      \"description\": [";
    const auto lines = text.DescriptionUtf8(r.lines);
    for (std::size_t i = 0; i < lines.size(); ++i)
        out += (i ? ",\n        " : "\n        ") + JsonString(lines[i]);
    out += lines.empty() ? "]\n    }" : "\n      ]\n    }";
    return out;
}

}  // namespace

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", b);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string IsoDateTime(TDateTime t) {
    const DateParts p = DecodeDateTime(t);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
    return buf;
}

namespace {

std::string JsonHead(const SummaryInput& s) {
    return "{\n  \"summary\": {\n    \"created\": " + JsonString(IsoDateTime(s.today)) +
           ",\n    \"sourceFolder\": " + JsonString(AnsiToUtf8(s.sourceFolder)) +
           ",\n    \"archives\": " + std::to_string(s.archiveCount) +
           ",\n    \"kilobytes\": " + std::to_string(static_cast<long long>(s.totalKilobytes)) +
           ",\n    \"oldest\": " + JsonString(IsoDateTime(s.oldest)) +
           ",\n    \"newest\": " + JsonString(IsoDateTime(s.newest)) + "\n  },\n  \"archives\": [";
}

std::string HtmlHead(const SummaryInput& s) {
    const std::string folder = HtmlEscape(AnsiToUtf8(s.sourceFolder));
    return "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>" +
           folder +
           "</title>\n<style>\n"
           "body { font-family: sans-serif; margin: 1em; }\n"
           "table { border-collapse: collapse; }\n"
           "th, td { border: 1px solid #999; padding: 0.2em 0.5em; vertical-align: top; "
           "text-align: left; }\n"
           "td.num { text-align: right; }\n"
           "pre { margin: 0; font-family: \"DejaVu Sans Mono\", monospace; line-height: 1.1; }\n"
           ".missing { color: #666; font-style: italic; }\n"
           ".error { color: #a00; }\n"
           "</style>\n</head>\n<body>\n<h1>" +
           folder + "</h1>\n<p>" + std::to_string(s.archiveCount) + " Archive, " +
           std::to_string(static_cast<long long>(s.totalKilobytes)) + " KB, " +
           IsoDateTime(s.oldest).substr(0, 10) + " &#8211; " + IsoDateTime(s.newest).substr(0, 10) +
           "; erstellt " + IsoDateTime(s.today).substr(0, 10) +
           "</p>\n<table>\n<tr><th>Name</th><th>Gr&#246;&#223;e</th><th>Datum</th><th>Typ</th>"
           "<th>Beschreibung</th></tr>\n";
}

std::string HtmlRow(const ListedArchive& a, const ListText& text) {
    const ArchiveReport& r = a.report;
    std::string out = "<tr><td>" + HtmlEscape(AnsiToUtf8(r.name)) + "</td><td class=\"num\">" +
                      (r.size ? std::to_string(*r.size) : "?") + "</td><td>" +
                      (r.modified ? IsoDateTime(*r.modified).substr(0, 10) : "?") + "</td><td>" +
                      HtmlEscape(a.type) + "</td><td>";
    if (r.status == ArchiveReport::Status::Ok) {
        std::string pre;
        for (const auto& line : text.DescriptionUtf8(r.lines)) pre += line + "\n";
        out += "<pre>" + HtmlEscape(pre) + "</pre>";
    } else if (r.status == ArchiveReport::Status::Error) {
        out += "<span class=\"error\">" + HtmlEscape(AnsiToUtf8(r.errorText)) + "</span>";
    } else {
        out += std::string("<span class=\"missing\">") +
               (r.status == ArchiveReport::Status::Empty ? "Leere FILE_ID"
                                                         : "Keine FILE_ID gefunden") +
               "</span>";
    }
    return out + "</td></tr>\n";
}

}  // namespace

ListDocumentWriter::ListDocumentWriter(Format format, ListText text, Out out)
    : format_(format), text_(text), out_(std::move(out)) {}

void ListDocumentWriter::Summary(const SummaryInput& s) {
    out_(format_ == Format::Json ? JsonHead(s) : HtmlHead(s));
}

void ListDocumentWriter::Archive(const ListedArchive& a) {
    if (format_ == Format::Json) {
        out_((archives_ ? ",\n" : "\n") + JsonArchive(a, text_));
    } else {
        out_(HtmlRow(a, text_));
    }
    ++archives_;
}

void ListDocumentWriter::End() {
    if (format_ == Format::Json) {
        out_(archives_ == 0 ? "]\n}\n" : "\n  ]\n}\n");
    } else {
        out_("</table>\n</body>\n</html>\n");
    }
}

namespace {

std::string WholeDocument(ListDocumentWriter::Format format, const ListDocument& doc) {
    std::string out;
    ListDocumentWriter writer(format, doc.text, [&out](std::string_view b) { out.append(b); });
    writer.Summary(doc.summary);
    for (const auto& a : doc.archives) writer.Archive(a);
    writer.End();
    return out;
}

}  // namespace

std::string JsonList(const ListDocument& doc) {
    return WholeDocument(ListDocumentWriter::Format::Json, doc);
}

std::string HtmlList(const ListDocument& doc) {
    return WholeDocument(ListDocumentWriter::Format::Html, doc);
}

}  // namespace lumora::cli
