list(APPEND LEDGERLY_CORE_SOURCES
    store/RetryPolicy.cpp
    store/SqlDialect.cpp
    store/DefaultDocuments.cpp
    store/Database.cpp
    store/DatabaseSchema.cpp
    store/ServerWatchdog.cpp
    store/DayStore.cpp
    store/SettingsStore.cpp
    store/OrderStore.cpp
)
