// lumivex-plot on recordings of the real publisher and monitor: the picture,
// the statistics and the answers to bad input.
#include <gtest/gtest.h>

#include <png.h>
#include <signal.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "plot/ColumnReduction.h"
#include "plot/FigureLayout.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"
#include "tests/tracker/TrackerTestSupport.h"
#include "tools/plot/PlotOptions.h"

namespace {

using namespace testsupport;

const Milliseconds runLimit(20000);
const char* const header = "# lumivex recording\n";
const char* const columns = "time_s,instrument,bin,station,x,y,z,azimuth,elevation,roll\n";

struct Rgb {
    int red, green, blue;
};

// A PNG read back as 8-bit RGB.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<png_byte> rgb;

    bool Read(const std::string& path) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
        image.format = PNG_FORMAT_RGB;
        rgb.resize(PNG_IMAGE_SIZE(image));
        width = static_cast<int>(image.width);
        height = static_cast<int>(image.height);
        return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
    }

    // Pixels of about `colour` inside the box (page coordinates, y upwards).
    int Count(Rgb colour, const PanelBox& box) const {
        int count = 0;
        for (int y = static_cast<int>((1.0 - box.top) * height); y < (1.0 - box.bottom) * height; ++y)
            for (int x = static_cast<int>(box.left * width); x < box.right * width; ++x) {
                const png_byte* pixel = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
                count += std::abs(pixel[0] - colour.red) + std::abs(pixel[1] - colour.green) +
                             std::abs(pixel[2] - colour.blue) <= 24;
            }
        return count;
    }
};

std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream text(line);
    for (std::string field; std::getline(text, field, ',');) fields.push_back(field);
    return fields;
}
constexpr int rateField = 4;  // of --stats --csv

int ExitStatus(const Outcome& run) { return run.finished && WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1; }

class PlotTest : public SharedMemoryTest {
protected:
    Outcome Plot(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), ProgramPath("lumivex-plot"));
        return RunToEnd(arguments, ChildEnvironment({}), runLimit);
    }

    // What the real monitor records of the real publisher's `motion` for two seconds.
    void Record(const std::string& motion, const std::string& path) {
        ASSERT_EQ(Publisher::Run({"--once", "--motion", motion}), 0);
        ChildProcess monitor;
        ASSERT_TRUE(monitor.Start({{ProgramPath("lumivex-monitor"), "--csv", path}, ChildEnvironment({}), ""}));
        ASSERT_EQ(Publisher::Run({"--rate", "100", "--duration", "2", "--motion", motion}), 0);
        int status = 0;
        ASSERT_TRUE(monitor.Signal(SIGINT) && monitor.WaitExit(runLimit, status));
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << DescribeStatus(status);
    }

    std::string Written(const std::string& text) {
        std::ofstream(recording.Path(), std::ios::binary) << text;
        return recording.Path();
    }

    OutputFile recording;
    OutputFile picture;
};

