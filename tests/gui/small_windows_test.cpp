// The small windows: tip of the day, support, about box, splash and help.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <set>

#include "settings/settings_store.h"
#include "settings/tips.h"
#include "settings/ui/help_window.h"
#include "settings/ui/info.h"
#include "settings/ui/small_windows.h"
#include "settings/ui/splash.h"
#include "settings/ui/support.h"
#include "settings/ui/tip_of_the_day.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

// Closes every modal message box that comes up while it lives and records
// its caption and text.
class BoxAnswerer {
public:
    BoxAnswerer() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                boxes.push_back({box->windowTitle(), box->text(), box->icon()});
                box->done(QMessageBox::Ok);
            } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                others.push_back(dialog->windowTitle());
                dialog->reject();
            }
        });
        timer_.start();
    }
    struct Box {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };
    std::vector<Box> boxes;
    QStringList others;

private:
    QTimer timer_;
};

void SaveScreenshot(QWidget& window, const char* name) {
    QDir().mkpath(QStringLiteral(LUMORA_SCREENSHOT_DIR));
    QVERIFY(window.grab().save(QStringLiteral(LUMORA_SCREENSHOT_DIR) + name));
}

// A program folder and a settings store of its own per test.
struct Folders {
    test::TempFolder dir;
    SettingsLocation where;
    Configuration config;
    Folders() {
        where.programDir = dir.MakeDir("prog");
        where.storePath = dir.path() + "config/Lumora.reg";
    }
    void WriteTips(const std::string& bytes) const { dir.Write("prog/tips.dat", bytes); }
    bool StoredTip() const {
        Configuration loaded;
        loaded.settings.Tip = !config.settings.Tip;  // a value the load must overwrite
        LoadSettings(loaded, where);
        return loaded.settings.Tip;
    }
};

}  // namespace

class SmallWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void tipOffShowsNoTipWindow() {
        Folders f;
        f.WriteTips("Ein Tip\r\n");
        f.config.settings.Tip = false;
        BoxAnswerer answerer;
        QVERIFY(!ShowTipAtStart(nullptr, f.config, f.where));
        QVERIFY(answerer.others.isEmpty());

