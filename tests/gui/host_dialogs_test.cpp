// The engine's boxes as QMessageBoxes, texts and file types converted.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "gui/gui_tests.h"
#include "scan/ui/host_dialogs.h"

namespace lumora::test {

class HostDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void textsAndFileTypes() {
        QCOMPARE(ui::BoxText("eins\r\rzwei\r\ndrei \xe4"),
                 QString::fromUtf8("eins\n\nzwei\ndrei \xc3\xa4"));
        QCOMPARE(ui::QtNameFilter(kListFileTypes),
                 QStringLiteral("Text-Dateien (*.txt);;Daten-Dateien (*.dat);;Datei-Listen "
                                "(*.lst);;Files.BBS-Dateien (*.bbs);;Alle Dateien (*.*)"));
        QCOMPARE(ui::QtNameFilter("Archive|*.ZIP;*.ARJ"), QStringLiteral("Archive (*.ZIP *.ARJ)"));
    }

    void messageBox_data() {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("defaultText");
        QTest::addColumn<int>("answer");
        QTest::newRow("ok") << int(MsgButtons::Ok) << int(QMessageBox::Information)
                            << QStringLiteral("OK") << int(MsgAnswer::Ok);
        QTest::newRow("yes/no") << int(MsgButtons::YesNo) << int(QMessageBox::Question)
                                << QStringLiteral("&Ja") << int(MsgAnswer::Yes);
        QTest::newRow("no preselected")
            << int(MsgButtons::YesNoDefaultNo) << int(QMessageBox::Question)
            << QStringLiteral("&Nein") << int(MsgAnswer::No);
    }

    // The default button is pressed with Return; its answer comes back.
    void messageBox() {
        QFETCH(int, buttons);
        QFETCH(int, icon);
        QFETCH(QString, defaultText);
        QFETCH(int, answer);
        QString seenTitle, seenText, seenDefault;
        int seenIcon = -1;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            seenTitle = box->windowTitle();
            seenText = box->text();
            seenIcon = box->icon();
            seenDefault = box->defaultButton()->text();
            box->defaultButton()->click();
        });
        const MsgIcon engineIcon =
            icon == QMessageBox::Information ? MsgIcon::Information : MsgIcon::Question;
        const MsgAnswer got = ui::ShowMessageBox(nullptr, "Protokoll", "Zeile 1\rZeile 2",
                                                 engineIcon, static_cast<MsgButtons>(buttons));
        QCOMPARE(seenTitle, QStringLiteral("Protokoll"));
        QCOMPARE(seenText, QStringLiteral("Zeile 1\nZeile 2"));
        QCOMPARE(seenIcon, icon);
        QCOMPARE(seenDefault, defaultText);
        QCOMPARE(int(got), answer);
    }
};

std::unique_ptr<QObject> MakeHostDialogsTest() {
    return std::make_unique<HostDialogsTest>();
}

}  // namespace lumora::test

#include "host_dialogs_test.moc"
