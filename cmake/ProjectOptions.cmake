# Build-wide options: warnings, short source paths in log records, sanitizers, fuzzing.
set(RIDUR_SANITIZE "" CACHE STRING "Comma-separated sanitizers (address,undefined or thread)")
option(RIDUR_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
option(RIDUR_BENCH "Build the benchmarks" ON)

add_compile_options(-Wall -Wextra -Wno-unused-parameter)
# Keeps the %l field of log records short: paths relative to the source root.
add_compile_options("-fmacro-prefix-map=${CMAKE_SOURCE_DIR}/=")

if(RIDUR_SANITIZE)
  add_compile_options(-fsanitize=${RIDUR_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${RIDUR_SANITIZE})
endif()
