# The test run's scratch folder: the test programs' sandboxes and the
# temporary folder (TMPDIR) of the other tests. Made before the tests and
# removed after them, so that a test that crashes, aborts or is killed at its
# time limit leaves nothing behind.
set(RIDUR_TEST_SCRATCH_DIR ${CMAKE_BINARY_DIR}/test-scratch)
add_test(NAME test_scratch.setup COMMAND ${CMAKE_COMMAND} -E make_directory ${RIDUR_TEST_SCRATCH_DIR})
add_test(NAME test_scratch.cleanup COMMAND ${CMAKE_COMMAND} -E rm -rf ${RIDUR_TEST_SCRATCH_DIR})
set_tests_properties(test_scratch.setup PROPERTIES FIXTURES_SETUP ridur_scratch)
set_tests_properties(test_scratch.cleanup PROPERTIES FIXTURES_CLEANUP ridur_scratch)

# ridur_use_scratch(<test>...): the tests run inside the scratch folder's
# lifetime, with it as their temporary folder.
function(ridur_use_scratch)
  set_property(TEST ${ARGN} APPEND PROPERTY FIXTURES_REQUIRED ridur_scratch)
  set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT "TMPDIR=${RIDUR_TEST_SCRATCH_DIR}")
endfunction()

# RIDUR_XVFB_SESSION: runs a test under an X server of its own
# (tests/common/xvfb_session.sh <screen> <command>...); empty without Xvfb.
find_program(RIDUR_XVFB Xvfb)
find_program(RIDUR_XAUTH xauth)
set(RIDUR_XVFB_SESSION "")
if(RIDUR_XVFB AND RIDUR_XAUTH)
  set(RIDUR_XVFB_SESSION ${PROJECT_SOURCE_DIR}/tests/common/xvfb_session.sh)
endif()

# ridur_add_gtest(<target> SOURCES ... [LIBRARIES ...] [LABELS ...])
# One GoogleTest program; the common main runs it headless in a sandbox in the
# scratch folder. Its LABELS go to every test of the directory. Its threaded
# suites, whose names start with "Threaded" or end with "Threaded" or
# "ThreadedTest", also get the label "threaded": the ThreadSanitizer stage
# runs that label.
set(RIDUR_THREADED_SUITES "Threaded*:*/Threaded*.*:*Threaded.*:*ThreadedTest.*")

function(ridur_add_gtest target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE test_support ${ARG_LIBRARIES})
  # The discovered tests take a single label only (their properties are
  # handed on as a flat list), so the program's labels go by directory.
  set_property(DIRECTORY APPEND PROPERTY LABELS ${ARG_LABELS})
  # Each suite is discovered once: the threaded ones, then all the others.
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    TEST_FILTER "${RIDUR_THREADED_SUITES}"
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS threaded TIMEOUT 600
      FIXTURES_REQUIRED ridur_scratch)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    TEST_FILTER "-${RIDUR_THREADED_SUITES}"
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600
      FIXTURES_REQUIRED ridur_scratch)
endfunction()