// Every station is drawn in its row; each axis's trace shows in its colour
// in its panel, and the picture has the size asked for. The monitor
// compresses the recording, as it does for a name ending in ".gz"; the
// statistics find the publisher's rate in it.
TEST_F(PlotTest, OrbitRecordingDrawsEveryAxisInItsColour) {
    const std::string compressed = recording.Path() + ".gz";
    Record("orbit", compressed);
    const int width = 1200, height = 800;

    Outcome run = Plot({compressed, "-o", picture.Path(), "--bins", "1", "--stations", "1-2", "--size", "1200x800"});
    Outcome stats = Plot({compressed, "--stats", "--csv"});

    std::remove(compressed.c_str());
    std::istringstream rows(stats.output);
    std::string row;
    std::getline(rows, row);  // the heading
    int stations = 0;
    for (; std::getline(rows, row); ++stations) EXPECT_NEAR(std::stod(CsvFields(row)[rateField]), 100.0, 10.0) << row;
    EXPECT_EQ(stations, 8) << stats.output;
    ASSERT_EQ(ExitStatus(run), 0) << run.output;
    Picture png;
    ASSERT_TRUE(png.Read(picture.Path()));
    EXPECT_EQ(png.width, width);
    EXPECT_EQ(png.height, height);
    struct Trace {
        const char* axis;
        int panel;
        Rgb colour;
    };
    const Trace traces[] = {{"x", 0, {0, 114, 178}},        {"y", 0, {213, 94, 0}},         {"z", 0, {0, 158, 115}},
                            {"azimuth", 1, {230, 159, 0}},  {"elevation", 1, {86, 180, 233}}, {"roll", 1, {204, 121, 167}},
                            {"interval", 2, {0, 0, 0}}};
    FigureLayout layout(width, height, 2);
    for (int row = 0; row < 2; ++row)
        for (const Trace& trace : traces)
            EXPECT_GE(png.Count(trace.colour, layout.Panel(row, trace.panel)), 50) << trace.axis << " in row " << row;
}

// Two stations still but for a known noise: x alternates by ±a, so that it
// lies 4a/5 from the mean of every five updates around it. 100 updates a
// second for ten seconds, but for one gap of 50 ms, and one update where the
// server lost the station (nan), which must not spoil range or jitter.
TEST_F(PlotTest, StatsGiveRateIntervalsDropoutsRangeAndJitter) {
    std::ostringstream text;
    text << header << "# channel 0 0 flags 0x0000011F description centimetres\n"
         << "# channel 0 1 flags 0x0000021F description metres\n" << columns;
    const double noise[2] = {0.1, 0.0005};  // cm, m
    for (int tick = 0, row = 0; tick <= 1000; ++tick) {
        if (tick > 500 && tick < 505) continue;
        for (int bin = 0; bin < 2; ++bin)
            text << tick / 100.0 << ",0," << bin << ",3,"
                 << (tick == 800 ? "nan" : std::to_string(1.5 + (row % 2 ? noise[bin] : -noise[bin])))
                 << ",2,1,0.5,0,0\n";
        ++row;
    }
    std::string path = Written(text.str());

    Outcome csv = Plot({path, "--stats", "--csv"});
    Outcome table = Plot({path, "--stats"});

    ASSERT_EQ(ExitStatus(csv), 0) << csv.output;
    std::istringstream lines(csv.output);
    std::string heading, line;
    std::getline(lines, heading);
    EXPECT_EQ(heading, "instrument,bin,station,samples,rate_hz,p50_ms,p99_ms,max_ms,dropouts,range_x,range_y,range_z,"
                       "jitter,jitter_mm,unit");
    const double expected[2][14] = {{0, 0, 3, 997, 99.6, 10, 10, 50, 1, 0.2, 0, 0, 0.08, 0.8},
                                    {0, 1, 3, 997, 99.6, 10, 10, 50, 1, 0.001, 0, 0, 0.0004, 0.4}};
    const char* const units[2] = {"cm", "m"};
    for (int bin = 0; bin < 2; ++bin) {
        ASSERT_TRUE(std::getline(lines, line)) << csv.output;
        std::vector<std::string> fields = CsvFields(line);
        ASSERT_EQ(fields.size(), 15u) << line;
        for (int i = 0; i < 14; ++i) EXPECT_NEAR(std::stod(fields[i]), expected[bin][i], std::max(1e-6, 1e-3 * expected[bin][i])) << line;
        EXPECT_EQ(fields[14], units[bin]);
    }
    ASSERT_EQ(ExitStatus(table), 0) << table.output;
    std::istringstream rows(table.output);
    std::map<std::size_t, int> lengths;
    for (std::string row; std::getline(rows, row);) ++lengths[row.size()];
    EXPECT_EQ(lengths.size(), 1u) << "columns aligned:\n" << table.output;
    EXPECT_NE(table.output.find("0.800"), std::string::npos) << table.output;
}

