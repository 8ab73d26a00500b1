# SPDX-License-Identifier: GPL-3.0-or-later
# The program for Windows: its folder as it runs (quilloro.exe, IMG beside
# it, the Qt and C++ runtime libraries it loads and no others), packed as an
# installer (cpack -G NSIS) and as a zip (cpack -G ZIP).

install(TARGETS quilloro quilloro-registra RUNTIME DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/media/IMG/ DESTINATION IMG
        FILES_MATCHING PATTERN "*.wav" PATTERN "*.jpg")
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES copyright DESTINATION . RENAME copyright.txt)

# Liberation Sans, Arial's widths under the SIL Open Font License, for the
# window's label where Windows has no Arial (the program loads it only then).
find_path(QUILLORO_LIBERATION_DIR LiberationSans-Bold.ttf
          PATHS /usr/share/fonts/truetype/liberation2 /usr/share/fonts/truetype/liberation NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
install(FILES ${QUILLORO_LIBERATION_DIR}/LiberationSans-Regular.ttf ${QUILLORO_LIBERATION_DIR}/LiberationSans-Bold.ttf
        DESTINATION fonts)
foreach(doc IN ITEMS /usr/share/doc/fonts-liberation2/copyright /usr/share/doc/fonts-liberation/copyright)
    if(EXISTS ${doc})
        install(FILES ${doc} DESTINATION fonts RENAME LICENSE.txt)
        break()
    endif()
endforeach()

# Qt's libraries, and the plugins Qt loads from beside the executable: the
# Windows platform, JPEG pictures, and the native look of the message boxes.
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QJpegPlugin> DESTINATION imageformats)
if(TARGET Qt6::QWindowsVistaStylePlugin)
    install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
endif()

# Qt's own texts in Italian (its buttons and the file dialog), where the
# programs look for them: the translations folder beside them.
find_file(QUILLORO_QTBASE_IT qtbase_it.qm PATHS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS}
          PATH_SUFFIXES translations NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
install(FILES ${QUILLORO_QTBASE_IT} DESTINATION translations)

# The compiler's C++ runtime, as the compiler itself names it.
set(QUILLORO_RUNTIME_DLLS)
foreach(dll IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        find_file(QUILLORO_${dll} ${dll} PATH_SUFFIXES bin lib REQUIRED)
        set(path ${QUILLORO_${dll}})
    endif()
    # Shipped without their symbols (libstdc++ alone would be 24 MB).
    set(stripped ${CMAKE_CURRENT_BINARY_DIR}/runtime/${dll})
    add_custom_command(OUTPUT ${stripped}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/runtime
                       COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${stripped} ${path}
                       DEPENDS ${path} VERBATIM)
    list(APPEND QUILLORO_RUNTIME_DLLS ${stripped})
endforeach()
add_custom_target(quilloro_runtime_dlls ALL DEPENDS ${QUILLORO_RUNTIME_DLLS})
install(FILES ${QUILLORO_RUNTIME_DLLS} DESTINATION .)

set(CPACK_GENERATOR NSIS ZIP)
# The values as written here, quotes and backslashes included, whole into
# the installer's script (else CPack splits CPACK_NSIS_DEFINES' texts at their
# quotes, and the pages show them as words between semicolons).
set(CPACK_VERBATIM_VARIABLES YES)
set(CPACK_PACKAGE_NAME Quilloro)
set(CPACK_PACKAGE_VENDOR "Quilloro developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Digits and letters for young Italian-speaking children")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/quilloro/quilloro")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quilloro)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quilloro)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# quilloro-VERSION-win64-setup.exe, and quilloro-VERSION-win64.zip, which
# holds the folder itself, so it unpacks to a folder that runs as it is.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/windows-cpack.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE} [=[
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
else()
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
]=])
set(CPACK_PACKAGE_FILE_NAME quilloro-${PROJECT_VERSION}-win64)

# A 64-bit installer, into the 64-bit program folder, with an entry in the
# Start menu and in the system's list of programs, and an uninstaller that
# removes every file it installed.
# The family's own voices and pictures live in the user's profile, which the
# uninstaller leaves alone; both say so.
set(CPACK_NSIS_DEFINES "Target amd64-unicode
!define MUI_FINISHPAGE_TEXT \"Le vostre voci e figure andranno nella cartella %LOCALAPPDATA%\\quilloro\\IMG: nessuna installazione o disinstallazione la tocca.\"
!define MUI_UNCONFIRMPAGE_TEXT_TOP \"Vengono tolti i programmi di Quilloro. Le vostre voci e figure, in %LOCALAPPDATA%\\quilloro\\IMG, restano dove sono.\"")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME Quilloro)
set(CPACK_NSIS_DISPLAY_NAME Quilloro)
# Start menu entries: the child's program, and the recorder for grown-ups
# (a colon cannot be in a shortcut's file name).
set(CPACK_PACKAGE_EXECUTABLES quilloro Quilloro quilloro-registra "Quilloro - voci e figure")
set(CPACK_NSIS_INSTALLED_ICON_NAME quilloro.exe)
set(CPACK_NSIS_MUI_ICON ${CMAKE_BINARY_DIR}/quilloro.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_BINARY_DIR}/quilloro.ico)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_URL_INFO_ABOUT ${CPACK_PACKAGE_HOMEPAGE_URL})
include(CPack)
