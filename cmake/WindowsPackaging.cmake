# The Windows program as it is delivered (scripts/windows.sh packs it into
# the portable zip and the installer): the programs, the DLLs they load, the
# Qt plug-ins and Chinese texts beside them, all in one folder.

set(kit_qt ${YSB_WIN_ROOT}/qt6-mingw)
set(kit_deps ${YSB_WIN_ROOT}/deps-mingw)
# MinGW's runtime: libstdc++ and libgcc_s in GCC's folder, libwinpthread in
# MinGW's.
set(runtime_folders)
foreach(dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(folder ${found} DIRECTORY)
    list(APPEND runtime_folders ${folder})
endforeach()

# Beside the programs, where Qt looks for plug-ins first; the desktop
# picture and icons are SVG, Qt's icon files ICO.
set(qt_plugins platforms/qwindows styles/qwindowsvistastyle iconengines/qsvgicon
    imageformats/qsvg imageformats/qico imageformats/qgif imageformats/qjpeg)
set(plugin_files)
foreach(plugin ${qt_plugins})
    get_filename_component(folder ${plugin} DIRECTORY)
    install(FILES ${kit_qt}/plugins/${plugin}.dll DESTINATION ${folder})
    list(APPEND plugin_files ${kit_qt}/plugins/${plugin}.dll)
endforeach()

# Qt's own dialogs and buttons in Chinese: the texts are the same files on
# every system (package qt6-translations-l10n).
install(FILES /usr/share/qt6/translations/qtbase_zh_CN.qm DESTINATION translations)
install(FILES cmake/windows/qt.conf DESTINATION .)

# Every DLL the programs and plug-ins load.
install(CODE "
    set(PROGRAMS \"$<TARGET_FILE:yanshubu>\" \"$<TARGET_FILE:yanshubu-db>\"
        \"$<TARGET_FILE:yanshubu-access-reader>\")
    set(MODULES \"${plugin_files}\")
    set(FOLDERS \"${kit_qt}/bin;${kit_deps}/bin;${runtime_folders}\")
    set(OBJDUMP \"${CMAKE_OBJDUMP}\")
    set(STRIP \"${CMAKE_STRIP}\")
    include(\"${CMAKE_CURRENT_LIST_DIR}/windows/InstallRuntime.cmake\")
")
