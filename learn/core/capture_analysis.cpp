#include "learn/core/capture_analysis.h"

#include "ir/decoder.h"

#include "base/text_scan.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace qev {

namespace {

void Append_Line(std::string& text, int32_t index, unsigned value) {
    char line[32];
    const int n = std::snprintf(line, sizeof line, "%03d: %02X\n", index, value & 0xFFu);
    text.append(line, static_cast<std::size_t>(n));
}

}  // namespace

std::optional<int32_t> Propose_Data_Length(const int32_t* samples, int32_t count, int32_t tolerance) {
    int32_t leader = 0;
    while (leader < count && samples[leader] != 0) ++leader;
    const int64_t threshold = int64_t{leader} - tolerance;
    if (threshold <= 0) return std::nullopt;
    int64_t run = 0;
    for (int32_t k = leader; k < count; ++k) {
        run = samples[k] != 0 ? run + 1 : 0;
        if (run > threshold) return static_cast<int32_t>(k - run + 1);
    }
    return std::nullopt;
}

int32_t Leading_Digits_Value(std::string_view text) {
    std::size_t pos = 0;
    return Scan_Leading_Integer(text, pos).value_or(0);
}

std::string Sample_Listing(const int32_t* samples, int32_t count) {
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * 11 + 80);
    text.append("===== IR Receive Start Here =====\n");
    for (int32_t i = 0; i < count; ++i) Append_Line(text, i, static_cast<unsigned>(samples[i]));
    text.append("******** IR Receive End *********");
    return text;
}

std::string Byte_Dump(const TCommand_Record& row) {
    std::string text(">>>>>>> File Data Start <<<<<<<\n");
    const int32_t bytes = std::clamp<int32_t>(row.Byte_Count, 0, static_cast<int32_t>(row.Bytes.size()));
    for (int32_t b = 0; b < bytes; ++b) Append_Line(text, b, row.Bytes[static_cast<std::size_t>(b)]);
    text.append(">>>>>>> File Data END <<<<<<<");
    return text;
}

int32_t Max_Data_Length(const TQEV_State& state) {
    return std::min(state.Samples.Capacity(), 8 * state.Table.Row_Capacity());
}

int32_t Capture_Length(const TQEV_State& state) {
    return std::clamp(state.Settings.MAX_RMTCMD_BIT_LENGTH, 0, Max_Data_Length(state));
}

bool Check_Data_Length(TQEV_State& state, int32_t length) {
    const int32_t max_length = Max_Data_Length(state);
    if (length >= 1 && length <= max_length) return true;
    state.Feedback.Show_Error("Data Length must be between 1 and " + std::to_string(max_length), "Data Length Error");
    return false;
}

TRegistration Register_Command(TQEV_State& state, const std::string& name, int32_t length) {
    state.Samples.Sample_Count = length;
    TUser_Feedback& feedback = state.Feedback;
    if (state.Find_Command(name) >= 0) {
        feedback.Show_Error("Duplicated Command Name is detected !!: " + name, "Command Name Error");
        return {TRegistration_Result::Duplicate_Name};
    }
    if (name.empty()) {
        feedback.Show_Error("Command Name is not presented !!", "Duplicated Error");
        return {TRegistration_Result::Empty_Name};
    }
    if (name.size() > static_cast<std::size_t>(Command_Name_Limit) || name.find('\0') != std::string::npos) {
        feedback.Show_Error("Command Name is too long (79 characters at most)", "Command Name Error");
        return {TRegistration_Result::Name_Too_Long};
    }
    if (!Check_Data_Length(state, length)) return {TRegistration_Result::Bad_Length};
    const int32_t row = state.Table.Command_Count;
    if (row >= state.Row_Limit()) {
        feedback.Show_Error("The Command table is full (" + std::to_string(state.Row_Limit()) +
                                " commands): save it and clear it, or raise MAX_RMTCMD_NUM for the next start",
                            "Registration Error");
        return {TRegistration_Result::Table_Full};
    }
    state.Pack_Command(row);
    state.Table.Set_Name(row, name);
    ++state.Table.Command_Count;
    state.Origin.Rows_Added();
    state.View.Refresh_Command_View();
    return {TRegistration_Result::Registered, row};
}

std::string Decoded_Text(const int32_t* samples, int32_t count) {
    if (count <= 0) return {};
    std::vector<uint8_t> levels(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) levels[static_cast<std::size_t>(i)] = samples[i] != 0 ? 1 : 0;
    return Describe_Decoded(Decode_Levels(levels));
}

}  // namespace qev
