// The qev-ir command: everything happens in Run_Ir_Tool.
#include "tools/qev_ir/ir_tool.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return qev::Run_Ir_Tool(args, std::cout, std::cerr);
}
