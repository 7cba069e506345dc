# ridur_add_gtest(<target> SOURCES ... [LIBRARIES ...] [LABELS ...])
# One GoogleTest program; the common main runs it headless in a sandboxed
# environment. Suites whose names start with "Threaded" also run under
# ThreadSanitizer.
function(ridur_add_gtest target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE test_support ${ARG_LIBRARIES})
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS "${ARG_LABELS}" TIMEOUT 600)
endfunction()