        f.config.settings.Tip = true;
        QVERIFY(ShowTipAtStart(nullptr, f.config, f.where));
        QCOMPARE(answerer.others, QStringList{QStringLiteral("Tip des Tages")});
    }

    void tipTextFromFile_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const QString none = QString::fromUtf8(kNoTipsText);
        QTest::newRow("one line") << true << QByteArray("Nur dieser Tip\r\n") << "Nur dieser Tip";
        QTest::newRow("one line between blanks")
            << true << QByteArray("\r\n  \r\nEinzig f\xFCr Sie\r\n\r\n")
            << QString::fromUtf8("Einzig für Sie");
        QTest::newRow("missing") << false << QByteArray() << none;
        QTest::newRow("empty") << true << QByteArray() << none;
        QTest::newRow("blank lines only") << true << QByteArray("\r\n \r\n") << none;
    }
    void tipTextFromFile() {
        QFETCH(bool, present);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        Folders f;
        if (present) f.WriteTips(bytes.toStdString());
        for (int i = 0; i < 10; ++i) {
            TfrmTipOfTheDay tip(nullptr, f.config, f.where);
            QCOMPARE(tip.TipText(), expected);
        }
    }

    void tipIsChosenAmongAllLines() {
        Folders f;
        f.WriteTips("eins\r\nzwei\r\ndrei\r\n");
        std::set<QString> seen;
        for (int i = 0; i < 60 && seen.size() < 3; ++i) {
            TfrmTipOfTheDay tip(nullptr, f.config, f.where);
            seen.insert(tip.TipText());
        }
        QCOMPARE(seen.size(), std::size_t{3});
    }

    void checkBoxSavesTipAtEachClick() {
        Folders f;
        TfrmTipOfTheDay tip(nullptr, f.config, f.where);
        QCheckBox* box = tip.DontShowBox();
        QCOMPARE(box->text(), QStringLiteral("Dieses Fenster nicht mehr zeigen"));
        QVERIFY(!box->isChecked());
        QVERIFY(!QFileInfo::exists(QString::fromStdString(f.where.storePath)));

        box->click();
        QVERIFY(!f.config.settings.Tip);
        QVERIFY(!f.StoredTip());
        QVERIFY(!NeedsFirstRunSetup(f.where));  // a save marks the setup as done
        box->click();
        QVERIFY(f.config.settings.Tip);
        QVERIFY(f.StoredTip());

        f.config.settings.Tip = false;
        TfrmTipOfTheDay again(nullptr, f.config, f.where);
        QVERIFY(again.DontShowBox()->isChecked());
        QVERIFY(again.NextButton()->isDefault());
    }

    void checkBoxSaveFailureReported() {
        Folders f;
        f.dir.Write("blocker", "a file where the store's folder would be");
        f.where.storePath = f.dir.path() + "blocker/Lumora.reg";
        TfrmTipOfTheDay tip(nullptr, f.config, f.where);
        BoxAnswerer answerer;
        tip.DontShowBox()->click();
        QCOMPARE(answerer.boxes.size(), std::size_t{1});
        QCOMPARE(answerer.boxes[0].title, QStringLiteral("Fehler"));
        QCOMPARE(answerer.boxes[0].text, QString::fromUtf8(kSaveErrorText));
        QCOMPARE(answerer.boxes[0].icon, QMessageBox::Critical);
        QVERIFY(!f.config.settings.Tip);  // the user's choice stays in memory
    }

    void supportLinksOpenTheirTargets_data() {
        QTest::addColumn<bool>("mail");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("url");
        for (const bool opens : {true, false}) {
            const char* tag = opens ? "opens" : "fails";
            QTest::newRow(QByteArray("web ").append(tag).constData())
                << false << opens << QStringLiteral("https://lumora.example.org");
            QTest::newRow(QByteArray("mail ").append(tag).constData())
                << true << opens << QStringLiteral("mailto:lumora@example.org");
        }
    }
    void supportLinksOpenTheirTargets() {
        QFETCH(bool, mail);
        QFETCH(bool, opens);
        QFETCH(QString, url);
        QStringList asked;
        TfrmSupport support(nullptr, [&](const QUrl& u) {
            asked << u.toString();
            return opens;
        });
        QLabel* link = mail ? support.MailLink() : support.WebLink();
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(link->text().contains(QStringLiteral("color:#0000ff")));
        QVERIFY(link->text().contains(QStringLiteral("underline")));

        BoxAnswerer answerer;
        emit link->linkActivated(url);
        QCOMPARE(asked, QStringList{url});
        QCOMPARE(answerer.boxes.size(), std::size_t{opens ? 0u : 1u});
        if (!opens) {
            QCOMPARE(answerer.boxes[0].title, QStringLiteral("Warnung"));
            QCOMPARE(answerer.boxes[0].text, QString::fromUtf8(kCannotOpenLinkText));
            QCOMPARE(answerer.boxes[0].icon, QMessageBox::Warning);
        }
        QVERIFY(!QApplication::overrideCursor());  // the normal cursor is back
    }

    void aboutBoxShowsVersion() {
        TfrmInfo info;
        QCOMPARE(info.windowTitle(), QStringLiteral("Info..."));
        info.VersionLabel()->setText(QStringLiteral("alt"));
        info.show();
        QCOMPARE(info.VersionLabel()->text(), QStringLiteral("1.61"));
        info.close();
    }

    void splashIsRoundAndGoesAfterItsTimer() {
        TfrmSplash splash;
        QCOMPARE(splash.size(), QSize(250, 250));
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
        const QRegion shape = TfrmSplash::Shape();
        QVERIFY(shape.contains(QPoint(125, 125)));
        QVERIFY(shape.contains(QPoint(2, 125)));
        QVERIFY(!shape.contains(QPoint(0, 125)));
        QVERIFY(!shape.contains(QPoint(5, 5)));
        QVERIFY(!shape.contains(QPoint(245, 245)));
        QVERIFY(QRect(1, 1, 249, 249).contains(shape.boundingRect()));
        QVERIFY(shape.boundingRect().width() >= 248);

        splash.show();
        int gone = 0;
        splash.StartTimer(
            [&] {
                QVERIFY(!splash.isVisible());  // hidden before the follow-up runs
                ++gone;
            },
            20);
        QTRY_COMPARE(gone, 1);
    }

    void helpWindowShowsTheShippedHelp() {
        QWidget owner;
        auto* help = qobject_cast<THelpWindow*>(
            ShowHelp(&owner, QStringLiteral(LUMORA_BIN_DIR), QStringLiteral("scan2")));
        QVERIFY(help);
        QVERIFY(!help->PagePath().isEmpty());
        const QString text = help->Browser()->toPlainText();
        for (const char* topic : {"Scan I", "Scan II", "Einstellungen", "Filter", "lumora-cli"}) {
            QVERIFY2(text.contains(QString::fromUtf8(topic)), topic);
        }
        QCOMPARE(help->Browser()->source().fragment(), QStringLiteral("scan2"));
        QCOMPARE(ShowHelp(&owner, QStringLiteral(LUMORA_BIN_DIR)), help);  // reused
        QVERIFY(help->Browser()->source().fragment().isEmpty());
        QVERIFY(help->Browser()->document()->toHtml().contains(QStringLiteral("name=\"scan2\"")));
    }

    void helpLinksReachTheirSections() {
        QFile page(QStringLiteral(LUMORA_BIN_DIR) + QString::fromLatin1(kHelpPage));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(page.readAll());
        QSet<QString> anchors;
        for (const auto& m :
             QRegularExpression(QStringLiteral("name=\"([^\"]+)\"")).globalMatch(html)) {
            anchors.insert(m.captured(1));
        }
        int links = 0;
        for (const auto& m :
             QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(html)) {
            QVERIFY2(anchors.contains(m.captured(1)), qPrintable(m.captured(1)));
            ++links;
        }
        QVERIFY(links >= 10);
    }

    void helpWindowWithoutHelpFile() {
        test::TempFolder empty;
        THelpWindow help(nullptr, QString::fromStdString(empty.path()));
        help.ShowTopic({});
        QVERIFY(help.PagePath().isEmpty());
        QVERIFY(help.Browser()->toPlainText().contains(QStringLiteral("Hilfe nicht gefunden")));
    }

    void screenshots() {
        Folders f;
        f.WriteTips(
            "Mit Scan II erstellen Sie eine Liste aus den Beschreibungsdateien eines Ordners.\r\n");
        TfrmTipOfTheDay tip(nullptr, f.config, f.where);
        tip.show();
        SaveScreenshot(tip, "tip.png");
        TfrmSupport support;
        support.show();
        SaveScreenshot(support, "support.png");
        TfrmInfo info;
        info.show();
        SaveScreenshot(info, "about.png");
        TfrmSplash splash;
        splash.show();
        SaveScreenshot(splash, "splash.png");
        THelpWindow help(nullptr, QStringLiteral(LUMORA_BIN_DIR));
        help.ShowTopic({});
        help.show();
        SaveScreenshot(help, "help.png");
    }
};

}  // namespace lumora

QTEST_MAIN(lumora::SmallWindowsTest)
#include "small_windows_test.moc"
