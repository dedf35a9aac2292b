# Installs the build tree into a fresh folder and checks that a desktop finds
# the program, its help page (where the program looks for it), its entry and
# its icon. Run as: cmake -DBUILD_DIR=<build tree> -DWORK_DIR=<scratch> -P install_check.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed: ${failed}")
endif()

foreach(file bin/reelo share/reelo/Help/index.htm share/applications/reelo.desktop
             share/icons/hicolor/32x32/apps/reelo.png share/icons/hicolor/16x16/apps/reelo.png)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# The program looks for its page in ../share/reelo from its own folder.
if(NOT EXISTS ${prefix}/bin/../share/reelo/Help/index.htm)
  message(FATAL_ERROR "the help page is not where the installed program looks")
endif()

file(STRINGS ${prefix}/share/applications/reelo.desktop entry)
foreach(line "Exec=${prefix}/bin/reelo" "Icon=reelo" "Type=Application")
  if(NOT line IN_LIST entry)
    message(FATAL_ERROR "the desktop entry lacks \"${line}\"")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
