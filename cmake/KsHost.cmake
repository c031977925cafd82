# The host (Linux) build: the platform-neutral units and their tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, which the Windows build
# lacks, and with clang the libFuzzer targets of fuzz/.
option(KS_SANITIZE "Build the host units and tests with ASan and UBSan" ON)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(KS_FUZZ_DEFAULT ON)
else()
  set(KS_FUZZ_DEFAULT OFF)
endif()
option(KS_FUZZ "Build the libFuzzer targets (clang only)" ${KS_FUZZ_DEFAULT})

if(KS_SANITIZE)
  # Any report stops the program, so a test or a fuzzer cannot pass over it.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(KS_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KS_FUZZ needs clang (libFuzzer)")
  endif()
  # Coverage feedback for the fuzzers from every unit they reach; the
  # sanitizer runtimes answer the hooks in the other executables.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
