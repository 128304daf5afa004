#include "ui/main/form1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QImageReader>
#include <QTimer>

#include <cstdio>

namespace {

// Without Qt's SVG image plugin the icon would be blank: then the PNG.
QIcon applicationIcon()
{
    if (QImageReader::supportedImageFormats().contains("svg"))
        return QIcon(QStringLiteral(":/tabulon/tabulon.svg"));
    return QIcon(QStringLiteral(":/tabulon/tabulon-256.png"));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("tabulon"));

    // For the documentation: save a picture of the main window once it has
    // been shown, then end.
    QCommandLineParser parser;
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("Save a picture of the main window and quit."),
                                  QStringLiteral("file"));
    parser.addOption(screenshot);
    parser.addHelpOption();
    parser.process(app);

    tabulon::Form1 window;
    window.show();

    if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        QTimer::singleShot(800, &window, [&window, file] {
            if (!window.grab().save(file)) {
                std::fprintf(stderr, "tabulon: could not save the picture to %s\n", qPrintable(file));
                QCoreApplication::exit(1);
                return;
            }
            QCoreApplication::exit(0);
        });
    }
    return app.exec();
}
