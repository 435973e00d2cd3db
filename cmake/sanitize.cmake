# The sanitizer configuration (build/fuzz; tools/fuzz.sh sets it up): every target of the host
# build compiled by clang with AddressSanitizer and UndefinedBehaviorSanitizer and with libFuzzer's
# coverage, and the fuzz targets of tests/fuzz on top. qpdf comes from Debian, uninstrumented: it is
# fuzzed upstream, our own code is not.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "PAGERIFT_SANITIZE needs clang with libFuzzer; tools/fuzz.sh picks one")
endif()
set(PAGERIFT_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all)
# Locals stay on the real stack: the job's tests tell recursion from a loop by their addresses.
add_compile_options(${PAGERIFT_SANITIZERS} -fsanitize=fuzzer-no-link -fno-omit-frame-pointer
  -fsanitize-address-use-after-return=never)
add_link_options(${PAGERIFT_SANITIZERS})
# Faster to build than -O2, and with assertions on.
set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O1 -g")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g")

# clang, unlike g++, cannot compile qpdf's JSON.hh as C++20 against libstdc++ 12: a defaulted
# virtual destructor there needs std::vector<JSON> destroyed while JSON is still incomplete. qpdf
# itself is C++17, and so, in this configuration only, are the targets that include its headers.
function(pagerift_qpdf_users_as_cxx17)
  foreach(target pagerift_burst pagerift-burst splitter_tests fuzz_burst fuzz_scanner fuzz_seeds
      fuzz_text fuzz_type1 fuzz_truetype fuzz_cff
      page-census)
    set_target_properties(${target} PROPERTIES CXX_STANDARD 17)
    target_compile_options(${target} PRIVATE -Wno-c++20-extensions)
  endforeach()
endfunction()
cmake_language(DEFER CALL pagerift_qpdf_users_as_cxx17)
