# Flags every target of ours carries; third-party code never sees them.
add_library(tolvan_common_config INTERFACE)
option(TOLVAN_WERROR "Treat compiler warnings as errors (./test.sh and CI turn it on)" OFF)
target_compile_options(tolvan_common_config INTERFACE -Wall -Wextra -Wpedantic)
if(TOLVAN_WERROR)
  target_compile_options(tolvan_common_config INTERFACE -Werror)
endif()
target_compile_definitions(tolvan_common_config INTERFACE
  TOLVAN_VERSION="${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
if(TOLVAN_SANITIZE)
  target_compile_options(tolvan_common_config INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tolvan_common_config INTERFACE -fsanitize=address,undefined)
endif()
if(TOLVAN_FUZZ)
  # clang's libFuzzer with the same sanitizers; the targets link -fsanitize=fuzzer.
  target_compile_options(tolvan_common_config INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tolvan_common_config INTERFACE -fsanitize=address,undefined)
endif()
