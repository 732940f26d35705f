# The user-space keyboard filter (libevdev, libudev), the uinput virtual keyboard, the usage
# tables, and running the driver set-up tool.
list(APPEND KEYLUME_LINUX_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/UsageTables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UinputPacketTranslator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EvdevKeyRouter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinuxFilter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinuxVirtualKeyboard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinuxProcess.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinuxProgramFolder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RootOnlyPath.cpp)
list(APPEND KEYLUME_LINUX_DEPS keylume_platform_filter PkgConfig::EVDEV PkgConfig::UDEV Threads::Threads)
