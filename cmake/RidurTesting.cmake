# ridur_add_gtest(<target> SOURCES ... [LIBRARIES ...] [LABELS ...])
# One GoogleTest program; the common main runs it headless in a sandboxed
# environment. Its LABELS go to every test of the directory. Its threaded
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
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS threaded TIMEOUT 600)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    TEST_FILTER "-${RIDUR_THREADED_SUITES}"
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600)
endfunction()
