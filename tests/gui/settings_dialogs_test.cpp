// The settings dialog, the two filter definition dialogs and the input box.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include "gui/modal_answer.h"
#include "platform/text.h"
#include "settings/filter_files.h"
#include "settings/settings_store.h"
#include "settings/ui/char_views.h"
#include "settings/ui/input_box.h"
#include "settings/ui/line_filter_dialog.h"
#include "settings/ui/settings_dialog.h"
#include "settings/ui/special_char_dialog.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

void SaveScreenshot(QWidget& window, const QString& name) {
    QDir().mkpath(QStringLiteral(LUMORA_SCREENSHOT_DIR));
    QVERIFY(window.grab().save(QStringLiteral(LUMORA_SCREENSHOT_DIR) + name + ".png"));
}

// A program folder, a settings store and a voice that records every message
// and beep, answering questions with `answer`.
struct Folders {
    test::TempFolder dir;
    SettingsLocation where;
    Configuration config;
    QStringList heard;
    QMessageBox::StandardButton answer = QMessageBox::Yes;

    Folders() {
        where.programDir = dir.MakeDir("prog");
        where.storePath = dir.path() + "config/Lumora.reg";
    }
    DialogVoice Voice() {
        DialogVoice voice;
        voice.beep = [this] { heard << QStringLiteral("beep"); };
        voice.message = [this](QWidget*, QMessageBox::Icon, const QString& caption,
                               const QString& text, QMessageBox::StandardButtons) {
            heard << caption + ": " + text;
            return answer;
        };
        return voice;
    }
    std::string Prog(const std::string& name) const { return where.programDir + name; }
};

// Shows a dialog and gives it the keyboard focus.
void Activate(QDialog& dialog) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

template <class W>
W* Find(QWidget& dialog, const char* name) {
    W* widget = dialog.findChild<W*>(QString::fromLatin1(name));
    if (widget == nullptr) qFatal("no control %s", name);
    return widget;
}

// Answers the real message boxes that come up while it lives with OK and
// records their texts.
class BoxAnswerer {
public:
    BoxAnswerer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->windowTitle() + ": " + box->text();
                box->done(QMessageBox::Ok);
            }
        });
        timer_.start(10);
    }
    QStringList texts;

private:
    QTimer timer_;
};

}  // namespace

