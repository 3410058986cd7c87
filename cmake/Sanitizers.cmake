# LW52_SANITIZE="address,undefined" or "thread" instruments every target.
if(LW52_SANITIZE)
  add_compile_options(-fsanitize=${LW52_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${LW52_SANITIZE})
endif()

# LW52_FUZZ=ON: the core targets get libFuzzer's coverage hooks with ASan and UBSan; only the
# fuzz targets link the fuzzer's driver (fuzz/CMakeLists.txt). The Qt layers stay out.
if(LW52_FUZZ)
  if(NOT LW52_CORE_ONLY)
    message(FATAL_ERROR "LW52_FUZZ=ON needs LW52_CORE_ONLY=ON")
  endif()
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "LW52_FUZZ=ON needs clang (libFuzzer), not ${CMAKE_CXX_COMPILER_ID}: "
                        "configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  if(LW52_SANITIZE)
    message(FATAL_ERROR "LW52_FUZZ=ON brings its own sanitizers: leave LW52_SANITIZE empty")
  endif()
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS -fsanitize=fuzzer,address,undefined)
  set(CMAKE_REQUIRED_LINK_OPTIONS -fsanitize=fuzzer,address,undefined)
  check_cxx_source_compiles([[
    #include <cstddef>
    #include <cstdint>
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }
  ]] LW52_HAVE_LIBFUZZER)
  unset(CMAKE_REQUIRED_FLAGS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(NOT LW52_HAVE_LIBFUZZER)
    message(FATAL_ERROR "LW52_FUZZ=ON: ${CMAKE_CXX_COMPILER} cannot link a libFuzzer target with "
                        "ASan and UBSan (Debian: libclang-rt-14-dev)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
