// The yardstick for the start-up benchmark: the least a Qt Widgets program
// does to show one window, ended the moment it is shown and idle. By default
// the window shows a line of text, as Qt's own hello-world does: the first
// text of any program sets up the font system, which a blank window (with
// --blank) never does.

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QLabel>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bool blank = QCoreApplication::arguments().contains(QStringLiteral("--blank"));
    QLabel window(blank ? QString() : QStringLiteral("Hello, world"));
    window.setWindowTitle(QStringLiteral("Minimal"));
    window.resize(800, 600);
    window.show();
    QTimer::singleShot(0, &app, [] {
        QObject::connect(
            QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, qApp,
            [] { QCoreApplication::exit(0); }, Qt::SingleShotConnection);
    });
    return QApplication::exec();
}
