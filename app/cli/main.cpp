#include "app/cli/Cli.h"

#include <iostream>

int main(int argc, char** argv) {
    return tarvex::RunCli(std::vector<std::string>(argv + 1, argv + argc), argv[0], std::cout,
                          std::cerr);
}
