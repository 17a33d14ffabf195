list(APPEND LEDGERLY_UI_SOURCES
    ui/AltKeys.cpp
    ui/KeyNavigator.cpp
)
