# The keyboard on real devices: hidapi (hidraw) for the HID interfaces, libudev for arrivals.
list(APPEND KEYLUME_LINUX_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/HidNaming.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HidapiHidBus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UdevBroadcasts.cpp)
list(APPEND KEYLUME_LINUX_DEPS PkgConfig::HIDAPI PkgConfig::UDEV)
