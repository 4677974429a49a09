# One helper per kind of target, so that every target is built the same way.

set(TAVRO_WARNINGS
  -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual
  -Werror=return-type)

# tavro_add_library(name [SHARED [OPENED_LATER]|STATIC] SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# OPENED_LATER marks a library that only a plugin brings in, when the shell opens it.
function(tavro_add_library name)
  cmake_parse_arguments(ARG "SHARED;OPENED_LATER" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  if(ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
    # A library linked in at start can give its thread-local caches the static model: a
    # register read instead of a __tls_get_addr call per use. One opened later keeps the
    # general model; the static block has little room left by then.
    if(NOT ARG_OPENED_LATER)
      target_compile_options(${name} PRIVATE -ftls-model=initial-exec)
    endif()
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  endif()
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_compile_options(${name} PRIVATE ${TAVRO_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()

# tavro_add_executable(name SOURCES ... LIBS ...)
function(tavro_add_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TAVRO_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# tavro_add_test(name SOURCES ... LIBS ... [TIMEOUT seconds] [LABELS ...])
# Every test runs offscreen and has a time-out, so a stuck modal box fails the
# test instead of hanging CI.
function(tavro_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TAVRO_WARNINGS})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  math(EXPR function_timeout "${ARG_TIMEOUT} - 5")
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${ARG_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTEST_FUNCTION_TIMEOUT=${function_timeout}000;LC_ALL=C.UTF-8")
endfunction()
