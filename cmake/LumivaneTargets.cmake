# SPDX-License-Identifier: MIT
# Warnings and sanitizers per target, never as globals.
function(lumivane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion)
  if(LUMIVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

function(lumivane_sanitize target)
  if(LUMIVANE_FUZZ)
    # Coverage for libFuzzer in every library a fuzz target links.
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
  if(LUMIVANE_SANITIZE STREQUAL "address")
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
      -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  elseif(LUMIVANE_SANITIZE STREQUAL "thread")
    target_compile_options(${target} PRIVATE -fsanitize=thread)
    target_link_options(${target} PRIVATE -fsanitize=thread)
  endif()
endfunction()

# The public C headers, included as "lumivane/...".
add_library(lumivane_headers INTERFACE)
target_include_directories(lumivane_headers INTERFACE ${PROJECT_SOURCE_DIR}/include)

# A library of the plug-in: static, position independent, hidden symbols.
function(lumivane_library target)
  add_library(${target} STATIC ${ARGN})
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  lumivane_warnings(${target})
  lumivane_sanitize(${target})
endfunction()

# One GoogleTest executable, its cases registered with CTest.
function(lumivane_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock_main GTest::gtest Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  lumivane_warnings(${name})
  lumivane_sanitize(${name})
  gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120 LABELS "${T_LABELS}")
  if("threads" IN_LIST T_LABELS)
    set_property(GLOBAL APPEND PROPERTY LUMIVANE_THREADS_TESTS ${name})
  endif()
endfunction()

# lumivane_threads_tests builds only the tests labelled "threads", for the
# ThreadSanitizer run (ctest -L threads). Defined once every test is known.
function(lumivane_define_threads_target)
  get_property(tests GLOBAL PROPERTY LUMIVANE_THREADS_TESTS)
  add_custom_target(lumivane_threads_tests)
  if(tests)
    add_dependencies(lumivane_threads_tests ${tests})
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL lumivane_define_threads_target)
