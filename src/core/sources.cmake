list(APPEND LEDGERLY_CORE_SOURCES
    core/Settings.cpp
    core/PageText.cpp
    core/TextFolding.cpp
    core/DayMerge.cpp
    core/DayLayout.cpp
    core/DayPlacement.cpp
    core/CalendarMath.cpp
)
