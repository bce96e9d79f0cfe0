// Importing code file records into the Command table and exporting them.
#include "app/core/table_codes.h"
#include "io/sim_remote.h"
#include "ir/code_files.h"
#include "ir/decoder.h"
#include "ir/lircd_conf.h"
#include "ir/protocols.h"
#include "ir/sampling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qev {
namespace {

constexpr int32_t Nec_Frame_Samples = 864;  // 108 ms

TIR_Record Parsed(const std::string& name, TProtocol protocol, uint32_t address, uint32_t command) {
    return {name, TIR_Code{protocol, address, command}, {}};
}

TIR_Record Raw(const std::string& name, std::vector<int32_t> durations) { return {name, std::nullopt, {durations}}; }

// What the simulated remote puts on the receiver line, read at the start
// of each sample period as a capture would.
TLevels Simulated_Remote(unsigned address, unsigned command, int32_t samples) {
    const io::Waveform waveform = io::Waveform::nec(address, command, 0);
    io::WaveformCursor cursor;
    cursor.attach(&waveform);
    TLevels levels;
    for (int32_t i = 0; i < samples; ++i) levels.push_back(cursor.level(int64_t{i} * io::kCellNs) ? 1 : 0);
    return levels;
}

class Table_Codes_Test : public ::testing::Test {
protected:
    TCommand_Table table;
    TImport_Limits limits{8, 4000};
    void SetUp() override { table.Allocate(8, 500); }
    TImport_Result Import(const std::vector<TIR_Record>& records) { return Import_Records(records, table, limits); }
};

TEST_F(Table_Codes_Test, A_Parsed_Nec_Code_Is_The_Simulated_Remotes_Waveform) {
    const TImport_Result result = Import({Parsed("POWER", TProtocol::NEC, 0x04, 0x08)});
    EXPECT_EQ(result.Added, 1);
    ASSERT_EQ(table.Command_Count, 1);
    EXPECT_EQ(table.Row(0).Name, "POWER");
    EXPECT_EQ(table.Row(0).Byte_Count, Nec_Frame_Samples / 8);
    EXPECT_EQ(Row_Levels(table, 0), Simulated_Remote(0x04, 0x08, Nec_Frame_Samples));
}

TEST_F(Table_Codes_Test, Commands_End_Idle_Up_To_The_Frame_Period) {
    const TIR_Timing nec = Encode({TProtocol::NEC, 0x10, 0x20});
    std::vector<int32_t> without_gap = nec.Durations_us;
    without_gap.pop_back();
    // Raw durations of a Pioneer frame, told from NEC's by its 25 ms gap.
    const std::vector<int32_t> pioneer = Encode({TProtocol::Pioneer, 0xA5, 0x44}).Durations_us;
    struct TCase {
        const char* Name;
        TIR_Record Record;
        std::size_t Length;
    };
    const TCase cases[] = {
        {"parsed_nec", Parsed("a", TProtocol::NEC, 1, 2), 864},
        {"parsed_rc5", Parsed("b", TProtocol::RC5, 1, 2), 910},
        {"parsed_sirc", Parsed("c", TProtocol::SIRC, 1, 2), 360},
        {"raw_nec_without_its_gap", Raw("d", without_gap), 864},
        {"raw_nec_with_a_short_gap", Raw("e", {without_gap.begin(), without_gap.end()}), 864},
        {"raw_unknown_gets_a_40_ms_gap", Raw("f", {1000, 1000, 1000}), 24 + 320},
        {"raw_unknown_keeps_its_own_gap", Raw("g", {1000, 1000, 1000, 5000}), 64},
        {"cut_at_the_limit", Raw("h", {600000, 100}), 4000},
        // Each within the 1024 samples a command row holds by default.
        {"parsed_kaseikyo", Parsed("i", TProtocol::Kaseikyo, 0x200280, 0x3D0), 1023},
        {"parsed_nec42ext", Parsed("j", TProtocol::NEC42ext, 0x3FFFFFF, 0xFFFF), 1022},
        {"parsed_rca", Parsed("k", TProtocol::RCA, 5, 0x16), 512},
        {"parsed_pioneer", Parsed("l", TProtocol::Pioneer, 0xA5, 0x44), 718},
        {"raw_pioneer", Raw("m", pioneer), 718},
    };
    for (const TCase& c : cases) {
        bool cut = false;
        const TLevels levels = Levels_Of_Record(c.Record, limits.Samples, &cut);
        EXPECT_EQ(levels.size(), c.Length) << c.Name;
        EXPECT_EQ(cut, std::string(c.Name) == "cut_at_the_limit") << c.Name;
    }
}

// A raw record whose durations are not multiples of a sample keeps every
// edge within half a sample of its time.
// Several frames of a code's durations, each edge moved as a receiver
// moves it (marks longer, spaces shorter), the final space left out.
std::vector<int32_t> Captured(TProtocol protocol, uint32_t address, uint32_t command, int frames, int32_t change) {
    const std::vector<int32_t> frame = Encode({protocol, address, command}).Durations_us;
    std::vector<int32_t> durations;
    for (int f = 0; f < frames; ++f) {
        for (std::size_t i = 0; i < frame.size(); ++i) durations.push_back(frame[i] + (i % 2 == 0 ? change : -change));
    }
    durations.pop_back();
    return durations;
}

TEST(Table_Codes, Decode_Record_Tells_What_The_Waveform_Decodes_As) {
    struct Row {
        const char* name;
        TIR_Record record;
        int32_t max_samples;
        bool known;  // decodes to a code
    };
    const std::vector<Row> rows = {
        {"parsed", Parsed("p", TProtocol::RC6, 0x12, 0x34), 4000, true},
        {"NEC capture, two frames", Raw("n", Captured(TProtocol::NEC, 0x04, 0x08, 2, 40)), 4000, true},
        {"RC5 capture, three frames", Raw("r5", Captured(TProtocol::RC5, 0x05, 0x21, 3, 60)), 4000, true},
        {"RC6 capture", Raw("r6", Captured(TProtocol::RC6, 0x80, 0x0C, 1, 30)), 4000, true},
        {"SIRC capture, ending on a space", Raw("s", Encode({TProtocol::SIRC, 0x01, 0x15}).Durations_us), 4000, true},
        {"cut within the second frame", Raw("c", Captured(TProtocol::NEC, 0x04, 0x08, 2, 0)), 1000, true},
        {"cut within the first frame", Raw("c1", Captured(TProtocol::RC5, 0x05, 0x21, 1, 0)), 100, false},
        {"unknown, ending on a mark", Raw("u", {3000, 1500, 400, 1200, 400, 400, 400}), 4000, false},
        {"nothing", Raw("e", {}), 4000, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<TDecoded> sampled = Decode_Levels(Levels_Of_Record(row.record, row.max_samples));
        const std::optional<TDecoded> direct = Decode_Record(row.record, row.max_samples);
        ASSERT_EQ(sampled.has_value(), row.known);
        ASSERT_EQ(direct.has_value(), row.known);
        if (!direct) continue;
        EXPECT_EQ(direct->Code, sampled->Code);
        EXPECT_EQ(direct->Repeats, sampled->Repeats);
        EXPECT_EQ(direct->First_Frame_Start, sampled->First_Frame_Start);
        EXPECT_EQ(direct->Last_Frame_Start, sampled->Last_Frame_Start);
    }
}

TEST_F(Table_Codes_Test, Raw_Durations_Off_The_Grid_Keep_Their_Edge_Times) {
    std::vector<int32_t> durations;
    for (int i = 0; i < 41; ++i) durations.push_back(i % 2 == 0 ? 530 + 3 * i : 1690 - 7 * i);
    const TLevels levels = Levels_Of_Record(Raw("x", durations), limits.Samples);
    int64_t t = 0;
    std::size_t edge = 0;
    for (std::size_t i = 1; i < levels.size(); ++i) {
        if (levels[i] == levels[i - 1]) continue;
        t += durations[edge++];
        EXPECT_LE(std::abs(static_cast<double>(i) * Sample_Period_us - static_cast<double>(t)), 62.5) << edge;
    }
    EXPECT_EQ(edge, durations.size());
}

TEST_F(Table_Codes_Test, Import_Appends_Skips_Known_Names_And_Stops_When_Full) {
    Import({Parsed("OLD", TProtocol::NEC, 1, 1)});
    std::vector<TIR_Record> records{Parsed("OLD", TProtocol::NEC, 2, 2), Parsed("A", TProtocol::NEC, 3, 3),
                                    Parsed("A", TProtocol::NEC, 4, 4), Raw("", {500, 500, 500})};
    for (int i = 0; i < 6; ++i) records.push_back(Parsed("K" + std::to_string(i), TProtocol::RC6, 0, i));
    const TImport_Result result = Import(records);
    EXPECT_EQ(result.Added, 7);
    EXPECT_EQ(result.Duplicates, 2);
    EXPECT_EQ(result.First_Duplicate, "OLD");
    EXPECT_EQ(result.Left_Out, 1);
    ASSERT_EQ(table.Command_Count, 8);
    EXPECT_EQ(table.Row(0).Name, "OLD");
    EXPECT_EQ(Decode_Levels(Row_Levels(table, 0))->Code.Address, 1u);  // the old row is kept
    EXPECT_EQ(table.Row(1).Name, "A");
    EXPECT_EQ(Decode_Levels(Row_Levels(table, 1))->Code.Command, 3u);  // the first of the file's two
    EXPECT_EQ(table.Row(2).Name, "Code_003");
    EXPECT_EQ(table.Row(7).Name, "K4");
    EXPECT_EQ(Describe_Import(result),
              (std::vector<std::string>{"2 commands were not added: the name is already in the table (first: OLD)",
                                        "1 command was not added: the table is full (MAX_RMTCMD_NUM)"}));
}

// Many records at once: each row gets its own record's waveform, sampled
// straight into its bytes, and the counts are those of importing the records
// one by one (some cut at the sample limit, duplicates left out).
TEST(Table_Codes, Many_Records_At_Once_Are_The_Records_One_By_One) {
    std::vector<TIR_Record> records;
    for (uint32_t i = 0; i < 300; ++i) {
        const std::string name = "K" + std::to_string(i % 290);  // ten duplicates at the end
        if (i % 3 == 0) {
            records.push_back(Parsed(name, i % 2 == 0 ? TProtocol::NEC : TProtocol::RC5, i % 32, i % 64));
        } else {
            std::vector<int32_t> durations = Encode({TProtocol::SIRC, i % 32, i % 128}).Durations_us;
            // Every seventh a long signal that the limit cuts.
            if (i % 7 == 0) durations.insert(durations.end(), {400000, 600});
            records.push_back(Raw(name, durations));
        }
    }
    const TImport_Limits limits{400, 2000};
    TCommand_Table together, one_by_one;
    together.Allocate(400, 250);
    one_by_one.Allocate(400, 250);
    const TImport_Result result = Import_Records(records, together, limits);
    TImport_Result added_singly;
    for (const TIR_Record& record : records) {
        const TImport_Result one = Import_Records({record}, one_by_one, limits);
        added_singly.Added += one.Added;
        added_singly.Cut += one.Cut;
        added_singly.Duplicates += one.Duplicates;
    }
    EXPECT_EQ(result.Added, 290);
    EXPECT_EQ(result.Added, added_singly.Added);
    EXPECT_EQ(result.Cut, added_singly.Cut);
    EXPECT_GT(result.Cut, 0);
    EXPECT_EQ(result.Duplicates, added_singly.Duplicates);
    ASSERT_EQ(together.Command_Count, one_by_one.Command_Count);
    for (int32_t row = 0; row < together.Command_Count; ++row) {
        SCOPED_TRACE(together.Row(row).Name);
        EXPECT_EQ(together.Row(row).Name, one_by_one.Row(row).Name);
        EXPECT_EQ(Row_Levels(together, row), Row_Levels(one_by_one, row));
        // A row holds whole bytes: the waveform and idle samples to the byte's end.
        TLevels own = Levels_Of_Record(records[static_cast<std::size_t>(row)], 2000);
        own.resize((own.size() + 7) / 8 * 8, 0);
        EXPECT_EQ(Row_Levels(together, row), own);
    }
}

// A check keeps no waveforms: the rows get their names only, and it says
// what the import says (the same rows added, cut, left out and renamed).
TEST(Table_Codes, Without_Waveforms_The_Import_Tells_The_Same) {
    std::vector<TIR_Record> records{Parsed("A", TProtocol::NEC, 1, 1),
                                    Parsed("A", TProtocol::NEC, 2, 2),
                                    Raw("LONG", {9000, 4500, 560, 900000, 560}),
                                    Parsed("VOL,UP", TProtocol::RC6, 0, 1),
                                    Raw("", {500, 500, 500}),
                                    Parsed(std::string(Command_Name_Limit + 5, 'N'), TProtocol::SIRC, 1, 2)};
    for (uint32_t i = 0; i < 5; ++i) records.push_back(Parsed("K" + std::to_string(i), TProtocol::RC5, 0, i));
    const auto import = [&](bool waveforms, TCommand_Table& table) {
        table.Allocate(8, 500);
        return Import_Records(records, table, {8, 4000, true, waveforms});
    };
    TCommand_Table sampled, named;
    const TImport_Result full = import(true, sampled);
    const TImport_Result check = import(false, named);
    EXPECT_EQ(Describe_Import(check), Describe_Import(full));
    EXPECT_EQ(check.Cut, 1);
    EXPECT_EQ(check.Left_Out, 1);
    EXPECT_EQ(check.Renamed, 1);
    ASSERT_EQ(named.Command_Count, sampled.Command_Count);
    for (int32_t row = 0; row < named.Command_Count; ++row) {
        EXPECT_EQ(named.Row(row).Name, sampled.Row(row).Name);
        EXPECT_GT(sampled.Row(row).Byte_Count, 0);
        EXPECT_EQ(named.Row(row).Byte_Count, 0);
    }
}

// Whether a record is cut can hang on what it decodes to (a known
// protocol's frame period, an unknown signal's gap) or on its code's
// encoding: a check tells it as the import does, near the limit as well as
// far from it.
TEST(Table_Codes, Without_Waveforms_A_Cut_Is_Told_Where_The_Signal_Decides_It) {
    std::vector<int32_t> nec = Encode({TProtocol::NEC, 0x04, 0x08}).Durations_us;
    nec.pop_back();  // as captured: 540 samples, its frame period 864
    struct Row {
        const char* name;
        TIR_Record record;
        int32_t limit;
        bool cut;
    };
    const std::vector<Row> rows = {
        {"NEC: the frame period goes beyond", Raw("R", nec), 700, true},
        {"NEC: the frame period fits", Raw("R", nec), 900, false},
        {"NEC: far within", Raw("R", nec), 20000, false},
        {"NEC: the frame alone goes beyond", Raw("R", nec), 500, true},
        {"unknown ending on a mark: its gap goes beyond", Raw("R", {500, 500, 500}), 200, true},
        {"unknown ending on a mark: its gap fits", Raw("R", {500, 500, 500}), 400, false},
        {"unknown ending on a space: no gap", Raw("R", {500, 500, 500, 500}), 100, false},
        {"NEC code: its period goes beyond", Parsed("P", TProtocol::NEC, 4, 8), 800, true},
        {"NEC code: its period fits", Parsed("P", TProtocol::NEC, 4, 8), 900, false},
        {"SIRC code: its period fits where NEC's would not", Parsed("P", TProtocol::SIRC, 1, 2), 400, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto import = [&](bool waveforms) {
            TCommand_Table table;
            table.Allocate(1, 500);
            return Import_Records({row.record}, table, {1, row.limit, true, waveforms}).Cut;
        };
        EXPECT_EQ(import(true), row.cut ? 1 : 0);
        EXPECT_EQ(import(false), row.cut ? 1 : 0);
    }
}

// A table given rows as records come takes what a table sized for them
// takes: the same rows, the same duplicates found across its growth (the
// names move with their rows), the same left out beyond the limit.
TEST(Table_Codes, A_Table_Growing_With_The_Records_Takes_What_A_Sized_One_Takes) {
    std::vector<TIR_Record> records;
    for (uint32_t i = 0; i < 2500; ++i) {
        // Every 50th repeats a name from the start; every 40th has none.
        const std::string name = i % 40 == 0    ? ""
                                 : i % 50 == 49 ? "KEY_" + std::to_string(i / 50)
                                                : "KEY_" + std::to_string(i);
        records.push_back(i % 3 == 0 ? Raw(name, {900, 450, 56, 300}) : Parsed(name, TProtocol::NEC, 1, i % 256));
    }
    for (const int32_t limit : {2200, 5000}) {
        SCOPED_TRACE(limit);
        TCommand_Table sized, growing;
        sized.Allocate(2500, 100);
        growing.Allocate(0, 100);
        const TImport_Result expected = Import_Records(records, sized, {limit, 800});
        TImporter importer(growing, {limit, 800, true, true, true});
        for (const TIR_Record& record : records) importer.Add(record);
        EXPECT_EQ(Describe_Import(importer.Result()), Describe_Import(expected));
        EXPECT_GT(expected.Duplicates, 0);
        EXPECT_EQ(expected.Left_Out, limit == 2200 ? 2500 - 2200 - expected.Duplicates : 0);
        EXPECT_LE(growing.Rows(), limit);
        ASSERT_EQ(growing.Rows_In_Use(), sized.Rows_In_Use());
        for (int32_t row = 0; row < sized.Rows_In_Use(); ++row) {
            EXPECT_EQ(growing.Row(row).Name, sized.Row(row).Name);
            EXPECT_EQ(Row_Levels(growing, row), Row_Levels(sized, row));
        }
    }
}

// A name a Command file cannot hold would be split when the table is saved
// (a ',' starts the bytes, a ';' a comment, "@REPEAT" makes the line the
// repetition count): such a record is left out and told, unless the table
// is never to be saved.
TEST_F(Table_Codes_Test, Names_A_Command_File_Cannot_Hold_Are_Left_Out_Unless_Never_Saved) {
    const std::vector<TIR_Record> records{Parsed("VOL,UP", TProtocol::NEC, 1, 1), Parsed("MUTE;", TProtocol::NEC, 1, 2),
                                          Parsed("A @REPEAT B", TProtocol::NEC, 1, 3),
                                          Parsed("TAB\tKEY", TProtocol::NEC, 1, 4),
                                          Parsed("POWER", TProtocol::NEC, 1, 5)};
    const TImport_Result result = Import(records);
    EXPECT_EQ(result.Added, 1);
    ASSERT_EQ(table.Command_Count, 1);
    EXPECT_EQ(table.Row(0).Name, "POWER");
    EXPECT_EQ(Describe_Import(result),
              (std::vector<std::string>{
                  "'VOL,UP' was not added: a command name cannot hold ',' (it separates the fields of a Command file)",
                  "'MUTE;' was not added: a command name cannot hold ';' (it starts a comment in a Command file)",
                  "'A @REPEAT B' was not added: a command name cannot hold '@REPEAT' (it marks the repetition line "
                  "of a Command file)",
                  "'TAB\tKEY' was not added: a command name cannot hold control characters"}));

    TCommand_Table unsaved;
    unsaved.Allocate(8, 500);
    const TImport_Result taken = Import_Records(records, unsaved, {8, 4000, false});
    EXPECT_EQ(taken.Added, 5);
    EXPECT_TRUE(Describe_Import(taken).empty());
    EXPECT_EQ(unsaved.Row(0).Name, "VOL,UP");
}

TEST_F(Table_Codes_Test, Long_Names_Are_Cut_And_Told) {
    const std::string long_name(100, 'n');
    const TImport_Result result = Import({Parsed(long_name, TProtocol::NEC, 1, 1)});
    EXPECT_EQ(result.Renamed, 1);
    EXPECT_EQ(table.Row(0).Name, long_name.substr(0, Command_Name_Limit));
    EXPECT_EQ(Import({Parsed(long_name, TProtocol::NEC, 1, 1)}).Duplicates, 1);  // same name once cut
}

// Every format written from the table and read back gives the same
// waveforms, sample for sample. A lircd.conf remote has one gap for all its
// keys, the longest: there only the signals are the same, and the idle end
// may grow.
TEST_F(Table_Codes_Test, Every_Format_Round_Trips_The_Table) {
    Import({Parsed("NEC", TProtocol::NEC, 0x04, 0x08), Parsed("RC6", TProtocol::RC6, 0x00, 0x0C),
            Parsed("SONY", TProtocol::SIRC15, 0x97, 0x2A), Raw("ODD", {375, 250, 1250, 125, 625, 3000})});
    for (const TCode_Format format : {TCode_Format::Flipper, TCode_Format::Lircd, TCode_Format::Pronto}) {
        SCOPED_TRACE(Format_Name(format));
        const std::string text = Code_File_Text(Export_Records(table, format == TCode_Format::Flipper), format, "tv");
        TIR_File file;
        const std::string path = ::testing::TempDir() + "/round_trip" +
                                 (format == TCode_Format::Flipper ? ".ir"
                                  : format == TCode_Format::Lircd ? ".conf"
                                                                  : ".pronto");
        ASSERT_EQ(Save_Text_File(path, text), 0);
        file = Read_Code_File(path, format);
        EXPECT_TRUE(file.Errors.empty()) << (file.Errors.empty() ? "" : file.Errors[0].Message);
        TCommand_Table copy;
        copy.Allocate(8, 500);
        Import_Records(file.Records, copy, limits);
        ASSERT_EQ(copy.Command_Count, table.Command_Count);
        for (int32_t row = 0; row < table.Command_Count; ++row) {
            EXPECT_EQ(copy.Row(row).Name, table.Row(row).Name);
            TLevels original = Row_Levels(table, row);
            TLevels read_back = Row_Levels(copy, row);
            if (format == TCode_Format::Lircd) {
                // A lircd.conf keeps one gap for the remote, which every key
                // read back ends with: at least a frame's end.
                const auto signal_end = [](const TLevels& levels) {
                    const auto idle_end = std::find(levels.rbegin(), levels.rend(), 1) - levels.rbegin();
                    return levels.size() - static_cast<std::size_t>(idle_end);
                };
                EXPECT_GE(read_back.size() - signal_end(read_back), Sample_Of_us(Min_Frame_End_us));
                original.resize(signal_end(original));
                read_back.resize(signal_end(read_back));
            }
            EXPECT_EQ(read_back, original) << table.Row(row).Name;
        }
    }
}

TEST_F(Table_Codes_Test, Flipper_Export_Names_The_Codes_It_Knows) {
    Import({Parsed("NEC", TProtocol::NEC, 0x04, 0x08), Raw("ODD", {375, 250, 1250})});
    const std::vector<TIR_Record> records = Export_Records(table, true);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Code, (TIR_Code{TProtocol::NEC, 0x04, 0x08}));
    EXPECT_FALSE(records[1].Code.has_value());
    // 15 samples of signal and the 40 ms gap, filled up to whole bytes.
    EXPECT_EQ(records[1].Timing.Durations_us, (std::vector<int32_t>{375, 250, 1250, 336 * 125 - 1875}));
}

}  // namespace
}  // namespace qev
