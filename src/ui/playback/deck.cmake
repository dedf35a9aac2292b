# The tape deck without windows: the player over an abstract sound output and
# its Qt Multimedia output. Shared by the windows and by reelo-cli, so it links
# Qt Core and Multimedia only. Included from both places; defined once, and
# only where Qt Multimedia is installed.
if(NOT TARGET reelo_deck)
  find_package(Qt6 QUIET COMPONENTS Core Multimedia GLOBAL)
  if(Qt6Multimedia_FOUND)
    add_library(reelo_deck STATIC
      ${CMAKE_CURRENT_LIST_DIR}/audio_output.h
      ${CMAKE_CURRENT_LIST_DIR}/qt_audio_output.cpp
      ${CMAKE_CURRENT_LIST_DIR}/qt_audio_output.h
      ${CMAKE_CURRENT_LIST_DIR}/tape_deck.cpp
      ${CMAKE_CURRENT_LIST_DIR}/tape_deck.h
    )
    set_target_properties(reelo_deck PROPERTIES AUTOMOC ON)
    target_link_libraries(reelo_deck PUBLIC reelo_core Qt6::Core Qt6::Multimedia)
  endif()
endif()
