// The contents and file-information windows, driven through their modal runs:
// every modal window that opens is recorded, inspected and closed again.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

#include "lmtools/contents_window.h"
#include "lmtools/file_info_window.h"
#include "scan/ui/file_info_call.h"
#include "support/builders/zip_builder.h"
#include "support/temp_folder.h"

using namespace lumora;
using Inspect = std::function<void(QWidget*)>;

namespace {

// Closes every modal window that opens while it lives, after handing it to
// `inspect`; `seen` gets "title" or, for a message box, "title|text". Windows
// that `inspect` opens need a recorder of their own (a timer does not fire
// again while its own call runs).
class ModalRecorder {
public:
    explicit ModalRecorder(Inspect inspect = {}) : inspect_(std::move(inspect)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(10);
    }
    QStringList seen;

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->property("recorded").toBool()) return;
        modal->setProperty("recorded", true);
        auto* box = qobject_cast<QMessageBox*>(modal);
        seen << modal->windowTitle() + (box ? "|" + box->text() : QString());
        if (inspect_) inspect_(modal);
        modal->close();
    }
    Inspect inspect_;
    QTimer timer_;
};

QList<QStringList> Rows(QWidget* window) {
    QList<QStringList> rows;
    auto* list = window->findChild<QTreeWidget*>(QStringLiteral("lvwInhalt"));
    for (int r = 0; list && r < list->topLevelItemCount(); ++r) {
        rows << QStringList();
        for (int c = 0; c < list->columnCount(); ++c) rows.back() << list->topLevelItem(r)->text(c);
    }
    return rows;
}

QString Value(QWidget* window, const char* name) {
    return window->findChild<QLabel*>(QString::fromLatin1(name))->text();
}

QString Ticked(QWidget* window) {
    QStringList names;
    for (QCheckBox* box : window->findChildren<QCheckBox*>())
        if (box->isChecked()) names << box->text();
    names.sort();
    return names.join(QLatin1Char(','));
}

void SaveScreenshot(QWidget* window, const QString& name) {
    QDir().mkpath(QStringLiteral(LUMORA_SCREENSHOT_DIR));
    QVERIFY(window->grab().save(QStringLiteral(LUMORA_SCREENSHOT_DIR) + name));
}

// Shows the information window of `path` with German formats; `inspect` sees
// it open. The record of all modal windows that opened.
QStringList ShowInfo(const std::string& path, const Inspect& inspect,
                     const lmtools::FactsReader& reader = lmtools::ReadFileFacts) {
    ModalRecorder recorder([&](QWidget* w) {
        if (w->objectName() == QStringLiteral("frmFileInfo")) inspect(w);
    });
    lmtools::GetFileInfo(path, open(path.c_str(), O_RDONLY), LocaleFormats::German(), nullptr,
                         reader);
    return recorder.seen;
}

std::string ZipWithFolders() {
    using archive::test::Member;
    archive::test::TestMember doc = Member("DOC/README.TXT", std::string(1500, 'x'));
    doc.dosDateTime = 0x246548E1;  // 1998-03-05 09:07:02
    archive::test::TestMember game = Member("GAME.EXE", std::string(1000, 'g'), 8);
    game.raw = std::string(250, 'p');
    game.dosDateTime = 0x1F8E0000;  // 1995-12-14, midnight
    return archive::test::ZipBuilder().Add(doc).Add(game).Add(Member("DOC/SUB/A.TXT", "a")).Build();
}

const QString kNonArchiveWarning = QStringLiteral(
    "Warnung|Der Inhalt der Datei \n\nplain.txt\n\nkann nicht angezeigt werden (25202)");

}  // namespace

