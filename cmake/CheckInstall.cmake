# Installs the build in BUILD_DIR into PREFIX (emptied first) and checks that
# every file a desktop expects is there and that the installed program runs.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
set(expected
    bin/zarvex
    share/applications/zarvex.desktop
    share/mime/packages/zarvex.xml
    share/icons/hicolor/scalable/apps/zarvex.svg
    share/metainfo/io.github.zarvex.Zarvex.metainfo.xml
    share/zarvex/manual.html
    share/man/man1/zarvex.1
    lib/systemd/user/zarvex-follow@.service)
foreach(size 16 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/zarvex.png)
endforeach()
foreach(f IN LISTS expected)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(READ ${PREFIX}/share/applications/zarvex.desktop entry)
if(NOT entry MATCHES "\nExec=zarvex %F\n" OR NOT entry MATCHES "Name=Zarvex Extract here:")
  message(FATAL_ERROR "the installed launcher entry is not the program's:\n${entry}")
endif()
execute_process(COMMAND ${PREFIX}/bin/zarvex --version OUTPUT_VARIABLE version RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT version MATCHES "^zarvex ")
  message(FATAL_ERROR "the installed program does not run: ${rc} ${version}")
endif()
message(STATUS "installed ${PREFIX}: all files present")
