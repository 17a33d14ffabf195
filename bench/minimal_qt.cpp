// The yardstick for the start-up benchmark: the least a Qt Widgets program
// does to show one window, ended the moment it is shown and idle.

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal"));
    window.resize(800, 600);
    window.show();
    QTimer::singleShot(0, &app, [] {
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, qApp,
            &QCoreApplication::quit, Qt::SingleShotConnection);
    });
    return QApplication::exec();
}
