#include "scan/summary.h"

#include "platform/text.h"

namespace lumora {

namespace {

// "%37s": right-aligned in 37 characters, never cut.
std::string Value37(const std::string& v) {
    return v.size() >= 37 ? v : std::string(37 - v.size(), ' ') + v;
}

}  // namespace

std::string BuildSummary(const SummaryInput& in, const LocaleFormats& f) {
    const std::string frame = "+" + std::string(65, '-') + "+";
    const std::string lines[] = {
        frame,
        "| Zusammenfassung der Dateiliste                                  |",
        "|" + std::string(65, '-') + "|",
        "| Liste wurde erstellt am : " + Value37(FormatShortDate(f, in.today)) + " |",
        "| Quellverzeichnis        : " + Value37(in.sourceFolder) + " |",
        "| Anzahl der Archive      : " + Value37(std::to_string(in.archiveCount)) + " |",
        "| KiloByte insgesamt      : " + Value37(FormatThousands(f, in.totalKilobytes)) + " |",
        Utf8ToAnsi("| Älteste Datei vom       : ") + Value37(FormatShortDate(f, in.oldest)) + " |",
        Utf8ToAnsi("| Jüngste Datei vom       : ") + Value37(FormatShortDate(f, in.newest)) + " |",
        frame,
    };
    std::string out = "\r\n\r\n";
    for (const auto& line : lines) out += line + "\r\n";
    return out;
}

}  // namespace lumora
