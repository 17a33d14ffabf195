list(APPEND LEDGERLY_CORE_SOURCES
    setup/SettingsRules.cpp
)
list(APPEND LEDGERLY_UI_SOURCES
    setup/SetupWindow.cpp
)
