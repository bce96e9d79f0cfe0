#include "irport/port_library.h"

#include <dlfcn.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace qev {

namespace {

// Libraries still loaded, released by the process-exit hook. The program has
// one; tests create many.
std::vector<TPort_Library*>& Live_Libraries() {
    static std::vector<TPort_Library*> libraries;
    return libraries;
}

void Unload_All_At_Exit() {
    auto libraries = Live_Libraries();  // copy: unloading edits the list
    for (TPort_Library* library : libraries) library->Unload_Port_Library();
}

template <typename F>
void Resolve_Slot(void* handle, const char* name, F& slot) {
    slot = reinterpret_cast<F>(dlsym(handle, name));
}

}  // namespace

TPort_Library::TPort_Library() = default;

TPort_Library::~TPort_Library() { Unload_Port_Library(); }

int TPort_Library::Load_Port_Library(const char* name) {
    Unload_Port_Library();
    handle_ = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    // The executable's RUNPATH only counts when the executable itself calls
    // dlopen; a runtime that intercepts the call (the sanitizers do) hides
    // it. The folder of the executable is then tried by hand.
    if (!handle_ && std::strchr(name, '/') == nullptr) {
        std::error_code error;
        const auto folder = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
        if (!error) handle_ = dlopen((folder / name).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle_) {
        const char* error = dlerror();
        load_error_ = error ? error : "unknown reason";
        return 1;
    }
    load_error_.clear();
    TPort_Function_Table& t = functions_;
    Resolve_Slot(handle_, "PortOut", t.PortOut);
    Resolve_Slot(handle_, "PortWordOut", t.PortWordOut);
    Resolve_Slot(handle_, "PortDWordOut", t.PortDWordOut);
    Resolve_Slot(handle_, "PortIn", t.PortIn);
    Resolve_Slot(handle_, "PortWordIn", t.PortWordIn);
    Resolve_Slot(handle_, "PortDWordIn", t.PortDWordIn);
    Resolve_Slot(handle_, "SetPortBit", t.SetPortBit);
    Resolve_Slot(handle_, "ClrPortBit", t.ClrPortBit);
    Resolve_Slot(handle_, "NotPortBit", t.NotPortBit);
    Resolve_Slot(handle_, "GetPortBit", t.GetPortBit);
    Resolve_Slot(handle_, "RightPortShift", t.RightPortShift);
    Resolve_Slot(handle_, "LeftPortShift", t.LeftPortShift);
    Resolve_Slot(handle_, "IsDriverInstalled", t.IsDriverInstalled);
    Resolve_Slot(handle_, "IoSignalFeatures", signals_.IoSignalFeatures);
    Resolve_Slot(handle_, "IoSignalSend", signals_.IoSignalSend);
    Resolve_Slot(handle_, "IoSignalReceive", signals_.IoSignalReceive);
    Resolve_Slot(handle_, "IoSignalError", signals_.IoSignalError);
    Resolve_Slot(handle_, "IoSignalCancel", signals_.IoSignalCancel);
    Resolve_Slot(handle_, "IoPortDescription", port_description_);
    Resolve_Slot(handle_, "IoBackendName", backend_name_);
    static const bool registered = std::atexit(Unload_All_At_Exit) == 0;
    (void)registered;
    Live_Libraries().push_back(this);
    return 0;
}

int TPort_Library::Unload_Port_Library() {
    if (!handle_) return 0;
    void* handle = handle_;
    handle_ = nullptr;
    functions_ = TPort_Function_Table{};
    signals_ = TPort_Signal_Table{};
    port_description_ = nullptr;
    backend_name_ = nullptr;
    auto& live = Live_Libraries();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    return dlclose(handle);
}

std::string Port_Library_Problem(const TPort_Library& port, const std::string& name) {
    const TPort_Function_Table& f = port.Functions();
    const std::string library = "the port library " + name;
    if (f.PortOut && f.PortIn) return {};
    if (!f.PortOut && !f.PortIn) {
        if (!port.Loaded() && !port.Load_Error().empty())
            return library + " could not be loaded (" + port.Load_Error() + "): sending and learning are off";
        return library + " has neither PortOut nor PortIn: sending and learning are off";
    }
    if (!f.PortIn) return library + " has no PortIn: learning is off, sending works";
    return library + " has no PortOut: sending is off, learning works";
}

std::string TPort_Library::Signal_Error() const {
    const char* words = signals_.IoSignalError ? signals_.IoSignalError() : nullptr;
    return words && *words ? words : "the port takes no whole signals";
}

void* TPort_Library::Resolve(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

std::string TPort_Library::Port_Description() const {
    if (!handle_) return {};
    for (const auto text : {port_description_, backend_name_}) {
        const char* words = text ? text() : nullptr;
        if (words && *words) return words;
    }
    return "unknown";
}

void TPort_Library::Prepare_Port(unsigned base) const {
    const unsigned control = base + Control_Register;
    // Without a way to read the control register, leave it alone rather than
    // overwrite bits we cannot see.
    if (functions_.PortIn) Port_Out(control, static_cast<uint8_t>(Port_In(control) & ~Direction_Bit));
    Port_Out(base + Data_Register, Data_LED_Off);
}

}  // namespace qev
