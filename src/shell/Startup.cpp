#include "shell/Startup.h"

#include "Version.h"
#include "appointments/ExportIcsCommand.h"
#include "appointments/FindCommand.h"
#include "appointments/HistoryCommand.h"
#include "appointments/PrintDayCommand.h"
#include "maintenance/AutomaticBackupRunner.h"
#include "maintenance/BackupWindow.h"
#include "maintenance/MaintenanceCommands.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "shell/WindowCatalog.h"
#include "shell/Windows.h"
#include "store/Database.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>

static void initResources()
{
    // The resources live in a static library: register them by hand.
    Q_INIT_RESOURCE(resources);
}

// Options and commands that never open a window must work without a display
// (from a terminal, a scheduled job or a build script).
static bool runsWithoutWindows(int argc, char** argv)
{
    static const char* const headless[] = {"-h", "--help", "--help-all", "-v", "--version", "print-day", "find",
        "history", "backup", "restore", "export-ics"};
    for (int i = 1; i < argc; ++i) {
        for (const char* h : headless) {
            if (qstrcmp(argv[i], h) == 0)
                return true;
        }
    }
    return false;
}

Result openDatabaseShowingProgress(Database& db, const QString& address)
{
    Dialogs::Progress progress(
        QStringLiteral("Preparing the appointment book for finding\u2026"), QStringLiteral("days"));
    return db.open(address, true, [&](qint64 done, qint64 total) { progress.advance(done, total); });
}

