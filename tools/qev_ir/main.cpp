// The qev-ir command: everything happens in Run_Ir_Tool.
#include "tools/qev_ir/ir_tool.h"

#include <malloc.h>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // qev-ir builds its data in one go and then ends: the heap grows in
    // large steps and keeps what is freed for the next allocation, rather
    // than mapping and unmapping large blocks as it goes. Every fresh page
    // costs a fault; this saves about a third of a millisecond on a 1 MB
    // code file.
    mallopt(M_TOP_PAD, 16 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return qev::Run_Ir_Tool(args, std::cout, std::cerr);
}
