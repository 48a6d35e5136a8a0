// SPDX-License-Identifier: MIT
// The run record the test form leaves: the numbers behind the table, each configuration's
// values, the choice, the identity and the calibration outcome (where an error stopped the run
// is checked with the whole runs).

#include <gtest/gtest.h>

#include "testrun_fixture.h"

namespace quillon::testing {
namespace {

TEST(RunRecord, HoldsTheTableNumbersEachConfigurationAndTheRun) {
    FormFixture f;
    f.settings.preset = testrun::PresetChoice{std::vector{2}, std::nullopt, std::nullopt};
    // Source 1's four configurations, then source 2's one.
    f.fake.onQuery("FETCh:PFERror:FERRor:WORSt?", {"-3.5", "12.25", "1.0", "-0.5", "2.0"});
    f.fake.onQuery("FETCh:EMACcuracy:INTegrity?", {"5", "0", "0", "0"});
    const testrun::RunOutcome outcome = f.prepared().runTest();
    const testrun::RunRecord& r = f.form().runRecord();

    const testrun::TestSetIdentity& id = r.testSet;
    EXPECT_EQ(
        (Strings{id.manufacturer, id.model, id.serialNumber, id.firmware, id.testApplication,
                 id.testApplicationRevision, id.resource}),
        (Strings{"Corvane", "47501A", kSerial, "A.01.02", "K2210", "A.05.17", "GPIB0::14::INSTR"}));
    EXPECT_EQ(r.choice.bands, std::vector<int>{2});
    EXPECT_EQ(r.choice.tests, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(r.choice.iterations, 50);
    EXPECT_TRUE(r.calibration.checked);
    EXPECT_FALSE(r.calibration.delaySettingWritten || r.calibration.dataDelayWritten);
    EXPECT_EQ(r.calibration.gridCode, "");
    EXPECT_LE(r.start, r.end);
    EXPECT_FALSE(r.stoppedBy);

    // One record per table row, in the table's order, with the table's texts.
    const testrun::ResultsGrid& grid = f.form().grid();
    ASSERT_EQ(r.results.size(), 14u);
    ASSERT_EQ(grid.rows(), 3 + 14);
    for (std::size_t i = 0; i < r.results.size(); ++i) {
        const int row = 3 + static_cast<int>(i);
        EXPECT_EQ(r.results[i].name, grid.cell(row, 2)) << i;
        EXPECT_EQ(r.results[i].passFail, grid.cell(row, 7)) << i;
        EXPECT_EQ(std::to_string(r.results[i].source), grid.cell(row, 1)) << i;
        EXPECT_EQ(r.results[i].bandName, "PGSM");
        EXPECT_EQ(r.results[i].frequencyHz, 943000000);
        EXPECT_EQ(r.results[i].configurations.size(), r.results[i].source == 1 ? 4u : 1u) << i;
    }
    const testrun::ResultRecord& freq = r.results[0];
    EXPECT_EQ(freq.test, 0);
    EXPECT_DOUBLE_EQ(freq.value, 12.25);
    EXPECT_DOUBLE_EQ(freq.margin(), 7.75);
    const double expected[] = {-3.5, 12.25, 1.0, -0.5};
    for (std::size_t c = 0; c < 4; ++c) {
        EXPECT_EQ(freq.configurations[c].config, static_cast<int>(c));
        EXPECT_DOUBLE_EQ(freq.configurations[c].value, expected[c]);
    }
    const testrun::ResultRecord& origin = r.results[8];
    EXPECT_EQ(origin.name, "EPSK Origin Offset");
    EXPECT_EQ(origin.test, 4);
    EXPECT_FALSE(origin.highLimit);
    EXPECT_DOUBLE_EQ(origin.margin(), 5.0);
    EXPECT_EQ(origin.configurations[0].integrity, 5);
    EXPECT_EQ(origin.configurations[2].integrity, 0);
    EXPECT_EQ(r.results[7].passFail, "Fail ( 5)");  // RMS EVM takes the integrity
    EXPECT_DOUBLE_EQ(r.results[9].configurations[0].value, 2.0);
    EXPECT_EQ(r.results[9].test, 5);
    EXPECT_EQ(r.failCount, outcome.failCount);
    EXPECT_FALSE(r.pass);
}

}  // namespace
}  // namespace quillon::testing