int runLedgerly(int argc, char** argv)
{
    if (runsWithoutWindows(argc, argv) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initResources();
    QApplication::setApplicationName(QStringLiteral(LEDGERLY_TITLE));
    QApplication::setOrganizationName(QStringLiteral(LEDGERLY_TITLE));
    QApplication::setApplicationVersion(QStringLiteral(LEDGERLY_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("ledgerly"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/ledgerly.svg")));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Ledgerly, a keyboard-first appointment book for a small practice."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption dataDir(QStringLiteral("data-dir"),
        QStringLiteral("The folder that holds db.mdb. Without it: the program's own folder if it holds a db.mdb "
                       "(a portable copy), else %1.")
            .arg(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)),
        QStringLiteral("DIR"));
    parser.addOption(dataDir);
    QCommandLineOption database(QStringLiteral("database"),
        QStringLiteral("Run on a PostgreSQL database, postgresql://USER@HOST[:PORT]/DBNAME, instead of db.mdb "
                       "(also read from LEDGERLY_DATABASE). The password comes from ~/.pgpass or PGPASSWORD."),
        QStringLiteral("ADDRESS"));
    parser.addOption(database);
    const QCommandLineOption pdfFile = PrintDayCommand::pdfOption();
    parser.addOption(pdfFile);
    parser.addOptions(ExportIcsCommand::options());
    parser.addPositionalArgument(QStringLiteral("command"),
        QStringLiteral("print-day [YYYY-MM-DD]: print a day's appointment lists (default today) and quit.\n"
                       "find TEXT: list every appointment whose text holds TEXT, upcoming first, and quit.\n"
                       "history DATE: list every stored change of the day YYYY-MM-DD, newest first, and quit.\n"
                       "backup FOLDER: copy the database into FOLDER/db.mdb and quit.\n"
                       "restore FOLDER: replace the database by FOLDER/db.mdb (the replaced one is kept as "
                       "db-before-restore.mdb) and quit.\n"
                       "export-ics: write the booked slots as an iCalendar file for calendar programs and quit."),
        QStringLiteral("[print-day [DATE] | find TEXT | history DATE | backup FOLDER | restore FOLDER | export-ics]"));
    parser.process(app);

    if (parser.isSet(dataDir)) {
        const QString folder = parser.value(dataDir);
        if (!QDir().mkpath(folder)) {
            std::fprintf(stderr, "ledgerly: cannot use the data folder %s\n", qPrintable(folder));
            return 2;
        }
        DataFolder::setPath(folder);
    }

    const QString address = parser.isSet(database) ? parser.value(database) : qEnvironmentVariable("LEDGERLY_DATABASE");
    if (!address.isEmpty()) {
        if (!Database::isServerAddress(address)) {
            std::fprintf(stderr, "ledgerly: the database address must start with postgresql://\n");
            return 2;
        }
        DataFolder::setDatabaseAddress(address);
    }

    const QStringList command = parser.positionalArguments();
    if (!command.isEmpty() && command.first() == QLatin1String(PrintDayCommand::Name))
        return PrintDayCommand::run(command.mid(1), parser.value(pdfFile));
    if (!command.isEmpty() && command.first() == QLatin1String(FindCommand::Name))
        return FindCommand::run(command.mid(1));
    if (!command.isEmpty() && command.first() == QLatin1String(HistoryCommand::Name))
        return HistoryCommand::run(command.mid(1));
    if (!command.isEmpty() && command.first() == QLatin1String(MaintenanceCommands::BackupName))
        return MaintenanceCommands::backup(command.mid(1));
    if (!command.isEmpty() && command.first() == QLatin1String(MaintenanceCommands::RestoreName))
        return MaintenanceCommands::restore(command.mid(1));
    if (!command.isEmpty() && command.first() == QLatin1String(ExportIcsCommand::Name))
        return ExportIcsCommand::run(command.mid(1), parser);
    if (!command.isEmpty()) {
        // A mistyped command must not open the windows as if none were given.
        std::fprintf(stderr, "ledgerly: unknown command %s (see ledgerly --help)\n", qPrintable(command.first()));
        return 2;
    }

    // What a back-up or restore killed half-way left in the data folder.
    if (!Database::isServerAddress(DataFolder::databaseAddress()))
        FileSystem::removeAbandonedTemporaries(DataFolder::path());

    Database db;
    const Result opened = openDatabaseShowingProgress(db, DataFolder::databaseAddress());
    if (!opened.ok()) {
        // A file that does not open can still be replaced by a back-up.
        QString message = opened.message;
        if (!Database::isServerAddress(DataFolder::databaseAddress()) && QFileInfo::exists(DataFolder::databasePath()))
            message += QStringLiteral(".\n\nTo put a back-up in its place, run: ledgerly restore FOLDER "
                                      "(the folder that holds the back-up's db.mdb).");
        Dialogs::message(nullptr, message, Dialogs::Ok, Dialogs::Ok, Dialogs::Icon::Critical);
        return 1;
    }
    // The day's automatic back-up goes on in the background from the start;
    // a failed one is told of first, once.
    BackupWindow::reportFailedAutomaticBackup(nullptr);
    AutomaticBackupRunner automaticBackup(DataFolder::databaseAddress());
    registerProgramWindows(db);
    // The program lasts while one of its windows is shown; the main menu,
    // loaded hidden behind the splash, does not count until it is shown.
    QApplication::setQuitOnLastWindowClosed(true);
    // For the start-up benchmark: straight to today's page, and out as soon
    // as it is shown and nothing is left to do (exit, unlike quit, does not
    // close the window, so no save on leaving is timed).
    const bool exitWhenIdle = qEnvironmentVariableIsSet("LEDGERLY_BENCH_EXIT_WHEN_IDLE");
    if (!Windows::open(exitWhenIdle ? Window::Appointments : Window::Splash))
        return 1;
    // The start-up benchmark times the window, not the day's back-up.
    if (!exitWhenIdle)
        automaticBackup.start();
    if (exitWhenIdle) {
        QTimer::singleShot(0, &app, [] {
            QObject::connect(
                QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, qApp,
                [] { QCoreApplication::exit(0); }, Qt::SingleShotConnection);
        });
    }
    // Draw the splash before anything else happens.
    QCoreApplication::processEvents();
    const int rc = QApplication::exec();

    // Whatever is still loaded (hidden) goes before the database does.
    Windows::discardAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (!exitWhenIdle) {
        // The day's back-up, when none was made since the start, or the one
        // still under way: the program waits for it.
        Dialogs::Progress progress(QStringLiteral("Making the day's back-up\u2026"), QString());
        automaticBackup.finish([&] { progress.advance(0, 0); });
    }
    return rc;
}
