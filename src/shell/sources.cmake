list(APPEND LEDGERLY_UI_SOURCES
    shell/Windows.cpp
    shell/WindowCatalog.cpp
    shell/SplashWindow.cpp
    shell/MenuWindow.cpp
    shell/ReadmeWindow.cpp
    shell/Startup.cpp
)
