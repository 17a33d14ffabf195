# cmake -DBUILD_DIR=... -DPREFIX=... -P InstallCheck.cmake
# Installs the build into an empty prefix and checks what a desktop needs.
find_program(VALIDATE desktop-file-validate)
if(NOT VALIDATE)
    message(FATAL_ERROR "desktop-file-validate not found (package desktop-file-utils)")
endif()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}${err}")
endif()

include(GNUInstallDirs)
set(entry "${PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/ledgerly.desktop")
set(icon "${PREFIX}/${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps/ledgerly.svg")
set(program "${PREFIX}/${CMAKE_INSTALL_BINDIR}/ledgerly")
foreach(f IN ITEMS "${entry}" "${icon}" "${program}")
    if(NOT EXISTS "${f}")
        message(FATAL_ERROR "not installed: ${f}")
    endif()
endforeach()

execute_process(COMMAND "${VALIDATE}" "${entry}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate (${rc}):\n${out}${err}")
endif()

# The entry starts the installed program by name and shows the installed icon.
file(STRINGS "${entry}" lines)
foreach(want IN ITEMS "Exec=ledgerly" "Icon=ledgerly" "Name=Ledgerly")
    list(FIND lines "${want}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${entry} lacks ${want}")
    endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
