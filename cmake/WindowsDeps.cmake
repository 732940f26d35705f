# What the Windows build takes from Debian's sources instead of installed Linux libraries:
# pugixml compiled from Debian's own source package (fetched into a cache by
# scripts/win/fetch-pugixml.sh) and GoogleTest from Debian's googletest sources.
set(KEYLUME_PUGIXML_SOURCE "" CACHE PATH "Folder of Debian's unpacked pugixml source package")
if(NOT KEYLUME_PUGIXML_SOURCE)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/win/fetch-pugixml.sh
                  OUTPUT_VARIABLE fetched OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${fetched}/src/pugixml.cpp)
    message(FATAL_ERROR "pugixml's Debian source could not be fetched (scripts/win/fetch-pugixml.sh)")
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
