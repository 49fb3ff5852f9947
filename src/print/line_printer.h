// TLinePrinter: puts the lines of a string list on the printer page by page,
// with margins, line spacing, tab expansion, cut or wrapped long lines, and
// optional header, footer, table columns, page borders and a progress window.
#pragma once

#include <QFont>
#include <QPageLayout>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <stdexcept>

#include "print/line_layout.h"

class QPainter;
class QPrinter;

namespace lumora::print {

class TPrntProgDlg;

// A printer failure or a property that may not change now; the message is
// shown to the user as it stands.
class ELinePrinter : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TPageBorder : unsigned { pbTop = 1, pbBottom = 2, pbLeft = 4, pbRight = 8 };
using TPageBorders = unsigned;

// The print font: `family` at `pointSize` points, or the system's fixed
// font at that size when the family is not installed.
QFont FontOrFixed(const QString& family, int pointSize);

class TLinePrinter {
public:
    using Event = std::function<void(TLinePrinter&)>;

    // Prints on `printer`; without one (or with an invalid one) the fallback
    // paper applies and no job can start.
    explicit TLinePrinter(QPrinter* printer = nullptr);
    ~TLinePrinter();
    TLinePrinter(const TLinePrinter&) = delete;
    TLinePrinter& operator=(const TLinePrinter&) = delete;

    double MarginTop() const { return margins_.top; }
    double MarginBottom() const { return margins_.bottom; }
    double MarginLeft() const { return margins_.left; }
    double MarginRight() const { return margins_.right; }
    void SetMarginTop(double value);
    void SetMarginBottom(double value);
    void SetMarginLeft(double value);
    void SetMarginRight(double value);

    TMeasureUnit MeasureUnit() const { return unit_; }
    void SetMeasureUnit(TMeasureUnit unit);
    TLineSpacing LineSpacing() const { return spacing_; }
    void SetLineSpacing(TLineSpacing spacing);
    const QFont& Font() const { return font_; }
    void SetFont(const QFont& font);
    QPageLayout::Orientation Orientation() const { return orientation_; }
    void SetOrientation(QPageLayout::Orientation orientation);
    const QString& Title() const { return title_; }
    void SetTitle(const QString& title);
    double DefaultColWidth() const { return defaultColWidth_; }
    void SetDefaultColWidth(double width);

    int TabSize = 8;
    bool WordWrap = true;
    QStringList Lines;
    TPrintAlignment Alignment = TPrintAlignment::taLeftJustify;
    QString Header;
    QString Footer;
    QString HeaderFormat;
    QString FooterFormat;
    TPageBorders PageBorders = 0;
    bool ShowProgress = false;
    QString TableFormat;
    double BorderOffset = 0;

    Event OnBeginDoc;
    Event OnEndDoc;
    Event OnNewLine;
    Event OnNewPage;

    void BeginDoc();
    void EndDoc();
    void NewPage();
    void NewLine();
    void WriteLine(const QString& text);
    void WriteTableLine(const QString& text);
    // Every line of Lines, as table lines when `table` is set and
    // TableFormat is not empty.
    void PrintLines(bool table);

    // The page as the printer (or the fallback) describes it, in inches.
    PaperInfo Paper() const;
    // The text area in device pixels for the current margins.
    TextArea Area() const;
    bool Printing() const { return painter_ != nullptr; }
    int PageNumber() const { return page_; }
    int LineNumber() const { return lineNumber_; }
    int LineHeight() const { return advance_; }
    // The progress window while it is shown, else nullptr.
    TPrntProgDlg* ProgressWindow() const { return progress_.get(); }

private:
    bool HasPrinter() const;
    void CheckNotPrinting(const char* what) const;
    void ApplyMargins();
    void UpdateLineAdvance();
    void StartPage();
    void DrawTableLine(const QString& text);
    void PrintHeaderOrFooter(const QString& text, const QString& format, int y);
    void DrawBorders();
    void UpdateProgress(const QString& status);
    int TextWidth(std::u16string_view text) const;
    std::size_t FittingLength(std::u16string_view text, int space) const;
    void PutLine(std::u16string_view text);
    void DrawText(int x, int y, std::u16string_view text);
    MacroValues Macros() const;

    QPrinter* printer_;
    Margins margins_;
    TMeasureUnit unit_ = TMeasureUnit::muInches;
    TLineSpacing spacing_ = TLineSpacing::lsSingleSpace;
    QFont font_;
    QPageLayout::Orientation orientation_ = QPageLayout::Portrait;
    QString title_;
    double defaultColWidth_ = 0;

    std::unique_ptr<QPainter> painter_;
    bool fullPageBefore_ = false;
    int x_ = 0;
    int y_ = 0;
    int lineNumber_ = 0;
    int page_ = 0;
    int advance_ = 0;
    int ascent_ = 0;
    std::unique_ptr<TPrntProgDlg> progress_;
};

}  // namespace lumora::print
