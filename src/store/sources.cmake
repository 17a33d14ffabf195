list(APPEND LEDGERLY_CORE_SOURCES
    store/RetryPolicy.cpp
    store/SqlDialect.cpp
    store/DefaultDocuments.cpp
    store/Database.cpp
    store/DatabaseCheck.cpp
    store/DatabaseSchema.cpp
    store/SchemaMigration.cpp
    store/WriteTransaction.cpp
    store/ServerConnection.cpp
    store/ServerWatchdog.cpp
    store/DatabaseFileCopy.cpp
    store/DatabaseRecords.cpp
    store/DayStore.cpp
    store/DaySearchIndex.cpp
    store/SettingsStore.cpp
    store/OrderStore.cpp
)
