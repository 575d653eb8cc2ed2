# How the project's targets are made, written once: its libraries and its test programs. C++20
# and the warnings are set for the whole project in the top-level file.

# snipforge_library(NAME SOURCE...): a static library whose headers are included from the
# project's root, as "engine/frame_list.h".
function(snipforge_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# snipforge_tests(NAME [SERIAL] SOURCES SOURCE... LINKS LIBRARY... [ENVIRONMENT VARIABLE=VALUE...]):
# a GoogleTest program whose tests ctest runs one by one; SERIAL runs them apart from every other
# test (windows that need the focus).
function(snipforge_tests name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "SERIAL" "" "SOURCES;LINKS;ENVIRONMENT")
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LINKS} GTest::gtest_main)
  set(properties)
  if(arg_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${arg_ENVIRONMENT}")
  endif()
  if(arg_SERIAL)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()
  if(properties)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES ${properties})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120)
  endif()
endfunction()
