#include "app/cli/Cli.h"
#include "app/cli/MakeDisc.h"

#include <iostream>

int main(int argc, char** argv) {
    tarvex::CatchCancelSignals();
    return tarvex::RunCli(std::vector<std::string>(argv + 1, argv + argc), argv[0], std::cout,
                          std::cerr);
}
