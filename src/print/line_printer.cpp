#include "print/line_printer.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <algorithm>

#include "platform/datetime.h"
#include "platform/locale_formats.h"
#include "platform/text.h"
#include "print/prnt_prog_dlg.h"

namespace lumora::print {

namespace {

QString ToQString(std::u16string_view s) {
    return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

// Base line height without a running job and without a printer.
constexpr int kFallbackLineHeight = 10;

}  // namespace

QFont FontOrFixed(const QString& family, int pointSize) {
    QFont font;
    if (!family.isEmpty() && QFontDatabase::hasFamily(family)) {
        font = QFont(family);
    } else {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    }
    font.setPointSize(pointSize > 0 ? pointSize : 10);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

TLinePrinter::TLinePrinter(QPrinter* printer)
    : printer_(printer), font_(FontOrFixed(QStringLiteral("Courier New"), 10)) {
    margins_ = MinimumMargins(Paper(), unit_);
    UpdateLineAdvance();
}

TLinePrinter::~TLinePrinter() {
    if (painter_) painter_->end();
    if (printer_ && painter_) printer_->setFullPage(fullPageBefore_);
}

bool TLinePrinter::HasPrinter() const {
    return printer_ && printer_->isValid();
}

PaperInfo TLinePrinter::Paper() const {
    if (!HasPrinter()) return FallbackPaper(unit_);
    QPageLayout layout = printer_->pageLayout();
    layout.setUnits(QPageLayout::Inch);
    const QRectF full = layout.fullRect(QPageLayout::Inch);
    const QMarginsF low = layout.minimumMargins();
    PaperInfo p;
    p.physicalWidth = full.width();
    p.physicalHeight = full.height();
    p.printableWidth = full.width() - low.left() - low.right();
    p.printableHeight = full.height() - low.top() - low.bottom();
    p.offsetLeft = low.left();
    p.offsetTop = low.top();
    p.dpiX = printer_->logicalDpiX();
    p.dpiY = printer_->logicalDpiY();
    return p;
}

TextArea TLinePrinter::Area() const {
    return ComputeTextArea(Paper(), margins_, unit_);
}

void TLinePrinter::CheckNotPrinting(const char* what) const {
    if (Printing()) throw ELinePrinter(std::string("Unable to change ") + what + " while printing");
}

void TLinePrinter::ApplyMargins() {
    margins_ = ClampMargins(margins_, Paper(), unit_);
}

void TLinePrinter::SetMarginTop(double value) {
    CheckNotPrinting("top margin");
    margins_.top = value;
    ApplyMargins();
}

void TLinePrinter::SetMarginBottom(double value) {
    CheckNotPrinting("bottom margin");
    margins_.bottom = value;
    ApplyMargins();
}

void TLinePrinter::SetMarginLeft(double value) {
    CheckNotPrinting("left margin");
    margins_.left = value;
    ApplyMargins();
}

void TLinePrinter::SetMarginRight(double value) {
    CheckNotPrinting("right margin");
    margins_.right = value;
    ApplyMargins();
}

void TLinePrinter::SetMeasureUnit(TMeasureUnit unit) {
    if (unit == unit_) return;
    auto convert = [unit](double v) {
        return unit == TMeasureUnit::muMillimeters ? v * kMillimetresPerInch
                                                   : v / kMillimetresPerInch;
    };
    margins_ = {convert(margins_.top), convert(margins_.bottom), convert(margins_.left),
                convert(margins_.right)};
    BorderOffset = convert(BorderOffset);
    defaultColWidth_ = convert(defaultColWidth_);
    unit_ = unit;
    ApplyMargins();
}

void TLinePrinter::SetLineSpacing(TLineSpacing spacing) {
    spacing_ = spacing;
    UpdateLineAdvance();
}

void TLinePrinter::SetFont(const QFont& font) {
    font_ = font;
    if (painter_) painter_->setFont(font_);
    UpdateLineAdvance();
}

void TLinePrinter::SetOrientation(QPageLayout::Orientation orientation) {
    CheckNotPrinting("orientation");
    orientation_ = orientation;
    if (printer_) printer_->setPageOrientation(orientation);
}

void TLinePrinter::SetTitle(const QString& title) {
    CheckNotPrinting("title");
    title_ = title;
    if (printer_) printer_->setDocName(title);
}

void TLinePrinter::SetDefaultColWidth(double width) {
    if (width < 0) {
        defaultColWidth_ = 0;
        throw ELinePrinter("DefaultColWidth must be greater than or equal to 0");
    }
    defaultColWidth_ = width;
}

void TLinePrinter::UpdateLineAdvance() {
    int base = kFallbackLineHeight;
    if (painter_) {
        const QFontMetrics fm = painter_->fontMetrics();
        base = fm.height() + std::max(0, fm.leading());
        ascent_ = fm.ascent();
    } else if (HasPrinter()) {
        base = QFontMetrics(font_, printer_).height();
    }
    advance_ = LineAdvance(base, spacing_);
}

void TLinePrinter::BeginDoc() {
    if (OnBeginDoc) OnBeginDoc(*this);
    if (Printing() || !HasPrinter()) throw ELinePrinter("Unable to begin printing.");
    ApplyMargins();
    // The painter's origin is put at the printable origin, which the text
    // area's offsets are measured from.
    fullPageBefore_ = printer_->fullPage();
    printer_->setFullPage(true);
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(printer_)) {
        printer_->setFullPage(fullPageBefore_);
        throw ELinePrinter("Unable to begin printing.");
    }
    const PaperInfo paper = Paper();
    painter->translate(ToPixels(paper.offsetLeft, TMeasureUnit::muInches, paper.dpiX),
                       ToPixels(paper.offsetTop, TMeasureUnit::muInches, paper.dpiY));
    painter->setFont(font_);
    painter_ = std::move(painter);
    UpdateLineAdvance();
    page_ = 1;
    UpdateProgress(QStringLiteral("Preparing to Print"));
    StartPage();
}

void TLinePrinter::EndDoc() {
    UpdateProgress(QStringLiteral("Finished Printing"));
    const bool ended = painter_ && painter_->end();
    if (painter_) printer_->setFullPage(fullPageBefore_);
    painter_.reset();
    progress_.reset();
    UpdateLineAdvance();
    if (!ended) throw ELinePrinter("Unable to finish printing.");
    if (OnEndDoc) OnEndDoc(*this);
}

void TLinePrinter::NewPage() {
    if (!painter_ || !printer_->newPage()) throw ELinePrinter("Unable to print a new page.");
    ++page_;
    StartPage();
}

void TLinePrinter::NewLine() {
    x_ = 0;
    y_ += advance_;
    if (y_ + advance_ < Area().height)
        ++lineNumber_;
    else
        NewPage();
    if (OnNewLine) OnNewLine(*this);
}

void TLinePrinter::StartPage() {
    UpdateProgress(QStringLiteral("Currently Printing"));
    const TextArea area = Area();
    if (!Header.isEmpty()) PrintHeaderOrFooter(Header, HeaderFormat, (area.top - advance_) / 2);
    if (!Footer.isEmpty())
        PrintHeaderOrFooter(Footer, FooterFormat,
                            area.top + area.height + (area.bottom - advance_) / 2);
    x_ = 0;
    y_ = 0;
    lineNumber_ = 0;
    if (OnNewPage) OnNewPage(*this);
    if (OnNewLine) OnNewLine(*this);
    DrawBorders();
}

// `y` is measured from the printable origin. The line belongs to the margin
// and never advances, even when a margin thinner than a line lets it reach
// into the text area.
void TLinePrinter::PrintHeaderOrFooter(const QString& text, const QString& format, int y) {
    const QString saved = TableFormat;
    TableFormat = format;
    y_ = y - Area().top;
    DrawTableLine(text);
    TableFormat = saved;
}

void TLinePrinter::DrawBorders() {
    if (!painter_ || PageBorders == 0) return;
    const PaperInfo paper = Paper();
    const TextArea a = Area();
    const int offX = ToPixels(BorderOffset, unit_, paper.dpiX);
    const int offY = ToPixels(BorderOffset, unit_, paper.dpiY);
    const int left = a.left - offX;
    const int right = a.left + a.width + offX;
    const int top = a.top - offY;
    const int bottom = a.top + a.height + offY;
    painter_->save();
    painter_->setPen(QPen(Qt::black, (paper.dpiX / 300) * 2));
    if (PageBorders & pbTop) painter_->drawLine(left, top, right, top);
    if (PageBorders & pbBottom) painter_->drawLine(left, bottom, right, bottom);
    if (PageBorders & pbLeft) painter_->drawLine(left, top, left, bottom);
    if (PageBorders & pbRight) painter_->drawLine(right, top, right, bottom);
    painter_->restore();
}

void TLinePrinter::UpdateProgress(const QString& status) {
    if (!ShowProgress || !Printing()) {
        progress_.reset();
        return;
    }
    if (!progress_) progress_ = std::make_unique<TPrntProgDlg>();
    progress_->Update(status, HasPrinter() ? printer_->docName() : QString(), page_);
}

int TLinePrinter::TextWidth(std::u16string_view text) const {
    if (painter_) return painter_->fontMetrics().horizontalAdvance(ToQString(text));
    if (HasPrinter()) return QFontMetrics(font_, printer_).horizontalAdvance(ToQString(text));
    return 0;
}

std::size_t TLinePrinter::FittingLength(std::u16string_view text, int space) const {
    return LongestFittingPrefix(text.size(), space,
                                [&](std::size_t n) { return TextWidth(text.substr(0, n)); });
}

void TLinePrinter::DrawText(int x, int y, std::u16string_view text) {
    if (painter_ && !text.empty()) painter_->drawText(x, y + ascent_, ToQString(text));
}

void TLinePrinter::WriteLine(const QString& text) {
    std::u16string line = text.toStdU16String();
    if (line.find(u'\t') != std::u16string::npos) line = ExpandTabs(line, TabSize);
    const int usable = Area().width;
    if (TextWidth(line) <= usable) {
        PutLine(line);
    } else if (!WordWrap) {
        PutLine(std::u16string_view(line).substr(0, FittingLength(line, usable)));
    } else {
        std::u16string_view rest = line;
        while (!rest.empty()) {
            const WrapPiece piece = WrapAt(rest, FittingLength(rest, usable));
            PutLine(rest.substr(0, piece.keep));
            rest.remove_prefix(piece.consume);
        }
    }
}

void TLinePrinter::PutLine(std::u16string_view text) {
    const TextArea area = Area();
    const int width = TextWidth(text);
    switch (Alignment) {
        case TPrintAlignment::taRightJustify:
            x_ = area.width - width;
            break;
        case TPrintAlignment::taCenter:
            x_ = (area.width - width) / 2;
            break;
        case TPrintAlignment::taLeftJustify:
            x_ = 0;
            break;
    }
    if (y_ + advance_ >= area.height) NewPage();
    DrawText(area.left + x_, area.top + y_, text);
    NewLine();
}

MacroValues TLinePrinter::Macros() const {
    const LocaleFormats formats = LocaleFormats::FromCLocale();
    const TDateTime now = NowLocal();
    auto text = [](const std::string& ansi) {
        return QString::fromStdString(AnsiToUtf8(ansi)).toStdU16String();
    };
    MacroValues v;
    v.line = lineNumber_;
    v.page = page_;
    v.date = text(FormatShortDate(formats, now));
    v.time = text(FormatLongTime(formats, now));
    v.title = (HasPrinter() ? printer_->docName() : QStringLiteral("<Unknown>")).toStdU16String();
    return v;
}

void TLinePrinter::WriteTableLine(const QString& text) {
    DrawTableLine(text);
    if (y_ >= 0 && y_ < Area().height) NewLine();
}

void TLinePrinter::DrawTableLine(const QString& text) {
    const PaperInfo paper = Paper();
    const TextArea area = Area();
    const auto columns = ParseTableFormat(TableFormat.toStdString(), defaultColWidth_);
    const auto cells = SplitCells(text.toStdU16String());
    x_ = area.left;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const int columnWidth = ToPixels(columns[i].width, unit_, paper.dpiX);
        std::u16string cell = i < cells.size() ? cells[i] : std::u16string();
        if (cell.find(u"{$") != std::u16string::npos) cell = ExpandMacros(cell, Macros());
        cell.resize(FittingLength(cell, columnWidth));
        const int free = columnWidth - TextWidth(cell);
        int dx = 0;
        if (columns[i].alignment == TPrintAlignment::taRightJustify) dx = free;
        if (columns[i].alignment == TPrintAlignment::taCenter) dx = free / 2;
        DrawText(x_ + dx, area.top + y_, cell);
        x_ += columnWidth;
    }
}

void TLinePrinter::PrintLines(bool table) {
    const bool asTable = table && !TableFormat.isEmpty();
    for (const QString& line : Lines) {
        if (asTable)
            WriteTableLine(line);
        else
            WriteLine(line);
    }
}

}  // namespace lumora::print