class LmtoolsTest : public QObject {
    Q_OBJECT

private slots:
    void contentsRowsOfZipWithFolders() {
        test::TempFolder dir;
        const std::string path = dir.Write("folders.zip", ZipWithFolders());
        QList<QStringList> rows;
        QString shownPath;
        ModalRecorder recorder([&](QWidget* w) {
            rows = Rows(w);
            shownPath = Value(w, "lblFile").remove(QChar(0x200B));
            SaveScreenshot(w, QStringLiteral("lmtools_contents.png"));
        });
        QVERIFY(lmtools::DisplayContents(path, LocaleFormats::German(), nullptr));
        QCOMPARE(recorder.seen, QStringList{"Lumora - Archivinhalt"});
        QCOMPARE(shownPath, QString::fromStdString(path));
        const QList<QStringList> expected = {
            {"README.TXT", "1.500 KB", "05.03.1998 09:07:02", "0 %", "1.500 KB", "DOC\\"},
            {"GAME.EXE", "1.000 KB", "14.12.1995", "75 %", "250 KB", ""},
            {"A.TXT", "1 KB", "14.12.1995 11:16:00", "0 %", "1 KB", "DOC\\SUB\\"}};
        QCOMPARE(rows, expected);
    }

    void contentsOfNonArchiveWarnsWithoutWindow() {
        test::TempFolder dir;
        ModalRecorder recorder;
        QVERIFY(lmtools::DisplayContents(dir.Write("plain.txt", "no archive"),
                                         LocaleFormats::German(), nullptr));
        QCOMPARE(recorder.seen, QStringList{kNonArchiveWarning});
    }

