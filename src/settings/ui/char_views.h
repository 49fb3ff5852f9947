// The two ways the filter dialogs show character codes: in the Windows set
// (Windows-1252) or in the MS-DOS set (code page 850), decoded to Unicode and
// drawn with a font that holds both sets' glyphs.
#pragma once

#include <QFont>
#include <QString>
#include <string>

class QComboBox;

namespace lumora {

enum class CharView { Windows, MsDos };

// The glyph of `code` in the view; empty for a code without a visible glyph
// (control codes in the Windows set, its five undefined codes, code 0).
QString GlyphOf(unsigned char code, CharView view);
// A whole byte string decoded in the view.
QString DecodeInView(const std::string& bytes, CharView view);
// The monospaced font with the line-drawing glyphs, at `pointSize`.
QFont GlyphFont(int pointSize);

// The drop-down list "Windows - Zeichen" / "MS-DOS - Zeichen".
QComboBox* MakeViewChooser();
CharView ViewOf(const QComboBox* chooser);

}  // namespace lumora
