// Long actions: a macro run or a capture lets window events through while it
// works, so a request to close the program can arrive in the middle of it.
// While one is under way (a TBusy_Section is alive, TQEV_State::Busy) the
// window must not shut down: it sets TQEV_State::Stop_Requested (a macro run
// stops before its next line) and closes when the last one ends
// (TMain_View::Busy_Ended).
#ifndef QEV_APP_CORE_BUSY_SECTION_H
#define QEV_APP_CORE_BUSY_SECTION_H

namespace qev {

class TQEV_State;

// Marks a long action for its lifetime.
class TBusy_Section {
public:
    explicit TBusy_Section(TQEV_State& state);
    ~TBusy_Section();
    TBusy_Section(const TBusy_Section&) = delete;
    TBusy_Section& operator=(const TBusy_Section&) = delete;

private:
    TQEV_State& state_;
};

}  // namespace qev

#endif
