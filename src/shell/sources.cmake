list(APPEND LEDGERLY_UI_SOURCES
    shell/Windows.cpp
    shell/WindowCatalog.cpp
    shell/Startup.cpp
)
