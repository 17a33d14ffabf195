list(APPEND LEDGERLY_CORE_SOURCES
    platform/Clock.cpp
    platform/DataFolder.cpp
    platform/FileSystem.cpp
    platform/Twips.cpp
)
list(APPEND LEDGERLY_UI_SOURCES
    platform/Dialogs.cpp
)
