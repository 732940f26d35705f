#pragma once

#include <windows.h>

#include <string>

namespace keylume::test {

// True when the program runs under wine rather than Windows (ntdll exports wine_get_version).
bool UnderWine();

// This test program's own path, for starting it again as a child.
std::wstring OwnExecutable();

// Runs this program as a child with `arguments` (after the program name) and `environment`
// additions ("NAME=value"); returns the process handle (the caller closes it), null on failure.
HANDLE StartSelf(const std::wstring& arguments, const std::wstring& environmentEntry = {});

}  // namespace keylume::test
