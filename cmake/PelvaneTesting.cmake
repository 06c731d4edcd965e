# pelvane_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib... [RESOURCE_LOCK lock] [LABELS label...]
#                   [ENVIRONMENT VAR=value...])
# Builds one GoogleTest executable and registers each of its tests with CTest.
# Label network: the tests exchange UDP datagrams on the loopback interface. Those holding the
# udp_ports lock (the fixed ports 2000-2004) get it without asking; a package build leaves them
# out where the machine cannot give them loopback UDP or those ports (debian/rules).
include(GoogleTest)
find_package(GTest REQUIRED)

function(pelvane_add_gtest name)
  cmake_parse_arguments(ARG "" "RESOURCE_LOCK" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    PELVANE_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
  set(props "")
  set(labels ${ARG_LABELS})
  if(ARG_RESOURCE_LOCK)
    list(APPEND props RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
    if(ARG_RESOURCE_LOCK STREQUAL "udp_ports")
      list(APPEND labels network)
    endif()
  endif()
  if(labels)
    list(REMOVE_DUPLICATES labels)
    list(APPEND props LABELS "${labels}")
  endif()
  if(ARG_ENVIRONMENT)
    list(APPEND props ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props} TIMEOUT 300)
endfunction()
