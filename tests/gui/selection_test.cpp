// Choosing the archives of Scan I: the open dialog, the subfolder search
// with its window, the picker, and files dropped on the main window.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

#include "scan/app_session.h"
#include "scan/ui/dizmain.h"
#include "scan/ui/open_dialog.h"
#include "scan/ui/search_info.h"
#include "scan/ui/select_archives.h"
#include "scan/ui/sub_dirs.h"

namespace lumora::test {

namespace {

using Paths = std::vector<std::string>;

void Touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

void Screenshot(QWidget* w, const char* name) {
    QDir().mkpath(QStringLiteral(LUMORA_SCREENSHOT_DIR));
    QVERIFY(w->grab().save(QStringLiteral(LUMORA_SCREENSHOT_DIR) + QLatin1String(name)));
}

// The names the embedded file dialog lists in its folder.
QStringList Listed(QFileDialog* dialog) {
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QStringList names;
    for (int row = 0; view && row < view->model()->rowCount(view->rootIndex()); ++row)
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    names.sort();
    return names;
}

// Calls `answer` once, at the first event pass that finds a visible window
// of type T (which may be a window running its own event loop).
template <typename T>
void WhenShown(QTimer& poll, std::function<void(T*)> answer) {
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, &poll, [&poll, answer] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* window = dynamic_cast<T*>(w);
            if (!window || !window->isVisible()) continue;
            poll.stop();
            answer(window);
            return;
        }
    });
    poll.start();
}

void Choose(ui::TfrmOpen* dialog, const QString& typed, bool subfolders) {
    dialog->dlgOpen1->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
    dialog->chkSubdirs->setChecked(subfolders);
    dialog->dlgOpen1->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
}

}  // namespace

