#include "settings/ui/char_views.h"

#include <QComboBox>
#include <array>

#include "platform/text.h"

namespace lumora {

namespace {

// Code page 850 in Unicode. Codes 1 to 31 and 127 carry the MS-DOS screen
// glyphs (faces, card suits, arrows), as an MS-DOS screen showed them.
// clang-format off
constexpr std::array<char16_t, 256> kCp850 = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
    // 0x20 to 0x7E are ASCII, filled in below.
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2302,
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};
// clang-format on

QChar Cp850(unsigned char code) {
    if (code >= 0x20 && code < 0x7F) return QChar(code);
    return QChar(kCp850[code]);
}

// Windows-1252 codes that draw nothing: controls, DEL and the undefined ones.
bool BlankInWindows(unsigned char code) {
    return code < 0x20 || code == 0x7F || code == 0x81 || code == 0x8D || code == 0x8F ||
           code == 0x90 || code == 0x9D;
}

}  // namespace

QString GlyphOf(unsigned char code, CharView view) {
    if (view == CharView::MsDos) return code == 0 ? QString() : QString(Cp850(code));
    if (BlankInWindows(code)) return QString();
    return QString::fromStdString(AnsiToUtf8(std::string(1, static_cast<char>(code))));
}

QString DecodeInView(const std::string& bytes, CharView view) {
    if (view == CharView::Windows) return QString::fromStdString(AnsiToUtf8(bytes));
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) text += Cp850(static_cast<unsigned char>(c));
    return text;
}

QFont GlyphFont(int pointSize) {
    QFont font(QStringLiteral("DejaVu Sans Mono"), pointSize);
    font.setStyleHint(QFont::Monospace);
    return font;
}

QComboBox* MakeViewChooser() {
    auto* chooser = new QComboBox;
    chooser->addItem(QStringLiteral("Windows - Zeichen"));
    chooser->addItem(QStringLiteral("MS-DOS - Zeichen"));
    chooser->setCurrentIndex(0);
    return chooser;
}

CharView ViewOf(const QComboBox* chooser) {
    return chooser->currentIndex() == 1 ? CharView::MsDos : CharView::Windows;
}

}  // namespace lumora
