// qev-ir send and receive: commands through a kernel IR device (/dev/lircN),
// by way of the port library (libio.so) as the program itself uses it.
//
//   qev-ir send FILE NAME [--device /dev/lircN] [--count N]
//   qev-ir receive [--device /dev/lircN] [--count N] [--timeout S]
//
// The library is pointed at the device through its environment
// (IO_BACKEND=lirc, IO_LIRC_DEVICE) before it is loaded, so a process runs
// at most one of these commands: a library already loaded keeps the device
// it chose. IO_BACKEND=simlirc, when set, is kept: the library's simulated
// IR device stands in for a real one (it loops sends back into its receiver
// and plays the simulated remote), for trying the tool without hardware.
#ifndef QEV_TOOLS_QEV_IR_DEVICE_COMMANDS_H
#define QEV_TOOLS_QEV_IR_DEVICE_COMMANDS_H

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace qev::ir_tool {

// The device used when neither --device nor IO_LIRC_DEVICE names one.
constexpr const char* Default_Device = "/dev/lirc0";

// One received signal ends once the line has been off this long (the
// kernel's own default receive timeout): the frames of a key held down,
// which follow each other within about 100 ms, stay one signal...
constexpr uint32_t Receive_End_Gap_us = 125'000;
// ...up to this long; the rest of a longer one is the next signal.
constexpr uint32_t Receive_Longest_Signal_us = 2'000'000;

// `args` is the whole command line without the program name, the command
// first. The exit status (Ir_Tool_Ok, Ir_Tool_Failed or Ir_Tool_Usage).
int Send_Through_Device(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int Receive_From_Device(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qev::ir_tool

#endif
