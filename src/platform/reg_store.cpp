#include "platform/reg_store.h"

#include <cstdio>

namespace lumora {

namespace {

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Lines end at CR, LF or CR LF; a last line without an end counts.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Reads a quoted text starting at s[pos] == '"'. Escapes: \\ and \" as in
// REGEDIT4, plus \r and \n, which this store writes for CR and LF so that a
// value holding them still fits on one line. Any other backslash stays as it
// is. False when the closing quote is missing (a line cut short).
bool ParseQuoted(std::string_view s, std::size_t& pos, std::string& out) {
    out.clear();
    for (std::size_t i = pos + 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == s.size()) return false;
        switch (s[i]) {
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            default:
                out += '\\';
                out += s[i];
        }
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "dword:" and exactly eight hex digits: a shorter number is a line cut
// short, not a smaller value.
std::optional<std::uint32_t> ParseDword(std::string_view s) {
    constexpr std::string_view kPrefix = "dword:";
    if (s.size() != kPrefix.size() + 8 || !SameName(s.substr(0, kPrefix.size()), kPrefix)) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (char c : s.substr(kPrefix.size())) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(d);
    }
    return value;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    out += '"';
}

}  // namespace

RegStore::Value* RegStore::Find(const std::string& name) {
    for (Value& v : values_) {
        if (SameName(v.name, name)) return &v;
    }
    return nullptr;
}

const RegStore::Value* RegStore::Find(const std::string& name) const {
    for (const Value& v : values_) {
        if (SameName(v.name, name)) return &v;
    }
    return nullptr;
}

bool RegStore::Exists(const std::string& name) const {
    return Find(name) != nullptr;
}

std::optional<std::uint32_t> RegStore::ReadDword(const std::string& name) const {
    const Value* v = Find(name);
    if (v == nullptr || v->kind != Kind::Dword) return std::nullopt;
    return v->dword;
}

std::optional<std::string> RegStore::ReadString(const std::string& name) const {
    const Value* v = Find(name);
    if (v == nullptr || v->kind != Kind::String) return std::nullopt;
    return v->text;
}

void RegStore::WriteDword(const std::string& name, std::uint32_t value) {
    Value* v = Find(name);
    if (v == nullptr) v = &values_.emplace_back();
    *v = Value{name, Kind::Dword, value, {}};
}

void RegStore::WriteString(const std::string& name, const std::string& value) {
    Value* v = Find(name);
    if (v == nullptr) v = &values_.emplace_back();
    *v = Value{name, Kind::String, 0, value};
}

void RegStore::MergeMissing(const RegStore& other) {
    for (const Value& v : other.values_) {
        if (Find(v.name) == nullptr) values_.push_back(v);
    }
}

void RegStore::ParseText(std::string_view text) {
    values_.clear();
    bool inKey = false;
    std::string name;
    std::string str;
    for (std::string_view line : SplitLines(text)) {
        line = TrimBlanks(line);
        if (line.empty()) continue;
        if (line.front() == '[') {
            inKey = line.back() == ']' && SameName(line.substr(1, line.size() - 2), kRegKeyPath);
            continue;
        }
        std::size_t pos = 0;
        if (!inKey || line.front() != '"' || !ParseQuoted(line, pos, name) || name.empty()) {
            continue;
        }
        std::string_view rest = TrimBlanks(line.substr(pos));
        if (rest.empty() || rest.front() != '=') continue;
        rest = TrimBlanks(rest.substr(1));
        if (!rest.empty() && rest.front() == '"') {
            std::size_t end = 0;
            if (ParseQuoted(rest, end, str) && TrimBlanks(rest.substr(end)).empty()) {
                WriteString(name, str);
            }
        } else if (const auto dword = ParseDword(rest)) {
            WriteDword(name, *dword);
        }
    }
}

std::string RegStore::FormatText() const {
    std::string out = "REGEDIT4\r\n\r\n[";
    out += kRegKeyPath;
    out += "]\r\n";
    for (const Value& v : values_) {
        AppendQuoted(out, v.name);
        out += '=';
        if (v.kind == Kind::String) {
            AppendQuoted(out, v.text);
        } else {
            char hex[16];
            std::snprintf(hex, sizeof hex, "dword:%08x", static_cast<unsigned>(v.dword));
            out += hex;
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace lumora
