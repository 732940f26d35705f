# What the Windows build takes from Debian's sources instead of installed Linux libraries:
# pugixml compiled from Debian's own source package (fetched into a cache by
# scripts/win/fetch-source.sh), GoogleTest from Debian's googletest sources, and for the timing
# programs Google Benchmark from Debian's own source package.
set(KEYLUME_PUGIXML_SOURCE "" CACHE PATH "Folder of Debian's unpacked pugixml source package")
if(NOT KEYLUME_PUGIXML_SOURCE)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/win/fetch-source.sh pugixml src/pugixml.cpp
                  OUTPUT_VARIABLE fetched OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${fetched}/src/pugixml.cpp)
    message(FATAL_ERROR "pugixml's Debian source could not be fetched (scripts/win/fetch-source.sh)")
  endif()
  set(KEYLUME_PUGIXML_SOURCE ${fetched} CACHE PATH "" FORCE)
endif()
add_library(keylume_pugixml STATIC ${KEYLUME_PUGIXML_SOURCE}/src/pugixml.cpp)
target_include_directories(keylume_pugixml SYSTEM PUBLIC ${KEYLUME_PUGIXML_SOURCE}/src)
add_library(pugixml::pugixml ALIAS keylume_pugixml)

if(KEYLUME_BUILD_TESTS)
  set(KEYLUME_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "Debian's googletest sources")
  if(NOT EXISTS ${KEYLUME_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources missing: install Debian's googletest package")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KEYLUME_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

if(KEYLUME_BUILD_BENCH)
  set(KEYLUME_BENCHMARK_SOURCE "" CACHE PATH "Folder of Debian's unpacked benchmark source package")
  if(NOT KEYLUME_BENCHMARK_SOURCE)
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/win/fetch-source.sh benchmark CMakeLists.txt
                    OUTPUT_VARIABLE fetched OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT EXISTS ${fetched}/src/benchmark.cc)
      message(FATAL_ERROR "Google Benchmark's Debian source could not be fetched")
    endif()
    set(KEYLUME_BENCHMARK_SOURCE ${fetched} CACHE PATH "" FORCE)
  endif()
  set(BENCHMARK_ENABLE_TESTING OFF CACHE BOOL "" FORCE)
  set(BENCHMARK_ENABLE_GTEST_TESTS OFF CACHE BOOL "" FORCE)
  set(BENCHMARK_ENABLE_INSTALL OFF CACHE BOOL "" FORCE)
  set(BENCHMARK_ENABLE_WERROR OFF CACHE BOOL "" FORCE)
  set(BENCHMARK_ENABLE_LIBPFM OFF CACHE BOOL "" FORCE)
  # Debian's package reads its version from no git tags; this is what it falls back to.
  set(GIT_VERSION "0.0.0")
  add_subdirectory(${KEYLUME_BENCHMARK_SOURCE} ${CMAKE_BINARY_DIR}/benchmark EXCLUDE_FROM_ALL)
endif()

# Our own code speaks the wide interfaces only; the libraries above are built as they come.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)

