// Binding to the port library (libio.so), loaded at run time by bare name.
//
// The loader's normal search applies (LD_LIBRARY_PATH, the executable's
// RUNPATH $ORIGIN, system folders), so the copy beside the executable is
// found; should that search fail, the executable's folder is tried. The thirteen functions are looked up by name into a
// table; a missing function leaves its slot empty and is never called: writes through an empty slot do nothing and
// reads give 0 (an idle receiver line).
//
// Where the port is (IoPortDescription) is looked up the same way, and may be
// missing too: a libio.so from before it, or a partial one, still works.
//
// Tests replace the table with in-process fakes (Set_Function_Table).
#ifndef QEV_IRPORT_PORT_LIBRARY_H
#define QEV_IRPORT_PORT_LIBRARY_H

#include "io/io_api.h"

#include <cstdint>
#include <string>

namespace qev {

// Each slot has the type of a pointer to the port library's function of its
// name as io/io_api.h declares it, so the table cannot drift from the library.
// Slots in the order they are resolved. The program calls PortOut and PortIn
// only; the others are kept with the library's own argument lists.
struct TPort_Function_Table {
    decltype(&::PortOut) PortOut = nullptr;
    decltype(&::PortWordOut) PortWordOut = nullptr;
    decltype(&::PortDWordOut) PortDWordOut = nullptr;
    decltype(&::PortIn) PortIn = nullptr;
    decltype(&::PortWordIn) PortWordIn = nullptr;
    decltype(&::PortDWordIn) PortDWordIn = nullptr;
    decltype(&::SetPortBit) SetPortBit = nullptr;
    decltype(&::ClrPortBit) ClrPortBit = nullptr;
    decltype(&::NotPortBit) NotPortBit = nullptr;
    decltype(&::GetPortBit) GetPortBit = nullptr;
    decltype(&::RightPortShift) RightPortShift = nullptr;
    decltype(&::LeftPortShift) LeftPortShift = nullptr;
    decltype(&::IsDriverInstalled) IsDriverInstalled = nullptr;
};

// The optional functions of a port that takes and gives whole signals (a
// kernel IR device): io/io_api.h, "Whole signals". Empty slots on a
// register port, or a library without them.
struct TPort_Signal_Table {
    decltype(&::IoSignalFeatures) IoSignalFeatures = nullptr;
    decltype(&::IoSignalSend) IoSignalSend = nullptr;
    decltype(&::IoSignalReceive) IoSignalReceive = nullptr;
    decltype(&::IoSignalError) IoSignalError = nullptr;
    // Newer libraries only: a port library without it is waited out.
    decltype(&::IoSignalCancel) IoSignalCancel = nullptr;
};

// What a signal port offers.
constexpr int Signal_Send = IO_SIGNAL_SEND;
constexpr int Signal_Receive = IO_SIGNAL_RECEIVE;
constexpr int Signal_Carrier = IO_SIGNAL_CARRIER;

// Register offsets from the port base address.
constexpr unsigned Data_Register = 0;
constexpr unsigned Status_Register = 1;
constexpr unsigned Control_Register = 2;
constexpr uint8_t Receiver_Line_Bit = 0x10;  // status: set while infrared is received
constexpr uint8_t Direction_Bit = 0x20;      // control: 0 = data lines drive outward
constexpr uint8_t Data_LED_On = 0xFF;        // LED (data line 0) on, lines 1-7 high
constexpr uint8_t Data_LED_Off = 0xFE;       // LED off, lines 1-7 high: the idle value

class TPort_Library {
public:
    static constexpr const char* Default_Name = "libio.so";

    TPort_Library();
    ~TPort_Library();
    TPort_Library(const TPort_Library&) = delete;
    TPort_Library& operator=(const TPort_Library&) = delete;

    // 0 when loaded, 1 when the library could not be loaded.
    int Load_Port_Library(const char* name = Default_Name);
    // Releases the library once; later calls do nothing. Also runs at process
    // exit for every library still loaded. Returns dlclose's result (0 when
    // there was nothing to release).
    int Unload_Port_Library();

    bool Loaded() const { return handle_ != nullptr; }
    // Why the last load failed, as the loader said it; empty after a load.
    const std::string& Load_Error() const { return load_error_; }
    const TPort_Function_Table& Functions() const { return functions_; }
    void Set_Function_Table(const TPort_Function_Table& table) { functions_ = table; }
    const TPort_Signal_Table& Signal_Functions() const { return signals_; }
    void Set_Signal_Table(const TPort_Signal_Table& table) { signals_ = table; }
    // Signal_Send, Signal_Receive and Signal_Carrier as the port offers them;
    // 0 for a register port.
    int Signal_Features() const { return signals_.IoSignalFeatures ? signals_.IoSignalFeatures() : 0; }
    // Why the port's last signal call failed, for people.
    std::string Signal_Error() const;
    // Any other symbol of the loaded library (the simulated port's controls).
    void* Resolve(const char* name) const;
    // Where the port is, in words for people, as the library says
    // (IoPortDescription): "simulated port", "/dev/parport0 (ppdev)",
    // "simulated port (/dev/parport0: Permission denied)". A library without
    // it gives its backend's name (IoBackendName), one without either
    // "unknown". Empty when no library is loaded.
    std::string Port_Description() const;

    void Port_Out(unsigned port, uint8_t value) const {
        if (functions_.PortOut) functions_.PortOut(static_cast<unsigned short>(port), value);
    }
    uint8_t Port_In(unsigned port) const {
        return functions_.PortIn ? functions_.PortIn(static_cast<unsigned short>(port)) : 0;
    }

    // Prepares the port at `base`: clears the direction bit of the control
    // register, leaving its other bits as they were, and turns the LED off.
    void Prepare_Port(unsigned base) const;

private:
    void* handle_ = nullptr;
    TPort_Function_Table functions_;
    TPort_Signal_Table signals_;
    decltype(&::IoPortDescription) port_description_ = nullptr;  // when the library has it
    decltype(&::IoBackendName) backend_name_ = nullptr;          // when the library has it
    std::string load_error_;
};

// One line on what the port library `name` leaves undone: not loaded (and
// the loader's reason), or loaded without PortOut or PortIn (and what still
// works). Empty when both are there. Judged on the function table, so a
// table set by hand counts as loaded.
std::string Port_Library_Problem(const TPort_Library& port, const std::string& name);

}  // namespace qev

#endif
