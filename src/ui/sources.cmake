list(APPEND LEDGERLY_UI_SOURCES
    ui/KeyNavigator.cpp
)
