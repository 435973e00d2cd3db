# The program is built in floors, one library each: the core of ports, events,
# the window model and the text helpers; the skin; the handlers; MainWindow;
# the Windows shell. A floor links only the floors below it, and it sees only
# their headers and its own: each floor's headers are linked into a folder of
# their own in the build tree, and that folder is all a floor puts on the
# include path. An include that runs upward finds no file and fails to build.
#
#   pagerift_floor(NAME SOURCES file.cpp... HEADERS file.h... BELOW lower_target...)
# makes the library pagerift_NAME.
function(pagerift_floor name)
  cmake_parse_arguments(FLOOR "" "" "SOURCES;HEADERS;BELOW" ${ARGN})
  set(faces ${CMAKE_BINARY_DIR}/floors/${name})
  file(REMOVE_RECURSE ${faces})
  foreach(header ${FLOOR_HEADERS})
    file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${header})
    get_filename_component(folder ${faces}/${relative} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${header} ${faces}/${relative} SYMBOLIC)
  endforeach()
  add_library(pagerift_${name} STATIC ${FLOOR_SOURCES} ${FLOOR_HEADERS})
  target_include_directories(pagerift_${name} PUBLIC ${faces})
  target_link_libraries(pagerift_${name} PUBLIC ${FLOOR_BELOW})
endfunction()
