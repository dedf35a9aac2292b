# Installs the build tree into a fresh folder and checks that a desktop finds
# the program, its help page (where the program looks for it), its entry and
# its icon, and that the tape file types reach the desktop's file type
# database and name the program. Run as: cmake -DBUILD_DIR=<build tree> -DWORK_DIR=<scratch> -P install_check.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed: ${failed}")
endif()

foreach(file bin/reelo share/reelo/Help/index.htm share/applications/reelo.desktop
             share/icons/hicolor/32x32/apps/reelo.png share/icons/hicolor/16x16/apps/reelo.png
             share/mime/packages/reelo.xml)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# The program looks for its page in ../share/reelo from its own folder.
if(NOT EXISTS ${prefix}/bin/../share/reelo/Help/index.htm)
  message(FATAL_ERROR "the help page is not where the installed program looks")
endif()

file(STRINGS ${prefix}/share/applications/reelo.desktop entry)
# %F: a file manager hands over the files the user opened with it.
foreach(line "Exec=${prefix}/bin/reelo %F" "Icon=reelo" "Type=Application")
  if(NOT line IN_LIST entry)
    message(FATAL_ERROR "the desktop entry lacks \"${line}\"")
  endif()
endforeach()

# Every file type the package defines is one the entry declares, and the
# database built from the package finds it by name and, where the format has
# a signature, by content.
list(FILTER entry INCLUDE REGEX "^MimeType=")
file(STRINGS ${prefix}/share/mime/packages/reelo.xml defined REGEX "<mime-type type=")
set(kinds "")
foreach(line ${defined})
  string(REGEX REPLACE ".*type=\"([^\"]+)\".*" "\\1" kind "${line}")
  list(APPEND kinds ${kind})
  if(NOT entry MATCHES "[=;]${kind};")
    message(FATAL_ERROR "the desktop entry does not declare ${kind}")
  endif()
endforeach()
list(LENGTH kinds count)
if(NOT count EQUAL 4)
  message(FATAL_ERROR "expected the four tape file types, found: ${kinds}")
endif()
find_program(update_mime update-mime-database)
if(update_mime)
  execute_process(COMMAND ${update_mime} ${prefix}/share/mime RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE why)
  if(failed OR why MATCHES "[Ee]rror|[Ww]arning")
    message(FATAL_ERROR "update-mime-database refused the package: ${why}")
  endif()
  file(READ ${prefix}/share/mime/globs2 globs)
  file(READ ${prefix}/share/mime/magic magic HEX)
  foreach(ext tap tzx pzx csw)
    if(NOT globs MATCHES ":application/x-zx-spectrum-${ext}:\\*\\.${ext}\n")
      message(FATAL_ERROR "*.${ext} is not in the file type database")
    endif()
  endforeach()
  # "ZXTape!" 0x1A, "PZXT", "Compressed Square Wave" 0x1A, as hex.
  foreach(signature 5a5854617065211a 505a5854 436f6d707265737365642053717561726520576176651a)
    if(NOT magic MATCHES "${signature}")
      message(FATAL_ERROR "the signature ${signature} is not in the file type database")
    endif()
  endforeach()
endif()
file(REMOVE_RECURSE ${WORK_DIR})
