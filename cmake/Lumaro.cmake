# The build's own helpers. Every library and executable of the program is declared through
# them, with its files listed and the libraries it may use named once (DEPS): the include
# check (cmake/CheckIncludes.cmake) allows a file exactly the headers of its own target and
# of the targets it links, directly or through them.

# Compiler warnings of one target (-Werror with LUMARO_WERROR).
function(lumaro_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${LUMARO_WERROR}>:-Werror>)
endfunction()

# Remembers a target's own files for the include check.
function(lumaro_layered target)
  set_property(GLOBAL APPEND PROPERTY LUMARO_LAYERED_TARGETS ${target})
  set(files "")
  foreach(f ${ARGN})
    get_filename_component(abs ${f} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND files ${abs})
  endforeach()
  set_property(GLOBAL PROPERTY LUMARO_FILES_${target} ${files})
endfunction()

# lumaro_library(<target> SOURCES <files...> [DEPS <libs...>]): one static library.
function(lumaro_library target)
  cmake_parse_arguments(ARG "" "" "DEPS;SOURCES" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${LUMARO_SRC} ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  lumaro_warnings(${target})
  lumaro_layered(${target} ${ARG_SOURCES})
endfunction()

# lumaro_executable(<target> SOURCES <files...> DEPS <libs...>): a program of the project.
function(lumaro_executable target)
  cmake_parse_arguments(ARG "" "" "DEPS;SOURCES" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS})
  lumaro_warnings(${target})
  lumaro_layered(${target} ${ARG_SOURCES})
endfunction()

# Writes, for every declared target, its files and the headers it may include, and registers
# the test that checks every #include of src/ and tools/ against them. Called once, after all
# targets exist.
function(lumaro_write_layers)
  get_property(targets GLOBAL PROPERTY LUMARO_LAYERED_TARGETS)
  set(out "")
  foreach(t ${targets})
    # The project's libraries this target reaches through its links.
    set(reached "")
    set(queue ${t})
    while(queue)
      list(POP_FRONT queue cur)
      get_target_property(links ${cur} LINK_LIBRARIES)
      foreach(l ${links})
        get_property(known GLOBAL PROPERTY LUMARO_FILES_${l} SET)
        if(known AND NOT l IN_LIST reached)
          list(APPEND reached ${l})
          list(APPEND queue ${l})
        endif()
      endforeach()
    endwhile()
    get_property(own GLOBAL PROPERTY LUMARO_FILES_${t})
    set(allowed ${own})
    foreach(r ${reached})
      get_property(f GLOBAL PROPERTY LUMARO_FILES_${r})
      list(APPEND allowed ${f})
    endforeach()
    list(FILTER allowed INCLUDE REGEX "\\.h$")
    string(REPLACE ";" "," own "${own}")
    string(REPLACE ";" "," allowed "${allowed}")
    string(APPEND out "${t}|${own}|${allowed}\n")
  endforeach()
  file(WRITE ${CMAKE_BINARY_DIR}/layers.txt "${out}")
  add_test(NAME IncludeLayering
    COMMAND ${CMAKE_COMMAND} -DLAYERS=${CMAKE_BINARY_DIR}/layers.txt
            -DROOTS=${LUMARO_SRC}|${CMAKE_BINARY_DIR}/generated
            -P ${CMAKE_SOURCE_DIR}/cmake/CheckIncludes.cmake)
endfunction()

# lumaro_tests(<target> SOURCES <files...> DEPS <libs...>): one GoogleTest executable,
# registered with CTest when the tests run (not at build time).
function(lumaro_tests target)
  cmake_parse_arguments(ARG "" "" "DEPS;SOURCES" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE lumaro_testsupport ${ARG_DEPS} GTest::gtest GTest::gmock)
  lumaro_warnings(${target})
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LUMARO_BUILD_DIR=${CMAKE_BINARY_DIR}"
               TIMEOUT 300)
endfunction()
