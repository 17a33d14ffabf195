list(APPEND LEDGERLY_CORE_SOURCES
    appointments/PageText.cpp
    appointments/DayLayout.cpp
    appointments/CalendarMath.cpp
)
list(APPEND LEDGERLY_UI_SOURCES
    appointments/DayGrid.cpp
    appointments/ApptWindow.cpp
)
