// The start-up order: colour notice, welcome and settings dialog before the
// splash timer; the tip and the enabled window after it.
#include <QtTest>

#include "gui/gui_tests.h"
#include "scan/app_session.h"
#include "scan/ui/dizmain.h"
#include "scan/ui/startup.h"

namespace lumora::test {

class StartUpTest : public QObject {
    Q_OBJECT

private slots:
    void order_data() {
        QTest::addColumn<bool>("firstRun");
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("tip");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first run, few colours, tip")
            << true << 8 << true
            << QStringLiteral("box:Hinweis box:Willkommen settings timer | tip enabled");
        QTest::newRow("first run, no tip")
            << true << 24 << false << QStringLiteral("box:Willkommen settings timer | enabled");
        QTest::newRow("configured") << false << 32 << true << QStringLiteral("timer | tip enabled");
    }

    void order() {
        QFETCH(bool, firstRun);
        QFETCH(int, depth);
        QFETCH(bool, tip);
        QFETCH(QString, expected);
        SessionOptions options;
        options.executablePath = LUMORA_BIN_DIR "/lumora";
        AppSession session = StartSession(options);
        session.config.settings.Tip = tip;
        ui::TfrmDizMain window(session);
        QStringList seen;
        window.messageBox = [&](const std::string& caption, const std::string&, MsgIcon,
                                MsgButtons) {
            seen << "box:" + QString::fromStdString(caption);
            return MsgAnswer::Ok;
        };
        window.windows.showSettings = [&] { seen << "settings"; };
        window.windows.showTip = [&] {
            seen << "tip";
            QVERIFY(!window.isEnabled());
        };
        std::function<void()> fire;
        ui::StartUpSteps steps;
        steps.needsFirstRunSetup = [&] { return firstRun; };
        steps.colourDepth = [&] { return depth; };
        steps.startSplashTimer = [&](std::function<void()> fired) {
            seen << "timer";
            fire = std::move(fired);
        };
        ui::StartMainWindow(window, session, steps);
        QVERIFY(!window.isEnabled());
        seen << "|";
        QVERIFY(fire);
        fire();
        if (window.isEnabled()) seen << "enabled";
        QCOMPARE(seen.join(' '), expected);
    }
};

std::unique_ptr<QObject> MakeStartUpTest() {
    return std::make_unique<StartUpTest>();
}

}  // namespace lumora::test

#include "startup_test.moc"
