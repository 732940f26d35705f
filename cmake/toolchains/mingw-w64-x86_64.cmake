# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix thread model: the win32 model has
# no std::thread, std::mutex or std::condition_variable in GCC 12). Programs are linked statically,
# so they need no DLL beyond the system's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KEYLUME_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KEYLUME_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KEYLUME_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KEYLUME_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KEYLUME_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Windows 10 interfaces (high-resolution waitable timers, CancelIoEx).
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00)

# Test programs run under wine through the wrapper that checks their summary.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/win/wine-run.sh)
