list(APPEND LEDGERLY_CORE_SOURCES
    platform/Clock.cpp
    platform/DataFolder.cpp
    platform/FileSystem.cpp
    platform/Twips.cpp
    platform/PainterPrintTarget.cpp
    platform/PdfPrintTarget.cpp
)
list(APPEND LEDGERLY_UI_SOURCES
    platform/Dialogs.cpp
    platform/PrinterPrintTarget.cpp
    platform/PrintJob.cpp
)
