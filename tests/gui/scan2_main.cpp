// Runs the window tests of Scan II and the pictures on the offscreen platform,
// with Qt's own texts in German as the program shows them.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int RunScan2DialogsTest(int argc, char** argv);
int RunPicturesTest(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_de"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    int failed = RunScan2DialogsTest(argc, argv);
    failed += RunPicturesTest(argc, argv);
    return failed;
}
