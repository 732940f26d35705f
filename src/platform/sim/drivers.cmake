# The emulated keyboard filter and virtual keyboard.
#
# The filter's request logic is shared with the Linux user-space filter, so it is a library of its
# own that both backends link.
keylume_library(keylume_platform_filter
  SOURCES ${KEYLUME_SRC}/platform/FilterEngine.cpp
  DEPS keylume_platform)
list(APPEND KEYLUME_SIM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/SimFilter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimVirtualKeyboard.cpp)
list(APPEND KEYLUME_SIM_DEPS keylume_platform_filter)
