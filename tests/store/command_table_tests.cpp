// Packing samples into rows, unpacking them, and finding rows by name.
#include "store/command_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace qev {
namespace {

class Command_Table_Test : public ::testing::Test {
protected:
    TCommand_Table table;
    TSample_Buffer buffer;

    void SetUp() override {
        table.Allocate(16, Row_Capacity_For(1024));
        buffer.Allocate(1024, Row_Capacity_For(1024));
    }
    void Fill(const std::vector<int32_t>& samples) {
        for (std::size_t i = 0; i < samples.size(); ++i) buffer[static_cast<int32_t>(i)] = samples[i];
        buffer.Sample_Count = static_cast<int32_t>(samples.size());
    }
    std::vector<int32_t> Unpacked(int32_t row) {
        Unpack_Command(table, row, buffer);
        return {buffer.Data(), buffer.Data() + buffer.Sample_Count};
    }
    void Name(int32_t row, const char* name) {
        table.Set_Name(row, name);
        table.Command_Count = std::max(table.Command_Count, row + 1);
    }
};

TEST_F(Command_Table_Test, Eleven_Samples_Pack_Into_Two_Bytes_And_Unpack_To_Sixteen) {
    Fill({255, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255});
    Pack_Command(buffer, table, 0);
    EXPECT_EQ(table.Row(0).Byte_Count, 2);
    EXPECT_EQ(table.Row(0).Bytes[0], 0x01);
    EXPECT_EQ(table.Row(0).Bytes[1], 0x07);
    EXPECT_EQ(Unpacked(0), (std::vector<int32_t>{255, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0}));
}

TEST_F(Command_Table_Test, Byte_Counts_Follow_The_Sample_Count) {
    struct Row {
        const char* name;
        int32_t samples;
        int32_t bytes;
    };
    for (const Row& row : std::vector<Row>{{"empty", 0, 0},
                                           {"one", 1, 1},
                                           {"eight", 8, 1},
                                           {"nine", 9, 2},
                                           {"full buffer", 1024, 128},
                                           {"one short of a byte", 1017, 128}}) {
        SCOPED_TRACE(row.name);
        Fill(std::vector<int32_t>(static_cast<std::size_t>(row.samples), 255));
        Pack_Command(buffer, table, 1);
        EXPECT_EQ(table.Row(1).Byte_Count, row.bytes);
    }
}

TEST_F(Command_Table_Test, A_Partial_Last_Byte_Holds_Its_Samples_From_Bit_0) {
    std::vector<int32_t> samples(1017, 0);
    samples[1016] = 255;  // the only sample of byte 127
    samples[3] = 255;
    Fill(samples);
    Pack_Command(buffer, table, 0);
    EXPECT_EQ(table.Row(0).Bytes[127], 0x01);
    EXPECT_EQ(table.Row(0).Bytes[0], 0x08);
}

TEST_F(Command_Table_Test, Pack_Then_Unpack_Returns_The_Samples_Then_Idle_Padding) {
    std::vector<int32_t> samples;
    for (int i = 0; i < 37; ++i) samples.push_back((i * 7 % 5) < 2 ? 255 : 0);
    samples[5] = 16;  // any non-zero value is active
    samples[6] = 1;
    Fill(samples);
    Pack_Command(buffer, table, 2);
    std::vector<int32_t> expected;
    for (int32_t s : samples) expected.push_back(s ? 255 : 0);
    expected.resize(40, 0);
    EXPECT_EQ(Unpacked(2), expected);
}

TEST_F(Command_Table_Test, An_Empty_Row_Unpacks_To_Nothing) {
    buffer.Sample_Count = 99;
    table.Row(3).Byte_Count = 0;
    EXPECT_TRUE(Unpacked(3).empty());
    EXPECT_EQ(buffer.Sample_Count, 0);
}

TEST_F(Command_Table_Test, Packing_Never_Exceeds_The_Row) {
    Fill(std::vector<int32_t>(1024, 255));
    buffer.Sample_Count = 5000;  // more than a row can hold
    Pack_Command(buffer, table, 0);
    EXPECT_EQ(table.Row(0).Byte_Count, 128);
    EXPECT_EQ(table.Row(0).Bytes.size(), 128u);
    buffer.Sample_Count = -3;
    Pack_Command(buffer, table, 0);
    EXPECT_EQ(table.Row(0).Byte_Count, 0);
}

TEST_F(Command_Table_Test, Find_Command_Returns_The_First_Exact_Match_Among_Rows_In_Use) {
    for (int32_t i = 0; i < 8; ++i) Name(i, "X");
    Name(3, "POWER");
    Name(7, "POWER");
    EXPECT_EQ(Find_Command(table, "POWER"), 3);
    EXPECT_EQ(Find_Command(table, "power"), -1);
    EXPECT_EQ(Find_Command(table, "POWER "), -1);
    table.Command_Count = 0;  // cleared: old names stay but no longer count
    EXPECT_EQ(Find_Command(table, "POWER"), -1);
    EXPECT_EQ(table.Row(3).Name, "POWER");
}

TEST_F(Command_Table_Test, Rows_In_Use_Are_The_Command_Count_Within_The_Table) {
    struct Row {
        const char* name;
        int32_t command_count;
        int32_t expected;
    };
    const std::vector<Row> rows = {
        {"empty", 0, 0},     {"some", 5, 5}, {"every row", 16, 16}, {"more than the table holds", 17, 16},
        {"negative", -3, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        table.Command_Count = row.command_count;
        EXPECT_EQ(table.Rows_In_Use(), row.expected);
    }
    table.Release();
    table.Command_Count = 4;
    EXPECT_EQ(table.Rows_In_Use(), 0) << "a released table has no rows to use";
}

TEST_F(Command_Table_Test, Names_Are_Cut_At_79_Bytes_And_At_NUL) {
    EXPECT_TRUE(table.Set_Name(0, std::string(79, 'a')));
    EXPECT_EQ(table.Row(0).Name.size(), 79u);
    EXPECT_FALSE(table.Set_Name(0, std::string(80, 'b')));
    EXPECT_EQ(table.Row(0).Name, std::string(79, 'b'));
    table.Set_Name(0, std::string("AB\0CD", 5));
    EXPECT_EQ(table.Row(0).Name, "AB");
}

TEST(Allocation, Sizes_Are_Clamped_To_What_Can_Be_Allocated) {
    struct Row {
        const char* name;
        int32_t rows, samples;
        int32_t expected_rows, expected_capacity, expected_buffer;
    };
    const std::vector<Row> rows = {
        {"defaults", 256, 1024, 256, 128, 1024},
        {"not a multiple of 8", 4, 1017, 4, 128, 1024},
        {"zero", 0, 0, 0, 0, 0},
        {"negative", -5, -100, 0, 0, 0},
        {"huge", 1 << 30, 1 << 30, Max_Table_Rows, Max_Buffer_Samples / 8, Max_Buffer_Samples},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TCommand_Table table;
        TSample_Buffer buffer;
        table.Allocate(row.rows, Row_Capacity_For(row.samples));
        buffer.Allocate(row.samples, Row_Capacity_For(row.samples));
        EXPECT_EQ(table.Rows(), row.expected_rows);
        EXPECT_EQ(table.Row_Capacity(), row.expected_capacity);
        EXPECT_EQ(buffer.Capacity(), row.expected_buffer);
        EXPECT_GE(buffer.Capacity(), 8 * table.Row_Capacity());
    }
}

}  // namespace
}  // namespace qev
