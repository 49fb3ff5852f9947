// The line printer and the list viewer, printing to PDF and reading the
// pages back with poppler's pdftotext.
#include <QDir>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "print/line_printer.h"
#include "print/prnt_prog_dlg.h"
#include "print/ui/list_printing.h"
#include "settings/app_settings.h"

namespace lumora::print {
namespace {

using namespace Qt::StringLiterals;
constexpr double kPt = 72;  // PDF points per inch
constexpr double kNear = 1.5;

void PrintToPdf(QPrinter& printer, const QString& path) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
}

QString RunPoppler(const QString& tool, const QStringList& args) {
    QProcess p;
    p.start(tool, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Each page's lines as `pdftotext -layout` sees them, trailing empty ones
// dropped.
std::vector<QStringList> PdfPages(const QString& pdf) {
    QStringList pages = RunPoppler("pdftotext", {"-layout", pdf, "-"}).split('\f');
    pages.removeLast();
    std::vector<QStringList> result;
    for (const QString& page : pages) {
        QStringList lines = page.split('\n');
        while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();
        result.push_back(lines);
    }
    return result;
}

// A word's box in points on its page (counted from 0).
struct PdfWord {
    QString text;
    double xMin, yMin, xMax;
    int page;
};

std::vector<PdfWord> PdfWords(const QString& pdf) {
    const QRegularExpression re(
        R"re(<page |<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="[-\d.]+">([^<]*)</word>)re");
    std::vector<PdfWord> words;
    int page = -1;
    for (auto it = re.globalMatch(RunPoppler("pdftotext", {"-bbox", pdf, "-"})); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(1).isNull())
            ++page;
        else
            words.push_back({m.captured(4), m.captured(1).toDouble(), m.captured(2).toDouble(),
                             m.captured(3).toDouble(), page});
    }
    return words;
}

const PdfWord* FindWord(const std::vector<PdfWord>& words, const QString& text, int page) {
    for (const auto& w : words)
        if (w.text == text && w.page == page) return &w;
    return nullptr;
}

// How many lines fit a page: each needs a line advance below it in the area.
int LinesPerPage(const TLinePrinter& p) {
    int n = 0;
    while ((n + 1) * p.LineHeight() < p.Area().height) ++n;
    return n;
}

class PrintTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QPrinter printer_{QPrinter::HighResolution};
    QString pdf_;
    AppSettings settings_ = AppSettings::Defaults();
    QWidget owner_;
    ListPrinting* lists_ = nullptr;

    // A PDF job of its own for each printer test.
    void StartPdf(const char* name) {
        pdf_ = dir_.filePath(name);
        printer_.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, {}));
        PrintToPdf(printer_, pdf_);
    }
    QString Write(const char* name, const QByteArray& bytes) {
        QFile f(dir_.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    // Prints the viewer's text into `pdf`.
    static void Print(TfrmDrucken* viewer, const QString& pdf) {
        viewer->askPrint = [pdf](QPrinter& printer) {
            PrintToPdf(printer, pdf);
            return true;
        };
        viewer->btnPrintClick();
    }

private slots:
    void init() {
        settings_.Font1Name = "Courier New";
        settings_.Font1Size = 10;
        lists_ = new ListPrinting(settings_, &owner_);
    }
    void cleanup() { delete lists_; }

    // A page takes lines up to the bottom of the text area; the next line
    // starts at the top of the next page.
    void PagesBreakBeforeTheBottom() {
        StartPdf("pages.pdf");
        TLinePrinter p(&printer_);
        p.SetMarginBottom(7);
        p.BeginDoc();
        const int perPage = LinesPerPage(p);
        for (int i = 1; i <= 2 * perPage + 3; ++i) p.Lines << u"Zeile%1"_s.arg(i);
        p.PrintLines(false);
        p.EndDoc();
        const auto pages = PdfPages(pdf_);
        QCOMPARE(pages.size(), 3u);
        QCOMPARE(pages[0].size(), perPage);
        QCOMPARE(pages[2].size(), 3);
        const auto words = PdfWords(pdf_);
        const auto* first = FindWord(words, u"Zeile1"_s, 0);
        const auto* top2 = FindWord(words, u"Zeile%1"_s.arg(perPage + 1), 1);
        QVERIFY(first && top2 && first->xMin < kNear);
        QCOMPARE(top2->yMin, first->yMin);
    }

    // Header and footer sit in their margins with the macros expanded on
    // each page; table cells align left, right and centred in their columns.
    void HeaderFooterAndTableColumns() {
        StartPdf("table.pdf");
        TLinePrinter p(&printer_);
        p.SetMarginTop(1);
        p.SetMarginBottom(8);
        p.SetMarginLeft(1);
        p.SetTitle(u"Liste"_s);
        p.Header = u"Seite {$PAGE}"_s;
        p.HeaderFormat = u">6"_s;
        p.Footer = u"{$TITLE}"_s;
        p.FooterFormat = u"^6"_s;
        p.TableFormat = u"<2|>2|^2"_s;
        p.BeginDoc();
        for (int i = 0; i <= LinesPerPage(p); ++i) p.Lines << u"L|R|C"_s;
        p.PrintLines(true);
        p.EndDoc();
        const auto words = PdfWords(pdf_);
        for (int page : {0, 1}) {
            const auto* number = FindWord(words, QString::number(page + 1), page);
            const auto* footer = FindWord(words, u"Liste"_s, page);
            QVERIFY(number && footer && FindWord(words, u"Seite"_s, page));
            QVERIFY(qAbs(number->xMax - 7 * kPt) < kNear && number->yMin < kPt);
            QVERIFY(footer->yMin > (11.69 - 8) * kPt);
        }
        const auto *l = FindWord(words, u"L"_s, 0), *r = FindWord(words, u"R"_s, 0),
                   *c = FindWord(words, u"C"_s, 0);
        QVERIFY(qAbs(l->xMin - kPt) < kNear && qAbs(r->xMax - 5 * kPt) < kNear);
        QVERIFY(qAbs((c->xMin + c->xMax) / 2 - 6 * kPt) < kNear);
    }

    // A footer in a margin thinner than a line neither advances nor loops.
    void FooterInAThinMargin() {
        StartPdf("thin.pdf");
        TLinePrinter p(&printer_);
        p.Footer = u"Fuss"_s;
        p.Lines << u"eins"_s;
        p.BeginDoc();
        p.PrintLines(false);
        p.EndDoc();
        QCOMPARE(PdfPages(pdf_).size(), 1u);
    }

    // Wrapped lines break after their last blank, so no word is split.
    void WrapKeepsWordsWhole() {
        StartPdf("wrap.pdf");
        TLinePrinter p(&printer_);
        p.SetMarginRight(5);
        const QString text = u"alpha beta gamma delta epsilon zeta eta theta iota kappa lambda"_s;
        p.Lines << text;
        p.BeginDoc();
        p.PrintLines(false);
        p.EndDoc();
        QStringList lines = PdfPages(pdf_).at(0);
        QVERIFY(lines.size() > 1);
        for (QString& line : lines) line = line.trimmed();
        QCOMPARE(lines.join(' '), text);
    }

    void MarginBelowMinimumIsRaised() {
        StartPdf("minimum.pdf");
        QPageLayout layout = printer_.pageLayout();
        layout.setUnits(QPageLayout::Inch);
        layout.setMinimumMargins({0.5, 0.5, 0.5, 0.5});
        QVERIFY(printer_.setPageLayout(layout));
        TLinePrinter p(&printer_);
        p.SetMarginLeft(0.1);
        QCOMPARE(p.MarginLeft(), 0.5);
        p.Lines << u"Rand"_s;
        p.BeginDoc();
        p.PrintLines(false);
        p.EndDoc();
        const auto words = PdfWords(pdf_);
        QVERIFY(words.size() == 1 && qAbs(words[0].xMin - 0.5 * kPt) < kNear);
    }

    // Page-shaping settings are locked during a job; the progress window
    // lives only while it runs.
    void SettersAndProgressDuringAJob() {
        StartPdf("locked.pdf");
        TLinePrinter p(&printer_);
        p.ShowProgress = true;
        QString progress;
        p.OnNewPage = [&progress](TLinePrinter& lp) {
            progress = lp.ProgressWindow()->StatusText() + lp.ProgressWindow()->PageText();
        };
        p.BeginDoc();
        QCOMPARE(progress, u"Currently Printing1"_s);
        const std::pair<std::function<void()>, const char*> locked[] = {
            {[&] { p.SetMarginTop(1); }, "Unable to change top margin while printing"},
            {[&] { p.SetMarginBottom(1); }, "Unable to change bottom margin while printing"},
            {[&] { p.SetMarginLeft(1); }, "Unable to change left margin while printing"},
            {[&] { p.SetMarginRight(1); }, "Unable to change right margin while printing"},
            {[&] { p.SetOrientation(QPageLayout::Landscape); },
             "Unable to change orientation while printing"},
            {[&] { p.SetTitle(u"x"_s); }, "Unable to change title while printing"},
            {[&] { p.SetDefaultColWidth(-1); },
             "DefaultColWidth must be greater than or equal to 0"},
        };
        for (const auto& [change, message] : locked) {
            try {
                change();
                QFAIL(message);
            } catch (const ELinePrinter& e) {
                QCOMPARE(e.what(), message);
            }
        }
        QCOMPARE(p.DefaultColWidth(), 0.0);
        p.EndDoc();
        QVERIFY(!p.ProgressWindow());
    }

    // Without a printer: the fallback paper, no job, and unit changes that
    // convert margins, border offset and column width both ways.
    void MeasureUnitRoundTrip() {
        TLinePrinter p;
        QCOMPARE(p.MarginTop(), 0.25);
        QVERIFY_THROWS_EXCEPTION(ELinePrinter, p.BeginDoc());
        p.SetMarginLeft(0.75);
        p.BorderOffset = 0.125;
        p.SetDefaultColWidth(2);
        p.SetMeasureUnit(TMeasureUnit::muMillimeters);
        QCOMPARE(p.MarginLeft(), 19.05);
        QCOMPARE(p.DefaultColWidth(), 50.8);
        p.SetMeasureUnit(TMeasureUnit::muInches);
        QCOMPARE(p.MarginLeft(), 0.75);
        QCOMPARE(p.BorderOffset, 0.125);
    }

    // A second list goes into the open viewer and restores it; closing the
    // viewer forgets it.
    void SecondListReplacesTheText() {
        lists_->askListFile = [&] { return Write("a.txt", "erste Liste\r\n"); };
        lists_->ViewList();
        TfrmDrucken* viewer = lists_->Viewer();
        QVERIFY(viewer && viewer->isVisible());
        viewer->showMinimized();
        QCOMPARE(lists_->ShowList(Write("b.txt", "zweite Liste\r\nZeile 2")), viewer);
        QCOMPARE(viewer->Editor()->toPlainText(), u"zweite Liste\nZeile 2"_s);
        QVERIFY(!(viewer->windowState() & Qt::WindowMinimized));
        viewer->btnCloseClick();
        QTRY_VERIFY(!lists_->Viewer());
    }

    void FontAppliedOnEveryActivation() {
        settings_.Font1Size = 12;
        TfrmDrucken* viewer = lists_->ShowList(Write("f.txt", "Text"));
        QCOMPARE(viewer->Editor()->font().pointSize(), 12);
        settings_.Font1Size = 15;
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(viewer, &activate);
        QCOMPARE(viewer->Editor()->font().pointSize(), 15);
        QVERIFY(QFontInfo(viewer->Editor()->font()).fixedPitch());
    }

    // The error names the file and the reason; the open viewer keeps its
    // text, and no viewer is made for a file that cannot be read.
    void UnreadableFileKeepsTheText() {
        QStringList errors;
        lists_->showError = [&errors](const QString& text) { errors << text; };
        QVERIFY(!lists_->ShowList(dir_.filePath("fehlt.txt")) && !lists_->Viewer());
        TfrmDrucken* viewer = lists_->ShowList(Write("ok.txt", "bleibt"));
        QCOMPARE(lists_->ShowList(dir_.path()), viewer);
        QCOMPARE(viewer->Editor()->toPlainText(), u"bleibt"_s);
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors[0].contains(u"fehlt.txt"_s) && errors[0].section('\n', 1).size() > 5);
    }

    void MsDosViewShowsUmlauts() {
        TfrmDrucken* viewer = lists_->ShowList(Write("oem.txt",
                                                     "Gr\x94\xE1"
                                                     "e \x84\x81\r\n"));
        QCOMPARE(viewer->Editor()->toPlainText(), u"Gr\u201D\u00E1e \u201E\u0081"_s);
        viewer->SetCharset(ListCharset::Dos850);
        QCOMPARE(viewer->Editor()->toPlainText(), u"Größe äü"_s);
    }

    // A line wider than the page is cut at the right margin and its rest
    // dropped; a tab after 3 characters goes to column 8; an empty file
    // prints nothing.
    void PrintsWithTheViewersPage() {
        const QString wide = u"0123456789"_s.repeated(40);
        TfrmDrucken* viewer =
            lists_->ShowList(Write("print.txt", wide.toLatin1() + "\r\nabc\tdef\r\nEnde\r\n"));
        Print(viewer, dir_.filePath("viewer.pdf"));
        TLinePrinter page(&lists_->Printer());
        page.SetMarginLeft(0.1166667);
        page.SetMarginRight(0.1533338);
        const QFontMetrics metrics(viewer->Editor()->font(), &lists_->Printer());
        int fit = 1;
        while (metrics.horizontalAdvance(wide.left(fit + 1)) <= page.Area().width) ++fit;
        const auto pages = PdfPages(dir_.filePath("viewer.pdf"));
        QCOMPARE(pages.size(), 1u);
        QCOMPARE(pages[0], QStringList({wide.left(fit), u"abc     def"_s, u"Ende"_s}));

        lists_->ShowList(Write("empty.txt", ""));
        Print(viewer, dir_.filePath("empty.pdf"));
        QVERIFY(PdfPages(dir_.filePath("empty.pdf")).at(0).isEmpty());
    }

    // A sample list with DOS art, printed as written and shown in the MS-DOS
    // view, for people to look at.
    void Screenshots() {
        const QString shots = LUMORA_SCREENSHOT_DIR;
        QDir().mkpath(shots);
        TfrmDrucken* viewer = lists_->ShowList(LUMORA_TEST_DATA_DIR "/samples_list_2.txt");
        Print(viewer, dir_.filePath("sample.pdf"));
        RunPoppler("pdftoppm", u"-png -r 80 -singlefile -f 1 -l 1"_s.split(' ')
                                   << dir_.filePath("sample.pdf") << shots + "printed_list");
        QVERIFY(QFile::exists(shots + "printed_list.png"));
        viewer->SetCharset(ListCharset::Dos850);
        QVERIFY(viewer->grab().save(shots + "list_viewer.png"));
    }
};

}  // namespace
}  // namespace lumora::print

QTEST_MAIN(lumora::print::PrintTest)
#include "print_test.moc"