TEST_F(PlotTest, BadInputEndsWithItsStatusAndSaysWhy) {
    const std::string good = std::string(header) + "# channel 0 0 flags 0x0000021F description t\n" + columns +
                             "0.5,0,0,0,1,2,3,0,0,0\n";
    std::string crowded = std::string(header) + "# channel 0 0 flags 0x0000021F description t\n" + columns;
    for (int station = 0; station < 14; ++station) crowded += "0.5,0,0," + std::to_string(station) + ",1,2,3,0,0,0\n";
    const std::string out = picture.Path();
    struct Case {
        std::string recording;
        std::vector<std::string> options;
        int status;
        std::string says;
    };
    const Case cases[] = {
        {good + "0.6,0,0,0,1,2\n", {"-o", out}, 2, ":5: a row has 10 fields"},
        {"# lumivex recording 3\x1b]0;x\x07\n", {"-o", out}, 2, "not '# lumivex recording 3\\x1b]0;x\\x07'\n"},
        {good, {"-o", "/nonexistent/plot.png"}, 1, "cannot write /nonexistent/plot.png: No such file or directory"},
        {std::string(header) + columns, {"-o", out}, 1, "no rows; nothing to show"},
        {good, {"-o", out, "--stations", "4-7"}, 1, "no rows for the selected bins, stations and time"},
        {good, {"-o", out, "--from", "2", "--to", "1"}, 2, "--from"},
        {good, {"-o", out, "--from", "+1"}, 2, "'+1' is not a number of seconds"},
        {good, {"-o", out, "--size", "100x100"}, 2, "--size"},
        {good, {"--stats", "-o", out}, 2, "--stats"},
        {good, {"-o", recording.Path()}, 2, "is the recording itself"},
        {good, {"-o", "-"}, 2, "not to standard output"},
        {good, {"-o", "--stats"}, 2, "'--stats' is an option, not a value"},
        {crowded, {"-o", out, "--size", "1600x1000"}, 2, "14 stations need a picture at least"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments{Written(c.recording)};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        Outcome run = Plot(arguments);
        EXPECT_EQ(ExitStatus(run), c.status) << c.says << ": " << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    }
    EXPECT_EQ(std::ifstream(recording.Path()).peek(), '#') << "the recording is still there";
}

TEST(PlotOptionsTest, PictureIsNamedAfterTheRecording) {
    const std::pair<const char*, const char*> names[] = {
        {"session.csv", "session.png"},      {"session.csv.gz", "session.png"}, {"run.v2/session", "run.v2/session.png"},
        {"/data/.hidden", "/data/.hidden.png"}, {"plain", "plain.png"}};
    for (const auto& [recording, picture] : names) EXPECT_EQ(DefaultOutput(recording), picture) << recording;
}

// A spike between pixels survives; each column holds its samples' extremes.
TEST(ColumnReductionTest, EachColumnKeepsItsLowestAndHighest) {
    const std::vector<double> seconds{0.0, 0.1, 0.2, 0.3, 0.6, 0.99, 1.0, 2.0};
    const std::vector<double> values{1.0, 9.0, -4.0, 2.0, std::nan(""), 5.0, 6.0, 7.0};

    std::vector<ColumnSpan> spans = ReduceToColumns(seconds, values, 0.0, 1.0, 2);

    ASSERT_EQ(spans.size(), 2u);
    EXPECT_DOUBLE_EQ(spans[0].seconds, 0.25);
    EXPECT_DOUBLE_EQ(spans[0].low, -4.0);
    EXPECT_DOUBLE_EQ(spans[0].high, 9.0);
    EXPECT_DOUBLE_EQ(spans[1].low, 5.0);
    EXPECT_DOUBLE_EQ(spans[1].high, 6.0);  // the sample on the right edge counts, the one past it not
}

}  // namespace
