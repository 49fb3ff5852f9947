// The main window against the real engine: busy and idle during Scan I, the
// toolbar's dock, the close question, the job log and its menu.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include "gui/gui_tests.h"
#include "platform/text.h"
#include "scan/app_session.h"
#include "scan/folder_search.h"
#include "scan/ui/dizmain.h"
#include "scan/ui/log_view.h"

namespace lumora::test {

namespace {

using ui::TfrmDizMain;

struct Box {
    std::string caption;
    std::string text;
    MsgButtons buttons;
};

AppSession MakeSession() {
    SessionOptions options;
    options.executablePath = LUMORA_BIN_DIR "/lumora";
    return StartSession(options);
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A window whose message boxes are recorded and answered from a script
// (Yes/No questions take the next answer, No when the script is empty).
struct ScriptedWindow {
    AppSession session = MakeSession();
    TfrmDizMain window{session};
    std::vector<Box> boxes;
    std::vector<MsgAnswer> answers;

    ScriptedWindow() {
        window.messageBox = [this](const std::string& caption, const std::string& text, MsgIcon,
                                   MsgButtons buttons) {
            boxes.push_back({caption, text, buttons});
            if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
            if (answers.empty()) return MsgAnswer::No;
            const MsgAnswer a = answers.front();
            answers.erase(answers.begin());
            return a;
        };
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    template <typename T>
    T* Find(const char* name) {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
    bool HasBox(const std::string& text) const {
        for (const auto& b : boxes)
            if (b.text == text) return true;
        return false;
    }
    QString Panel(int i) { return Find<QLabel>(i == 1 ? "StatusPanel1" : "StatusPanel2")->text(); }
    // The enabled toolbar buttons and menus, as one line for comparison.
    QString EnabledCommands() {
        QStringList on;
        for (const char* name :
             {"tbtnSetup", "tbtnStart", "tbtnStart2", "tbtnStop", "tbtnInfo", "tbtnExit"})
            if (Find<QAction>(name)->isEnabled()) on << name;
        for (QAction* menu : window.menuBar()->actions())
            if (menu->isEnabled()) on << menu->text();
        return on.join(' ');
    }
    bool RedLamp() { return !Find<QLabel>("ImageRed")->isHidden(); }
    bool GreenLamp() { return !Find<QLabel>("ImageGreen")->isHidden(); }
};

const QString kSamples = QStringLiteral(LUMORA_SAMPLES_DIR "/");
const QString kIdleCommands =
    QStringLiteral("tbtnSetup tbtnStart tbtnStart2 tbtnInfo tbtnExit &Datei &Bearbeiten &Hilfe");

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    // A real Scan I over the samples: busy while it runs, idle after, and the
    // list is the command-line program's list byte for byte.
    void scanIBusyIdleAndSameListAsCli() {
        QTemporaryDir tmp;
        ScriptedWindow w;
        const std::string folder = kSamples.toStdString();
        w.window.askArchives = [&] {
            return std::optional<ui::ArchiveChoice>({CollectArchives(folder, false), folder});
        };
        QString busyCommands;
        bool busyLamps = false;
        QString busyStatus;
        std::string saveFolder;
        const QString listPath = tmp.filePath("window.txt");
        w.window.askSaveFileName = [&](const SaveDialogRequest& r) {
            busyCommands = w.EnabledCommands();
            busyLamps = w.RedLamp() && !w.GreenLamp();
            busyStatus = w.Panel(2);
            saveFolder = r.initialFolder;
            return std::optional<std::string>(listPath.toStdString());
        };
        QCOMPARE(w.EnabledCommands(), kIdleCommands);
        w.window.btnStartClick();

        QCOMPARE(busyCommands, QStringLiteral("tbtnStop"));
        QCOMPARE(saveFolder, folder);
        QVERIFY(busyLamps);
        QCOMPARE(busyStatus, QString::fromUtf8("Status : Besch\xc3\xa4"
                                               "ftigt..."));
        QVERIFY(w.GreenLamp() && !w.RedLamp());
        QCOMPARE(w.EnabledCommands(), kIdleCommands);
        QCOMPARE(w.Panel(1), QStringLiteral("Bearbeitet : 0 Dateien"));
        QCOMPARE(w.Panel(2), QStringLiteral("Status : Leerlauf..."));
        QVERIFY(w.HasBox("Die Erstellung der Liste ist abgeschlossen !"));
        const auto& kinds = w.window.log().kinds();
        QCOMPARE(static_cast<int>(kinds.size()), 4 + 13);
        QCOMPARE(w.Find<QListWidget>("lbxProt")->count(), 4 + 13);

        const QString cliPath = tmp.filePath("cli.txt");
        const int rc = QProcess::execute(QStringLiteral(LUMORA_BIN_DIR "/lumora-cli"),
                                         {QStringLiteral("scan"), kSamples, "-o", cliPath});
        QCOMPARE(rc, 0);
        const QByteArray expected = ReadAll(cliPath);
        QVERIFY(expected.size() > 100);
        QCOMPARE(ReadAll(listPath), expected);
    }

    // Floating the toolbar gives the log the room of the dock; docking it
    // again restores the place.
    void toolbarFloatMovesLog() {
        ScriptedWindow w;
        auto* bar = w.Find<QToolBar>("Toolbar971");
        QCOMPARE(w.window.LogBoxGeometry(), QRect(5, 70, 376, 151));
        QCOMPARE(bar->allowedAreas(), Qt::TopToolBarArea | Qt::BottomToolBarArea);
        // Drag the handle far off the window: the toolbar floats.
        auto send = [bar](QEvent::Type type, QPoint at, Qt::MouseButton button,
                          Qt::MouseButtons buttons) {
            QMouseEvent e(type, at, bar->mapToGlobal(at), button, buttons, Qt::NoModifier);
            QApplication::sendEvent(bar, &e);
            return e.isAccepted();
        };
        QPoint handle;
        for (int y = 1; y < bar->height() && handle.isNull(); y += 4)
            for (int x = 1; x < 16 && handle.isNull(); ++x)
                if (send(QEvent::MouseButtonPress, {x, y}, Qt::LeftButton, Qt::LeftButton))
                    handle = {x, y};
        QVERIFY(!handle.isNull());
        const QPoint away = handle + QPoint(700, 700);
        send(QEvent::MouseMove, handle + QPoint(0, 30), Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseMove, away, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, away, Qt::LeftButton, Qt::NoButton);
        QTRY_VERIFY(bar->isFloating());
        QTRY_COMPARE(w.window.LogBoxGeometry(), QRect(5, 10, 376, 211));
        w.window.addToolBar(Qt::TopToolBarArea, bar);
        QTRY_VERIFY(!bar->isFloating());
        QTRY_COMPARE(w.window.LogBoxGeometry(), QRect(5, 70, 376, 151));
    }

    // No keeps window and log; Yes closes.
    void closeQuestion() {
        ScriptedWindow w;
        w.window.log().AddLogLine("eine Zeile", LogKind::Success);
        w.answers = {MsgAnswer::No};
        QVERIFY(!w.window.close());
        QVERIFY(w.window.isVisible());
        QCOMPARE(w.Find<QListWidget>("lbxProt")->count(), 1);
        QCOMPARE(w.boxes.back().text, std::string("Lumora wirklich beenden ?"));
        QCOMPARE(w.boxes.back().caption, std::string("Lumora"));
        w.answers = {MsgAnswer::Yes};
        QVERIFY(w.window.close());
        QVERIFY(!w.window.isVisible());
    }

    void endJobEarly_data() {
        QTest::addColumn<bool>("viaClose");
        QTest::newRow("Stop, then Yes") << false;
        QTest::newRow("close box, then Yes") << true;
    }

    // Stop asks the engine's cancel question; closing during Scan I ends the
    // job without it. Either way no list is written and the end is logged;
    // only the close takes the window away.
    void endJobEarly() {
        QFETCH(bool, viaClose);
        QTemporaryDir tmp;
        ScriptedWindow w;
        const std::string folder = kSamples.toStdString();
        w.window.askArchives = [&] {
            return std::optional<ui::ArchiveChoice>({CollectArchives(folder, false), folder});
        };
        const QString listPath = tmp.filePath("list.txt");
        w.window.askSaveFileName = [&](const SaveDialogRequest&) {
            QTimer::singleShot(0, &w.window, [&] {
                if (viaClose)
                    w.window.close();
                else
                    w.Find<QAction>("tbtnStop")->trigger();
            });
            return std::optional<std::string>(listPath.toStdString());
        };
        w.answers = {MsgAnswer::Yes};
        w.window.btnStartClick();
        QVERIFY(!QFile::exists(listPath));
        QCOMPARE(w.HasBox("Den Vorgang wirklich abbrechen ?"), !viaClose);
        QCOMPARE(w.HasBox("Lumora wirklich beenden ?"), viaClose);
        QVERIFY(w.window.log().lines().back().rfind("Job beendet : ", 0) == 0);
        QVERIFY(static_cast<int>(w.window.log().lines().size()) < 4 + 13);
        QCOMPARE(w.window.isVisible(), !viaClose);
    }

    // Each kind's marker sits at +2/+4 in its colour; the text starts at +13.
    void logMarkersDrawn() {
        ScriptedWindow w;
        const LogKind kinds[] = {LogKind::Failure, LogKind::Success, LogKind::Neutral};
        for (LogKind k : kinds) w.window.log().AddLogLine("Zeile", k);
        auto* box = w.Find<QListWidget>("lbxProt");
        box->clearSelection();
        box->setCurrentRow(-1);
        QApplication::processEvents();
        const QImage image = box->viewport()->grab().toImage();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(box->visualItemRect(box->item(i)),
                     QRect(0, 16 * i, box->viewport()->width(), 16));
            QCOMPARE(image.pixelColor(5, 16 * i + 7), ui::MarkerColour(kinds[i]));
            QCOMPARE(image.pixelColor(11, 16 * i + 7), box->palette().base().color());
        }
    }

    // The log menu: showing on/off, clearing with its question, saving, the
    // limit item, and the limit notice before an archive line.
    void logMenuCommands() {
        QTemporaryDir tmp;
        ScriptedWindow w;
        JobLog& log = w.window.log();
        auto* box = w.Find<QListWidget>("lbxProt");
        QCOMPARE(w.Find<QAction>("mnuInfo1")->text(),
                 QString::fromUtf8("L\xc3\xb6sche nach : 200 Zeilen"));

        auto* shown = w.Find<QAction>("mnuProtZeigen");
        QVERIFY(shown->isChecked());
        shown->trigger();
        log.AddLogLine("versteckt", LogKind::Neutral);
        QCOMPARE(box->count(), 0);
        shown->trigger();
        log.AddLogLine("eins", LogKind::Success);
        log.AddLogLine("zwei", LogKind::Failure);
        QCOMPARE(box->count(), 2);

        SaveDialogRequest asked;
        const QString path = tmp.filePath("log.txt");
        w.window.askSaveFileName = [&](const SaveDialogRequest& r) {
            asked = r;
            return std::optional<std::string>(path.toStdString());
        };
        w.Find<QAction>("mnuProtSpeichern")->trigger();
        QCOMPARE(asked.title, std::string("Protokoll speichern"));
        QCOMPARE(asked.initialFolder, w.session.dirs.programDir);
        QCOMPARE(ReadAll(path), QByteArray("eins\r\nzwei\r\n"));

        w.answers = {MsgAnswer::No};
        w.Find<QAction>("mnuProtLoeschen")->trigger();
        QCOMPARE(w.boxes.back().buttons, MsgButtons::YesNoDefaultNo);
        QCOMPARE(box->count(), 2);
        w.answers = {MsgAnswer::Yes};
        w.Find<QAction>("mnuProtLoeschen")->trigger();
        QCOMPARE(box->count(), 0);

        w.session.config.settings.Lines = 2;
        w.window.UpdateLineLimit();
        QCOMPARE(w.Find<QAction>("mnuInfo1")->text(),
                 QString::fromUtf8("L\xc3\xb6sche nach : 2 Zeilen"));
        log.AddLogLine("a", LogKind::Neutral);
        log.AddLogLine("b", LogKind::Neutral);
        w.answers = {MsgAnswer::Yes};
        log.LogArchive("/x/", "A.ZIP", "FILE_ID.DIZ", "O.K.", false);
        QVERIFY(
            w.HasBox(Utf8ToAnsi("Das Protokoll hat die definierte Zeilenanzahl erreicht und wird "
                                "nun gel\xc3\xb6scht.")));
        QCOMPARE(box->count(), 1);
    }

    // Pictures of the window for people to look at.
    void screenshots() {
        ScriptedWindow w;
        QDir().mkpath(QStringLiteral(LUMORA_SCREENSHOT_DIR));
        QVERIFY(w.window.grab().save(QStringLiteral(LUMORA_SCREENSHOT_DIR "/main_idle.png")));
        JobLog& log = w.window.log();
        log.LogJobStart();
        log.LogArchive("/srv/files/", "GAME1.ZIP", "FILE_ID.DIZ", "O.K.", false);
        log.LogArchive("/srv/files/", "NODESC.ZIP", "", "Keine FILE_ID gefunden", true);
        log.LogArchive("/srv/files/", "TOOLS.ARJ", "FILE_ID.DIZ", "O.K.", false);
        w.window.SetBusy();
        w.window.SetTotalField("1.234");
        w.window.SetProcessedField("617");
        w.window.SetCurrentFileField("/srv/files/TOOLS.ARJ");
        w.window.SetGaugeMax(4);
        w.window.SetGaugePosition(2);
        w.window.SetStatusPanel(1, "Bearbeitet : 3 Dateien");
        QVERIFY(w.window.grab().save(QStringLiteral(LUMORA_SCREENSHOT_DIR "/main_busy.png")));
        w.window.SetIdle();
        w.answers = {MsgAnswer::Yes};
    }
};

std::unique_ptr<QObject> MakeMainWindowTest() {
    return std::make_unique<MainWindowTest>();
}

}  // namespace lumora::test

#include "main_window_test.moc"
