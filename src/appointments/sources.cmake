list(APPEND LEDGERLY_CORE_SOURCES
    appointments/DaySheet.cpp
    appointments/DayListPrint.cpp
    appointments/DaySheetReader.cpp
    appointments/AppointmentSearch.cpp
    appointments/FindCommand.cpp
    appointments/CalendarExport.cpp
    appointments/CalendarFolder.cpp
    appointments/ExportIcsCommand.cpp
    appointments/ShownDay.cpp
)
list(APPEND LEDGERLY_UI_SOURCES
    appointments/DayCellDelegate.cpp
    appointments/DayGrid.cpp
    appointments/DayGridHeader.cpp
    appointments/ApptWindow.cpp
    appointments/ApptWindowLayout.cpp
    appointments/MonthCalendar.cpp
    appointments/MemoPads.cpp
    appointments/CellEditor.cpp
    appointments/DayEditHistory.cpp
    appointments/DayStatusBar.cpp
    appointments/HelpLine.cpp
    appointments/DayListPrinting.cpp
    appointments/PrintDayCommand.cpp
    appointments/FindPanel.cpp
)