class SettingsDialogsTest : public QObject {
    Q_OBJECT

private slots:
    // Leaving a separator field keeps the three in step or refuses the
    // input with the focus kept, through real message boxes (which take the
    // focus themselves and must not start the check again).
    void separatorFields_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("character");
        QTest::addColumn<QString>("decimal");
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("message");
        const QString range = QString::fromUtf8(
            "Hinweis: Sie müssen einen gültigen Wert zwischen 0 und 255 eingeben !");
        QTest::newRow("hyphen") << "edtDivisionChar"
                                << "-"
                                << "-"
                                << "45"
                                << "02D"
                                << "";
        QTest::newRow("umlaut") << "edtDivisionChar" << QString::fromUtf8("Ä")
                                << QString::fromUtf8("Ä") << "196"
                                << "0C4"
                                << "";
        QTest::newRow("empty character")
            << "edtDivisionChar"
            << ""
            << ""
            << "32"
            << "020" << QString::fromUtf8("Hinweis: Sie müssen mindesten 1 Zeichen eingeben !");
        QTest::newRow("255") << "edtDivisionCharInt"
                             << "255" << QString::fromUtf8("ÿ") << "255"
                             << "0FF"
                             << "";
        QTest::newRow("blanks around") << "edtDivisionCharInt"
                                       << " 42"
                                       << "*"
                                       << " 42"
                                       << "02A"
                                       << "";
        QTest::newRow("256") << "edtDivisionCharInt"
                             << "256"
                             << " "
                             << "256"
                             << "020" << range;
        QTest::newRow("empty decimal") << "edtDivisionCharInt"
                                       << ""
                                       << " "
                                       << ""
                                       << "020" << range;
    }

    void separatorFields() {
        QFETCH(QString, field);
        QFETCH(QString, input);
        QFETCH(QString, character);
        QFETCH(QString, decimal);
        QFETCH(QString, hex);
        QFETCH(QString, message);
        Folders f;
        TfrmSettings dialog(nullptr, f.config, f.where);
        Activate(dialog);
        auto* edit = Find<QLineEdit>(dialog, field.toLatin1().constData());
        edit->setFocus();
        edit->setText(input);
        BoxAnswerer boxes;
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(boxes.texts.join('|'), message);
        QCOMPARE(Find<QLineEdit>(dialog, "edtDivisionChar")->text(), character);
        QCOMPARE(Find<QLineEdit>(dialog, "edtDivisionCharInt")->text(), decimal);
        QCOMPARE(Find<QLineEdit>(dialog, "edtDivisionCharHex")->text(), hex);
        QTRY_COMPARE(QApplication::focusWidget() == edit, !message.isEmpty());
    }

    // From a refused field Cancel and Esc still close the dialog and undo
    // the live changes; a click on OK is held back by the check instead.
    void leavingARefusedField_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("messages");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("width");
        QTest::newRow("Cancel clicked") << "cancel" << 1 << true << 60;
        QTest::newRow("Esc") << "escape" << 1 << true << 60;
        QTest::newRow("OK clicked") << "ok" << 2 << false << 20;
    }

    void leavingARefusedField() {
        QFETCH(QString, action);
        QFETCH(int, messages);
        QFETCH(bool, closed);
        QFETCH(int, width);
        Folders f;
        TfrmSettings dialog(nullptr, f.config, f.where);
        Activate(dialog);
        Find<QSlider>(dialog, "trkWidth")->setValue(20);
        QCOMPARE(f.config.settings.Width, 20);
        auto* decimal = Find<QLineEdit>(dialog, "edtDivisionCharInt");
        decimal->setFocus();
        decimal->setText(QStringLiteral("256"));
        BoxAnswerer boxes;
        QTest::keyClick(decimal, Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), decimal);
        if (action == "escape")
            QTest::keyClick(decimal, Qt::Key_Escape);
        else
            QTest::mouseClick(Find<QPushButton>(dialog, action == "ok" ? "btnOK" : "btnCancel"),
                              Qt::LeftButton);
        QCOMPARE(boxes.texts.size(), messages);
        QCOMPARE(dialog.isVisible(), !closed);
        QCOMPARE(f.config.settings.Width, width);
        QVERIFY(NeedsFirstRunSetup(f.where));  // nothing was saved
    }

    // Unticking a switch greys its controls and turns the option off at
    // once, before OK.
    void switchesGreyTheirControls_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("dependents");
        QTest::addColumn<int>("option");
        QTest::newRow("separator")
            << "chkDivide"
            << QStringList{"edtDivisionChar", "edtDivisionCharInt", "edtDivisionCharHex"} << 0;
        QTest::newRow("special characters")
            << "chkRemove" << QStringList{"rbnRemoveLine", "rbnRemoveChar", "btnSpecialChars"} << 1;
        QTest::newRow("line filter")
            << "chkUseFilter"
            << QStringList{"chkSize", "rbnContains", "rbnExactMatch", "btnLineFilter"} << 2;
    }

    void switchesGreyTheirControls() {
        QFETCH(QString, box);
        QFETCH(QStringList, dependents);
        QFETCH(int, option);
        bool AppSettings::*const options[] = {&AppSettings::Divide, &AppSettings::Remove,
                                              &AppSettings::UseFilter};
        Folders f;
        f.config.settings.*options[option] = true;
        QVERIFY(SaveSettings(f.config, f.where));
        TfrmSettings dialog(nullptr, f.config, f.where);
        for (const QString& name : dependents)
            QVERIFY2(Find<QWidget>(dialog, name.toLatin1().constData())->isEnabled(),
                     qPrintable(name));
        Find<QCheckBox>(dialog, box.toLatin1().constData())->click();
        for (const QString& name : dependents)
            QVERIFY2(!Find<QWidget>(dialog, name.toLatin1().constData())->isEnabled(),
                     qPrintable(name));
        QVERIFY(!(f.config.settings.*options[option]));
    }

    // Apply saves, writes IsConfigured (so the welcome does not come back)
    // and says so; a failed save shows the error and no success notice.
    void applySaves_data() {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("heard");
        QTest::newRow("saved") << true << "Hinweis: Einstellungen gespeichert";
        QTest::newRow("store cannot be written") << false << "Fehler: " + QString(kSaveErrorText);
    }

    void applySaves() {
        QFETCH(bool, writable);
        QFETCH(QString, heard);
        Folders f;
        if (!writable) f.dir.Write("config", "a file where the folder should be");
        SettingsDialogOptions options;
        options.voice = f.Voice();
        TfrmSettings dialog(nullptr, f.config, f.where, options);
        Find<QRadioButton>(dialog, "rbnAlignLeft")->click();
        Find<QPushButton>(dialog, "btnApply")->click();
        QCOMPARE(f.heard.join('|'), heard);
        QCOMPARE(NeedsFirstRunSetup(f.where), !writable);
        Configuration stored;
        LoadSettings(stored, f.where);
        QCOMPARE(stored.settings.Align, writable ? 0 : 1);
    }

    // Up on the first and Down on the last entry (or without a selection)
    // only beep; a new name is upper-cased and appended; OK writes the list.
    void infoFileList() {
        Folders f;
        f.dir.Write("prog/LM_IDS.DAT", "FILE_ID.DIZ\r\nDESC.SDI\r\n");
        SettingsDialogOptions options;
        options.voice = f.Voice();
        TfrmSettings dialog(nullptr, f.config, f.where, options);
        auto* list = Find<QListWidget>(dialog, "lbxInfoFiles");
        auto* up = Find<QToolButton>(dialog, "btnUp");
        auto* down = Find<QToolButton>(dialog, "btnDown");
        up->click();
        list->setCurrentRow(0);
        up->click();
        list->setCurrentRow(1);
        down->click();
        QCOMPARE(f.heard, QStringList({"beep", "beep", "beep"}));
        QCOMPARE(dialog.InfoFileNames(), (std::vector<std::string>{"FILE_ID.DIZ", "DESC.SDI"}));
        up->click();
        QCOMPARE(dialog.InfoFileNames(), (std::vector<std::string>{"DESC.SDI", "FILE_ID.DIZ"}));
        QCOMPARE(list->currentRow(), 0);
        test::AnswerNextModal([](QWidget* modal) {
            auto* box = qobject_cast<TfrmInput*>(modal);
            QVERIFY(box != nullptr);
            QCOMPARE(box->windowTitle(), QStringLiteral("Neue Datei-Art"));
            box->edit()->setText(QString::fromUtf8(" readme.\u00e4 "));
            box->okButton()->click();
        });
        Find<QPushButton>(dialog, "btnNewInfoFile")->click();
        Find<QPushButton>(dialog, "btnOK")->click();
        QCOMPARE(test::ReadAll(f.Prog("LM_IDS.DAT")),
                 std::string("DESC.SDI\r\nFILE_ID.DIZ\r\nREADME.\xE4\r\n"));
        QCOMPARE(f.config.InfoFileList.size(), std::size_t{3});
    }

    // OK trims blanks and control characters and refuses an empty result
    // with a beep; Abbrechen gives the cancel marker.
    void inputBox_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("open");
        QTest::newRow("blanks only") << " \t  " << false << CancelMarker() << true;
        QTest::newRow("trimmed, case kept") << "  Werbung\t" << false << "Werbung" << false;
        QTest::newRow("cancelled") << "Werbung" << true << CancelMarker() << false;
    }

    void inputBox() {
        QFETCH(QString, typed);
        QFETCH(bool, cancel);
        QFETCH(QString, result);
        QFETCH(bool, open);
        Folders f;
        TfrmInput box(nullptr, QStringLiteral("Neuer Filter"), StandardInputPrompt(), f.Voice());
        box.show();
        box.edit()->setText(typed);
        (cancel ? box.cancelButton() : box.okButton())->click();
        QCOMPARE(box.Result(), result);
        QCOMPARE(box.isVisible(), open);
        QCOMPARE(f.heard.size(), open ? 1 : 0);
    }

    // Without filter.cfg nothing is marked and OK writes sixteen rows of
    // "1"; Abbrechen leaves the file as it was and the next opening shows
    // the file's marks; "Umkehren" twice restores.
    void specialCharDialog() {
        Folders f;
        const std::string dir = f.where.programDir;
        {
            TfrmSonderzeichen dialog(nullptr, f.config, dir, f.Voice());
            QVERIFY(f.config.SpecialCharMarks.none());
            Find<QPushButton>(dialog, "btnInvert")->click();
            QVERIFY(f.config.SpecialCharMarks.all());
            Find<QPushButton>(dialog, "btnInvert")->click();
            QVERIFY(f.config.SpecialCharMarks.none());
            Find<QPushButton>(dialog, "btnOK")->click();
        }
        std::string rows;
        for (int r = 0; r < 16; ++r) rows += "1111111111111111\r\n";
        QCOMPARE(test::ReadAll(f.Prog("filter.cfg")).substr(0, rows.size()), rows);

        f.config.SpecialCharMarks.set(0x41);
        QVERIFY(SaveSpecialCharFilter(f.config, dir));
        const std::string saved = test::ReadAll(f.Prog("filter.cfg"));
        {
            TfrmSonderzeichen dialog(nullptr, f.config, dir, f.Voice());
            dialog.show();
            QTest::mouseClick(dialog.grid(), Qt::LeftButton, {},
                              dialog.grid()->CellRect(0xB1).center());
            QTest::mouseClick(dialog.grid(), Qt::LeftButton, {},
                              dialog.grid()->CellRect(0x41).center());
            QVERIFY(f.config.SpecialCharMarks.test(0xB1) && !f.config.SpecialCharMarks.test(0x41));
            Find<QPushButton>(dialog, "btnCancel")->click();
        }
        QCOMPARE(test::ReadAll(f.Prog("filter.cfg")), saved);
        QCOMPARE(f.config.SpecialCharSet, CharSet().set(0x41));
        TfrmSonderzeichen dialog(nullptr, f.config, dir, f.Voice());
        QCOMPARE(f.config.SpecialCharMarks, CharSet().set(0x41));
        for (int code = 0xB0; code < 0xE0; ++code) f.config.SpecialCharMarks.set(code);
        dialog.show();
        SaveScreenshot(dialog, QStringLiteral("special_chars_windows"));
        dialog.viewChooser()->setCurrentIndex(1);
        SaveScreenshot(dialog, QStringLiteral("special_chars_msdos"));
        QVERIFY(f.heard.isEmpty());
    }

    // A missing filter2.cfg is reported; Löschen without a selection only
    // beeps; a new line lands at its alphabetical place and "&Beenden"
    // writes that order and reloads the line filter.
    void lineFilterDialog() {
        Folders f;
        const std::string dir = f.where.programDir;
        {
            TfrmZeilenfilter dialog(nullptr, f.config, dir, f.Voice());
            dialog.LoadEntries();
            QCOMPARE(f.heard, QStringList(QString::fromUtf8(
                                  "Filter leer: Es wurden noch keine Zeilen für diesen Filter "
                                  "definiert.")));
        }
        f.heard.clear();
        f.dir.Write("prog/filter2.cfg", "Zeta\r\n\xC4\xC4 BBS \xCD\xCD\r\nAnfang\r\n");
        TfrmZeilenfilter dialog(nullptr, f.config, dir, f.Voice());
        dialog.LoadEntries();
        Find<QPushButton>(dialog, "btnDelete")->click();
        QCOMPARE(f.heard, QStringList("beep"));
        test::AnswerNextModal([](QWidget* modal) {
            auto* box = qobject_cast<TfrmInput*>(modal);
            QVERIFY(box != nullptr);
            box->edit()->setText(QStringLiteral(" mitte "));
            box->okButton()->click();
        });
        Find<QPushButton>(dialog, "btnNew")->click();
        QCOMPARE(dialog.list()->currentItem()->text(), QStringLiteral("mitte"));
        dialog.show();
        SaveScreenshot(dialog, QStringLiteral("line_filter_windows"));
        dialog.viewChooser()->setCurrentIndex(1);
        QCOMPARE(dialog.list()->item(3)->text(), QString::fromUtf8("── BBS ══"));
        SaveScreenshot(dialog, QStringLiteral("line_filter_msdos"));
        Find<QPushButton>(dialog, "btnFinish")->click();
        const std::vector<std::string> order = {"Anfang", "mitte", "Zeta", "\xC4\xC4 BBS \xCD\xCD"};
        QCOMPARE(test::ReadAll(f.Prog("filter2.cfg")), LineFilterText(order));
        QCOMPARE(f.config.LineFilterList, order);
    }

    // The MS-DOS view agrees with the program's own OEM table wherever both
    // sets share a character, and the grid font holds every glyph.
    void msDosGlyphs() {
        for (int code = 0x80; code < 0xFF; ++code) {
            const unsigned char ansi = OemToAnsi(static_cast<unsigned char>(code));
            if (ansi == '?') continue;
            QCOMPARE(GlyphOf(static_cast<unsigned char>(code), CharView::MsDos),
                     GlyphOf(ansi, CharView::Windows));
        }
        QCOMPARE(DecodeInView("\x01\xB0\xC9\xCD\xDB\xFE", CharView::MsDos),
                 QString::fromUtf8("☺░╔═█■"));
        QCOMPARE(GlyphOf(0x80, CharView::Windows), QString::fromUtf8("€"));
        QVERIFY(GlyphOf(0x0A, CharView::Windows).isEmpty());
        const QFontMetrics metrics(GlyphFont(12));
        for (int code = 1; code < 255; ++code) {
            for (const CharView view : {CharView::Windows, CharView::MsDos}) {
                const QString glyph = GlyphOf(static_cast<unsigned char>(code), view);
                if (!glyph.isEmpty() && glyph[0].unicode() > 0xA0)
                    QVERIFY2(metrics.inFont(glyph[0]), qPrintable(QString::number(code)));
            }
        }
    }

    // The first run: the dialog opens over the still disabled main window,
    // takes input, and OK writes IsConfigured, so the welcome does not come
    // back at the next start.
    void opensOverADisabledWindow() {
        Folders f;
        QWidget main;
        main.setEnabled(false);
        main.show();
        bool enabled = false;
        test::AnswerNextModal([&enabled](QWidget* modal) {
            enabled = modal->isEnabled();
            Find<QPushButton>(*modal, "btnOK")->click();
        });
        ShowSettingsDialog(&main, f.config, f.where);
        QVERIFY(enabled);
        QVERIFY(!NeedsFirstRunSetup(f.where));
    }

    // Every page of the settings dialog, with the few-colours hint.
    void settingsPages() {
        Folders f;
        f.dir.Write("prog/LM_IDS.DAT", "FILE_ID.DIZ\r\nDESC.SDI\r\nREADME.TXT\r\n");
        SettingsDialogOptions options;
        options.colourDepth = 8;
        TfrmSettings dialog(nullptr, f.config, f.where, options);
        dialog.show();
        auto* pages = Find<QTabWidget>(dialog, "pages");
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            SaveScreenshot(dialog, QStringLiteral("settings_page_%1").arg(i + 1));
        }
    }
};

}  // namespace lumora

QTEST_MAIN(lumora::SettingsDialogsTest)
#include "settings_dialogs_test.moc"
