// Runs the window tests of Scan II and the pictures on the offscreen platform.
#include <QApplication>

int RunScan2DialogsTest(int argc, char** argv);
int RunPicturesTest(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = RunScan2DialogsTest(argc, argv);
    failed += RunPicturesTest(argc, argv);
    return failed;
}
