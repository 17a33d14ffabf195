# files of this folder: append to LEDGERLY_CORE_SOURCES / LEDGERLY_UI_SOURCES
