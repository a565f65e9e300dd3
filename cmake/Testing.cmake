# Test registration.
#
#   setup_add_host_test(target SOURCES ... [LIBRARIES ...])
#       native GoogleTest binary (host preset)
#   setup_add_wine_test(target SOURCES ... [LIBRARIES ...])
#       Windows GoogleTest binary, run by CTest through Wine (win64 preset);
#       in a build without SETUP_RUN_UNDER_WINE it is built but not run.
#
# Wine tests share one private prefix under the build tree. The fixture
# "wine" boots it and keeps a wineserver for it while they run, and stops
# that server and every Wine process when they are done. They run one at a
# time: parallel first starts of one prefix race, and several of them touch
# machine-wide state (HKLM, Program Files, the service manager).
include(GoogleTest)
enable_testing()

set(SETUP_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(SETUP_WINE_RUN ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh)

function(setup_add_host_test target)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${target} ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE GTest::gtest_main ${arg_LIBRARIES})
  gtest_discover_tests(${target} PROPERTIES LABELS host)
endfunction()

function(setup_add_wine_test target)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${target} ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE GTest::gtest_main test_support ${arg_LIBRARIES})
  if(SETUP_RUN_UNDER_WINE)
    gtest_discover_tests(${target}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES
        LABELS wine
        FIXTURES_REQUIRED wine
        RESOURCE_LOCK wineprefix
        TIMEOUT 300)
  endif()
endfunction()

if(SETUP_RUN_UNDER_WINE)
  add_test(NAME wine.boot COMMAND ${SETUP_WINE_RUN} ${SETUP_WINEPREFIX} --boot)
  add_test(NAME wine.stop COMMAND ${SETUP_WINE_RUN} ${SETUP_WINEPREFIX} --stop)
  set_tests_properties(wine.boot PROPERTIES FIXTURES_SETUP wine RESOURCE_LOCK wineprefix LABELS wine)
  set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine RESOURCE_LOCK wineprefix LABELS wine)
endif()