    // One archive of each type in the corpus: the window lists what
    // `lumora-cli contents` lists, or warns with the code it reports.
    void contentsMatchCliOverCorpus() {
        const QDir corpus(QStringLiteral(LUMORA_CORPUS_DIR));
        QFile manifest(corpus.filePath(QStringLiteral("MANIFEST.tsv")));
        if (!manifest.open(QIODevice::ReadOnly)) QSKIP("archive corpus not found");
        QSet<QByteArray> types;
        for (const QByteArray& line : manifest.readAll().split('\n').mid(1)) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() < 2 || types.contains(fields[1])) continue;
            types.insert(fields[1]);
            const QString path = corpus.filePath(QString::fromUtf8(fields[0]));
            QProcess cli;
            cli.start(QStringLiteral(LUMORA_BIN_DIR "lumora-cli"), {"contents", path});
            QVERIFY(cli.waitForFinished(30000));
            QStringList expected, listed;
            for (const QByteArray& row : cli.readAllStandardOutput().split('\n').mid(1))
                if (!row.isEmpty()) expected << QString::fromUtf8(row.split('\t')[0]);
            ModalRecorder recorder([&](QWidget* w) {
                for (const QStringList& cells : Rows(w)) listed << cells[5] + cells[0];
            });
            QVERIFY(lmtools::DisplayContents(path.toStdString(), LocaleFormats::German(), nullptr));
            QCOMPARE(listed, expected);
            const QByteArray code = cli.readAllStandardError().split(' ')[0];
            if (!code.isEmpty()) QVERIFY(recorder.seen.last().endsWith("(" + code + ")"));
        }
        QVERIFY(types.size() >= 8);
    }

    void infoShowsSizeAndName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("sizeText");
        QTest::newRow("empty") << "empty.bin" << qint64{0} << "0 Bytes";
        QTest::newRow("sparse 5 GiB") << "big.bin" << (qint64{5} << 30) << "5.368.709.120 Bytes";
        QTest::newRow("300-character path")
            << QString(120, 'd') + "/" + QString(120, 'e') + "/" + QString(40, 'f') + ".zip"
            << qint64{1234} << "1.234 Bytes";
    }
    void infoShowsSizeAndName() {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(QString, sizeText);
        test::TempFolder dir;
        const std::string path = dir.Write(name.toStdString(), "");
        QVERIFY(truncate(path.c_str(), size) == 0);
        QString shownName, shownSize;
        ShowInfo(path, [&](QWidget* w) {
            shownName = w->findChild<QLabel*>(QStringLiteral("lblFilename"))->toolTip();
            shownSize = Value(w, "lblFileSize");
            if (size == 1234) SaveScreenshot(w, QStringLiteral("lmtools_file_info.png"));
        });
        QCOMPARE(shownName, name.section(QLatin1Char('/'), -1));
        QCOMPARE(shownSize, sizeText);
    }

    void infoTicksReadOnlyHiddenAndRevertsClicks() {
        test::TempFolder dir;
        const std::string path = dir.Write(".hidden", "x");
        chmod(path.c_str(), 0444);
        QString before, after;
        QStringList boxes;
        ShowInfo(path, [&](QWidget* w) {
            before = Ticked(w);
            ModalRecorder inner;
            QTest::mouseClick(w->findChild<QCheckBox*>(QStringLiteral("chkHidden")),
                              Qt::LeftButton);
            after = Ticked(w);
            boxes = inner.seen;
        });
        QCOMPARE(before, QStringLiteral("Schreibgeschützt,Versteckt"));
        QCOMPARE(after, before);
        QCOMPARE(boxes, QStringList{"Hinweis|Verwenden Sie den Windows - Explorer, um "
                                    "Dateiattribute zu verändern."});
    }

    void infoTimesAreUniversalInAnyZone() {
        test::TempFolder dir;
        const std::string path = dir.Write("old.zip", "x");
        const timespec stamps[2] = {{889088822, 0}, {889088822, 0}};  // 1998-03-05 09:07:02 UTC
        QVERIFY(utimensat(AT_FDCWD, path.c_str(), stamps, 0) == 0);
        const QByteArray oldZone = qgetenv("TZ");
        QStringList times;
        for (const char* zone : {"Europe/Berlin", "America/New_York"}) {
            qputenv("TZ", zone);
            tzset();
            ShowInfo(path, [&](QWidget* w) {
                times << Value(w, "lblLastAccess") << Value(w, "lblLastWritten");
            });
        }
        qputenv("TZ", oldZone);
        tzset();
        QCOMPARE(times, QStringList(4, QStringLiteral("05.03.1998\t09:07:02")));
    }

    // Whatever the answer, the descriptor is closed; nothing known shows "#".
    void infoClosesDescriptorAndShowsHashWhenUnknown() {
        test::TempFolder dir;
        const std::string path = dir.Write("a.zip", "x");
        const int fd = open(path.c_str(), O_RDONLY);
        struct stat own = {};
        struct stat now = {};
        fstat(fd, &own);
        lmtools::TfrmFileInfo window(path, LocaleFormats::German());
        window.Fill(fd, [](int) { return std::nullopt; });
        QVERIFY(fstat(fd, &now) != 0 || now.st_ino != own.st_ino);  // the number may be reused
        for (QLabel* label : window.findChildren<QLabel*>(QRegularExpression("^lbl")))
            QCOMPARE(label->text(), QStringLiteral("#"));
        QCOMPARE(Ticked(&window), QString());
    }

    void viewButtonOnNonArchiveWarnsAndReturns() {
        test::TempFolder dir;
        bool stillOpen = false;
        QStringList boxes;
        ShowInfo(dir.Write("plain.txt", "no archive"), [&](QWidget* w) {
            ModalRecorder inner;
            QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("btnView")),
                              Qt::LeftButton);
            stillOpen = w->isVisible();
            boxes = inner.seen;
        });
        QCOMPARE(boxes, QStringList{kNonArchiveWarning});
        QVERIFY(stillOpen);
    }

    // The program's side, through the library: a regular file opens the
    // window, a folder only beeps.
    void programOpensInfoForRegularFilesOnly() {
        test::TempFolder dir;
        ModalRecorder recorder;
        ui::ShowFileInformation(dir.Write("a.zip", "x"));
        ui::ShowFileInformation(dir.MakeDir("folder.zip"));
        QCOMPARE(recorder.seen, QStringList{"Lumora - Datei Informationen"});
    }
};

QTEST_MAIN(LmtoolsTest)
#include "lmtools_test.moc"
