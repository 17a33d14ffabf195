list(APPEND LEDGERLY_CORE_SOURCES
    maintenance/BackupRestore.cpp
    maintenance/AutomaticBackups.cpp
    maintenance/AutomaticBackupRecord.cpp
    maintenance/AutomaticBackupRunner.cpp
    maintenance/MaintenanceCommands.cpp
)
list(APPEND LEDGERLY_UI_SOURCES
    maintenance/AutomaticBackupPage.cpp
    maintenance/CalendarFilesPage.cpp
    maintenance/BackupWindow.cpp
)
