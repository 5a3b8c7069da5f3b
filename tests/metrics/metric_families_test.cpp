// The exposition text of known values: names, types, labels and their escaping, the gauges
// left out while they have no value; and promtool's check of the text.

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "metrics/metric_values.h"
#include "support/temp_folder.h"

namespace quorvex::metrics {
namespace {

MetricValues Known() {
    MetricValues v;
    v.frames[0][2] = 7;       // receiver 1, DF 11
    v.frames[1][5] = 123456;  // receiver 2, DF 20/21
    v.feedLines = {4, 5, 6};
    v.rejectedPackets = {0, 3};
    v.connectionsLost = {1, 0, 2};
    v.udpDatagramsDropped = 41;
    v.positions = {10, 0, 8};
    v.twinFrames = 99;
    v.positionFrames = {5, 3, 1};
    v.rangeMaxNm[0][0] = 120.5;
    v.rangeMaxNm[0][35] = 80.25;
    v.rangeMaxNm[2][9] = 60;
    v.rangeP95Nm = {110.0, std::nullopt, 55.0};
    v.levelMeanDbfs = {-21.5, std::nullopt};
    v.aircraft = {3, 2, 1, 0};
    v.up = {true, false, true};
    v.version = "0.3";
    v.process = {1.5, 4096, 12, 1.7e9};
    return v;
}

bool Has(const std::string& text, const std::string& line) {
    return text.find("\n" + line + "\n") != std::string::npos || text.starts_with(line + "\n");
}

TEST(MetricFamiliesTest, KnownValuesGiveTheirLinesAndNothingForGaugesWithoutAValue) {
    const std::string text = ExpositionText(MetricFamilies(Known()));
    for (const char* line : {
             "# TYPE quorvex_frames_total counter",
             "quorvex_frames_total{source=\"receiver1\",group=\"DF11\"} 7",
             "quorvex_frames_total{source=\"receiver2\",group=\"DF20_21\"} 123456",
             "quorvex_frames_total{source=\"receiver2\",group=\"DF0\"} 0",
             "quorvex_feed_lines_total{type=\"MSG5_6\"} 4",
             "quorvex_feed_lines_total{type=\"other\"} 6",
             "quorvex_packets_rejected_total{source=\"receiver2\"} 3",
             "quorvex_connections_lost_total{source=\"feed\"} 2",
             "# TYPE quorvex_udp_datagrams_dropped_total counter",
             "quorvex_udp_datagrams_dropped_total 41",
             "quorvex_positions_total{source=\"feed\"} 8",
             "quorvex_twin_frames_total 99",
             "quorvex_position_frames_total{heard_by=\"only1\"} 3",
             "# TYPE quorvex_range_max_nm gauge",
             "quorvex_range_max_nm{source=\"receiver1\",sector=\"0\"} 120.5",
             "quorvex_range_max_nm{source=\"receiver1\",sector=\"350\"} 80.25",
             "quorvex_range_max_nm{source=\"feed\",sector=\"90\"} 60",
             "quorvex_range_p95_nm{source=\"feed\"} 55",
             "quorvex_level_dbfs_mean{source=\"receiver1\"} -21.5",
             "quorvex_aircraft{heard_by=\"feed_only\"} 0",
             "quorvex_aircraft{heard_by=\"both\"} 3",
             "quorvex_up{source=\"receiver2\"} 0",
             "quorvex_up{source=\"feed\"} 1",
             "quorvex_build_info{version=\"0.3\"} 1",
             "# TYPE process_cpu_seconds_total counter",
             "process_cpu_seconds_total 1.5",
             "process_resident_memory_bytes 4096",
             "process_open_fds 12",
             "process_start_time_seconds 1700000000",
         }) {
        EXPECT_TRUE(Has(text, line)) << line << "\nin\n" << text;
    }
    // Gauges without a value, and the level comparison before any twin was compared.
    for (const char* absent : {"sector=\"10\"", "quorvex_range_p95_nm{source=\"receiver2\"}",
                               "quorvex_level_dbfs_mean{source=\"receiver2\"}",
                               "quorvex_level_delta_db", "quorvex_level_compared_total"}) {
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    }
    EXPECT_EQ(text.find("# TYPE quorvex_level"), text.find("# TYPE quorvex_level_dbfs_mean"));

    // Nothing placed at all: no range family is written, not even its header.
    MetricValues empty;
    const std::string none = ExpositionText(MetricFamilies(empty));
    EXPECT_EQ(none.find("quorvex_range"), std::string::npos);
    EXPECT_NE(none.find("quorvex_positions_total{source=\"receiver1\"} 0"), std::string::npos);
}

TEST(MetricFamiliesTest, TheLevelComparisonAndEscapedLabelValues) {
    MetricValues v = Known();
    v.levelCompared = 40;
    v.levelDeltaQuartilesDb = std::array<double, 3>{-7.25, -5.5, -3.0};
    v.levelDeltaSumDb = -221;
    v.version = "1.0 \"beta\"\\x\nnext";
    const std::string text = ExpositionText(MetricFamilies(v));
    for (const char* line : {
             "# TYPE quorvex_level_delta_db summary",
             "quorvex_level_delta_db{quantile=\"0.25\"} -7.25",
             "quorvex_level_delta_db{quantile=\"0.5\"} -5.5",
             "quorvex_level_delta_db{quantile=\"0.75\"} -3",
             "quorvex_level_delta_db_count 40",
             "quorvex_level_delta_db_sum -221",
             "# TYPE quorvex_level_compared_total counter",
             "quorvex_level_compared_total 40",
             "quorvex_build_info{version=\"1.0 \\\"beta\\\"\\\\x\\nnext\"} 1",
         }) {
        EXPECT_TRUE(Has(text, line)) << line << "\nin\n" << text;
    }
}

TEST(MetricFamiliesTest, PromtoolFindsNothingToSayAboutTheText) {
    MetricValues v = Known();
    v.levelCompared = 40;
    v.levelDeltaQuartilesDb = std::array<double, 3>{-7.25, -5.5, -3.0};
    test::TempFolder folder;
    const std::string path = folder.Folder() + "metrics.txt";
    std::ofstream(path) << ExpositionText(MetricFamilies(v));
    const std::string said = folder.Folder() + "said.txt";
    const int status = std::system(
        (std::string(QUORVEX_PROMTOOL_PATH) + " check metrics < " + path + " > " + said + " 2>&1")
            .c_str());
    std::ifstream saidFile(said);
    const std::string output((std::istreambuf_iterator<char>(saidFile)), {});
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output, "") << output;
}

}  // namespace
}  // namespace quorvex::metrics
