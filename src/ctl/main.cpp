#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "ctl/Ctl.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const int code = keylume::ctl::Run(args, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
