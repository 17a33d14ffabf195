list(APPEND LEDGERLY_CORE_SOURCES
    store/Settings.cpp
)