class SelectionTest : public QObject {
    Q_OBJECT

private slots:
    // The archive filter also lists lower-case names; "&Datei Info..." acts
    // on the shown file; the take-over keeps the dialog's order.
    void openDialogReturnsChosenNamesAndState() {
        QTemporaryDir tmp;
        for (const char* name : {"ONE.ZIP", "two.arj", "notes.txt"}) Touch(tmp.filePath(name));
        const std::string folder = QDir(tmp.path()).absolutePath().toStdString() + "/";
        ui::TfrmOpen dialog(folder);
        Paths infos;
        dialog.showFileInfo = [&](const std::string& p) { infos.push_back(p); };
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(!dialog.chkSubdirs->isChecked());
        QTRY_COMPARE(Listed(dialog.dlgOpen1), QStringList({"ONE.ZIP", "two.arj"}));
        Screenshot(&dialog, "open_dialog.png");

        dialog.btnInfo->click();
        QVERIFY(infos.empty());
        dialog.dlgOpen1->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("two.arj");
        dialog.btnInfo->click();
        QCOMPARE(infos, Paths{folder + "two.arj"});

        Choose(&dialog, QStringLiteral("\"two.arj\" \"ONE.ZIP\""), true);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.Choice().has_value());
        QCOMPARE(dialog.Choice()->sourceFolder, folder);
        QCOMPARE(dialog.Choice()->archives, (Paths{folder + "two.arj", folder + "ONE.ZIP"}));
        QVERIFY(dialog.IncludeSubfolders());
    }

    void pickerClosing_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("jobSize");
        QTest::newRow("OK with one unticked") << int(PickerClose::Ok) << 4;
        QTest::newRow("Abbrechen") << int(PickerClose::Cancel) << 3;
        QTest::newRow("close box") << int(PickerClose::CloseBox) << 5;
    }

    // Three archives chosen with subfolders, two more below: the picker lists
    // the two, ticked and sorted; how it closes decides the job's size.
    void pickerClosing() {
        QFETCH(int, how);
        QFETCH(int, jobSize);
        QTemporaryDir tmp;
        for (const char* name : {"ONE.ZIP", "TWO.ZIP", "THREE.LZH", "SUB/b.zip", "SUB/A.CAB"})
            Touch(tmp.filePath(name));
        const std::string folder = QDir(tmp.path()).absolutePath().toStdString() + "/";
        QStringList rows;
        Paths infos;
        QTimer pickerPoll;
        WhenShown<ui::TfrmSubDirs>(pickerPoll, [&](ui::TfrmSubDirs* picker) {
            // Only recorded here: a failed check must not leave the picker open.
            QTreeWidget* list = picker->lvwArchives;
            rows << picker->lblPfad->text()
                 << QStringLiteral("%1 %2").arg(list->columnWidth(0)).arg(list->columnWidth(1));
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                rows << list->topLevelItem(i)->text(0) + " " +
                            (list->topLevelItem(i)->checkState(0) == Qt::Checked ? "x" : "-");
            picker->showFileInfo = [&](const std::string& p) { infos.push_back(p); };
            const QRect second = list->visualItemRect(list->topLevelItem(1));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
            if (how == int(PickerClose::Ok)) {
                Screenshot(picker, "picker.png");
                list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
                picker->btnOkay->click();
            } else if (how == int(PickerClose::Cancel)) {
                picker->btnCancel->click();
            } else {
                picker->close();
            }
        });
        QTimer openPoll;
        WhenShown<ui::TfrmOpen>(openPoll, [](ui::TfrmOpen* open) {
            Choose(open, QStringLiteral("\"ONE.ZIP\" \"TWO.ZIP\" \"THREE.LZH\""), true);
        });
        const auto choice = ui::SelectArchives(nullptr, folder, nullptr);
        QVERIFY(choice.has_value());
        QCOMPARE(rows,
                 QStringList({QString::fromStdString(folder), "150 200", "A.CAB x", "b.zip x"}));
        QCOMPARE(infos, Paths{folder + "SUB/b.zip"});
        QCOMPARE(int(choice->archives.size()), jobSize);
        if (how == int(PickerClose::Ok)) QCOMPARE(choice->archives.back(), folder + "SUB/b.zip");
    }

    // "&Abbrechen" in the search window ends the search with nothing found;
    // the hourglass is shown during the search only.
    void searchWindowCancels() {
        QTemporaryDir tmp;
        const QString deep = QStringLiteral("/SUB/Ein-recht-langer-Ordnername/und-noch-einer");
        Touch(tmp.path() + deep + "/A.ZIP");
        const std::string folder = QDir(tmp.path()).absolutePath().toStdString() + "/";
        QString shown;
        bool waitCursor = false;
        bool animated = false;
        QTimer poll;
        WhenShown<ui::TfrmSearchInfo>(poll, [&](ui::TfrmSearchInfo* window) {
            shown = window->lblInfo->text();
            waitCursor = QApplication::overrideCursor() &&
                         QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            animated = window->animSeek->running();
            Screenshot(window, "search_window.png");
            window->btnCancel->click();
        });
        QVERIFY(ui::SearchWithWindow(nullptr, folder).empty());
        QVERIFY(!poll.isActive());
        QCOMPARE(shown.toStdString(), SearchFolderText(folder));
        QVERIFY(waitCursor);
        QVERIFY(animated);
        QVERIFY(!QApplication::overrideCursor());
    }

    // Two dropped files start Scan I at once with the save dialog; the
    // source folder stays the one last chosen in an open dialog.
    void dropStartsScanWithEarlierSourceFolder() {
        QTemporaryDir tmp;
        SessionOptions options;
        options.executablePath = LUMORA_BIN_DIR "/lumora";
        AppSession session = StartSession(options);
        ui::TfrmDizMain window(session);
        window.messageBox = [](const std::string&, const std::string&, MsgIcon, MsgButtons) {
            return MsgAnswer::Ok;
        };
        const std::string samples = LUMORA_SAMPLES_DIR "/";
        window.askArchives = [&] {
            return std::optional<ui::ArchiveChoice>({{samples + "GAME1.ZIP"}, "/srv/earlier/"});
        };
        std::vector<std::string> saveFolders;
        const QString list = tmp.filePath("list.txt");
        window.askSaveFileName = [&](const SaveDialogRequest& r) {
            saveFolders.push_back(r.initialFolder);
            return saveFolders.size() == 1 ? std::nullopt
                                           : std::optional<std::string>(list.toStdString());
        };
        window.show();
        window.btnStartClick();
        QCOMPARE(window.sourceFolder(), std::string("/srv/earlier/"));

        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(samples + "GAME3.ZIP")),
                      QUrl(QStringLiteral("https://example.org/X.ZIP")),
                      QUrl::fromLocalFile(QString::fromStdString(samples + "DOCS.ARC"))});
        QDragEnterEvent enter(QPoint(50, 100), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(saveFolders.size(), std::size_t(2));
        QCOMPARE(saveFolders.back(), std::string("/srv/earlier/"));
        QTRY_VERIFY(!window.busy());
        QFile written(list);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        QVERIFY(bytes.contains("GAME3.ZIP") && bytes.contains("DOCS.ARC"));
    }
};

}  // namespace lumora::test

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_de"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    lumora::test::SelectionTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "selection_test.moc"
