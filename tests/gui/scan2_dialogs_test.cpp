#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "gui/modal_answer.h"
#include "scan/ui/scan2_dialogs.h"

using lumora::ScanIIOptions;
using lumora::TfrmScanOpt;

namespace {

// Names as InfoFileList holds them: Windows-1252 bytes ("\xDC" is Ü).
const std::vector<std::string> kInfoFiles = {"FILE_ID.DIZ", "DESC.SDI",
                                             "\xDC"
                                             "BER.TXT",
                                             "README.1ST"};

void Tick(TfrmScanOpt& dialog, const QList<int>& rows) {
    for (int row : rows) dialog.lbxSearchFor->item(row)->setCheckState(Qt::Checked);
}

void SaveScreenshot(QWidget& window, const QString& name) {
    QDir().mkpath(QStringLiteral(LUMORA_SCREENSHOT_DIR));
    QVERIFY(window.grab().save(QStringLiteral(LUMORA_SCREENSHOT_DIR "/") + name));
}

}  // namespace

class Scan2DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void optionsShowInfoFileListUnticked() {
        TfrmScanOpt dialog(
            "/home/b\xFC"
            "ro/",
            kInfoFiles);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("/home/büro/"));
        QCOMPARE(dialog.lbxSearchFor->count(), 4);
        const QStringList expected = {"FILE_ID.DIZ", "DESC.SDI", "ÜBER.TXT", "README.1ST"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(dialog.lbxSearchFor->item(i)->text(), expected[i]);
            QCOMPARE(dialog.lbxSearchFor->item(i)->checkState(), Qt::Unchecked);
            QVERIFY(dialog.lbxSearchFor->item(i)->flags() & Qt::ItemIsUserCheckable);
        }
        QVERIFY(!dialog.chkSubDirs->isChecked());
        QVERIFY(dialog.btnOkay->isDefault());
    }

    void weiterReturnsTickedNamesAndSubfolders_data() {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<bool>("subDirs");
        QTest::addColumn<QStringList>("expected");  // sorted, as UTF-8 for reading
        QTest::newRow("one name, no subfolders")
            << QList<int>{0} << false << QStringList{"FILE_ID.DIZ"};
        QTest::newRow("two names sorted, subfolders")
            << QList<int>{3, 0} << true << QStringList{"FILE_ID.DIZ", "README.1ST"};
        QTest::newRow("accented name keeps its bytes")
            << QList<int>{2, 1} << false << QStringList{"DESC.SDI", "ÜBER.TXT"};
        QTest::newRow("all names")
            << QList<int>{0, 1, 2, 3} << true
            << QStringList{"DESC.SDI", "FILE_ID.DIZ", "README.1ST", "ÜBER.TXT"};
    }

    void weiterReturnsTickedNamesAndSubfolders() {
        QFETCH(QList<int>, rows);
        QFETCH(bool, subDirs);
        QFETCH(QStringList, expected);
        TfrmScanOpt dialog("/data/", kInfoFiles);
        Tick(dialog, rows);
        dialog.chkSubDirs->setChecked(subDirs);
        QTest::mouseClick(dialog.btnOkay, Qt::LeftButton);

        const auto& choices = dialog.Choices();
        QVERIFY(choices.has_value());
        QCOMPARE(choices->includeSubfolders, subDirs);
        std::vector<std::string> expectedAnsi;
        for (const QString& name : expected)
            expectedAnsi.push_back(name == QStringLiteral("ÜBER.TXT") ? kInfoFiles[2]
                                                                      : name.toStdString());
        QVERIFY(choices->searchNames == expectedAnsi);
    }

    void abbrechenReturnsNothing() {
        TfrmScanOpt dialog("/data/", kInfoFiles);
        dialog.show();
        Tick(dialog, {0, 2});
        dialog.chkSubDirs->setChecked(true);
        QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.Choices());
    }

    // Through the entry point, modally: "&Weiter >>" with nothing ticked shows
    // the notice and keeps the dialog open; after ticking, it returns.
    void nothingTickedGivesNoticeAndStaysOpen() {
        QString noticeTitle;
        QString noticeText;
        lumora::test::AnswerNextModal([&](QWidget* modal) {
            auto* dialog = dynamic_cast<TfrmScanOpt*>(modal);
            QVERIFY(dialog);
            lumora::test::AnswerNextModal(
                [&, dialog](QWidget* box) {
                    auto* message = qobject_cast<QMessageBox*>(box);
                    QVERIFY(message);
                    noticeTitle = message->windowTitle();
                    noticeText = message->text();
                    message->accept();
                    QVERIFY(dialog->isVisible());
                    Tick(*dialog, {1});
                    dialog->chkSubDirs->setChecked(true);
                    dialog->btnOkay->click();
                },
                dialog);
            dialog->btnOkay->click();
        });
        const std::optional<ScanIIOptions> choices =
            lumora::AskScanIIOptions("/data/", kInfoFiles, nullptr);
        QCOMPARE(noticeTitle, QStringLiteral("Hinweis"));
        QCOMPARE(noticeText, QStringLiteral("Markieren Sie mindestens eine Datei, nach der "
                                            "gesucht werden soll."));
        QVERIFY(choices.has_value());
        QVERIFY(choices->searchNames == std::vector<std::string>{"DESC.SDI"});
        QVERIFY(choices->includeSubfolders);
    }

    void folderBrowserShowsFoldersFromRoot() {
        lumora::ScanFolderBrowser browser("Welches Verzeichnis durchsuchen ?", "Scan II");
        QCOMPARE(browser.windowTitle(), QStringLiteral("Scan II"));
        QCOMPARE(browser.lblTitle->text(), QStringLiteral("Welches Verzeichnis durchsuchen ?"));
        QCOMPARE(browser.browser->fileMode(), QFileDialog::Directory);
        QVERIFY(browser.browser->testOption(QFileDialog::ShowDirsOnly));
        QVERIFY(browser.browser->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(browser.browser->directory().absolutePath(), QStringLiteral("/"));
        browser.show();
        SaveScreenshot(browser, QStringLiteral("scan2_folder.png"));
    }

    void folderBrowserReturnsChosenFolderOrNothing() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        lumora::test::AnswerNextModal([&](QWidget* modal) {
            auto* files = modal->findChild<QFileDialog*>();
            QVERIFY(files);
            files->setDirectory(folder.path());
            static_cast<QDialog*>(files)->accept();  // QFileDialog hides its override
        });
        const auto chosen =
            lumora::AskFolder("Welches Verzeichnis durchsuchen ?", "Scan II", nullptr);
        QVERIFY(chosen.has_value());
        QCOMPARE(QDir(QString::fromStdString(*chosen)).canonicalPath(),
                 QDir(folder.path()).canonicalPath());

        lumora::test::AnswerNextModal(
            [](QWidget* modal) { modal->findChild<QFileDialog*>()->reject(); });
        QVERIFY(!lumora::AskFolder("Welches Verzeichnis durchsuchen ?", "Scan II", nullptr));
    }

    void screenshotOfTheOptionsDialog() {
        TfrmScanOpt dialog("/srv/files/", kInfoFiles);
        Tick(dialog, {0});
        dialog.chkSubDirs->setChecked(true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        SaveScreenshot(dialog, QStringLiteral("scan_opt.png"));
    }
};

int RunScan2DialogsTest(int argc, char** argv) {
    Scan2DialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "scan2_dialogs_test.moc"
