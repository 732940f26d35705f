# The built-in keyboard, the emulated HID bus it sits on and the device broadcasts.
list(APPEND KEYLUME_SIM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/SimBroadcasts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimHidBus.cpp)
list(APPEND KEYLUME_SIM_SOURCES ${CMAKE_CURRENT_LIST_DIR}/SimKeyboard.cpp)
