// lumivex-plot on recordings of the real publisher and monitor: the picture,
// the statistics and the answers to bad input.
#include <gtest/gtest.h>

#include <png.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "plot/AxisNumbers.h"
#include "plot/FigureLayout.h"
#include "plot/TrackColumns.h"
#include "plot/TrackStatistics.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingSyntax.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/OutputFile.h"
#include "tests/tracker/TrackerTestSupport.h"

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

    bool Is(int x, int y, Rgb colour) const {
        const png_byte* pixel = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
        return std::abs(pixel[0] - colour.red) + std::abs(pixel[1] - colour.green) + std::abs(pixel[2] - colour.blue) <=
               24;
    }

    // Pixels of about `colour` in pixel column `x` of the box (page coordinates, y upwards).
    int CountInColumn(Rgb colour, const PanelBox& box, int x) const {
        int count = 0;
        for (int y = static_cast<int>((1.0 - box.top) * height); y < (1.0 - box.bottom) * height; ++y)
            count += Is(x, y, colour);
        return count;
    }

    int Count(Rgb colour, const PanelBox& box) const {
        int count = 0;
        for (int x = static_cast<int>(box.left * width); x < box.right * width; ++x)
            count += CountInColumn(colour, box, x);
        return count;
    }

    // Pixel columns of the box (but its edges) mostly of `colour`.
    std::vector<int> ColumnsOf(Rgb colour, const PanelBox& box) const {
        std::vector<int> columns;
        const int rows = static_cast<int>((box.top - box.bottom) * height);
        for (int x = static_cast<int>(box.left * width) + 2; x < box.right * width - 2; ++x)
            if (CountInColumn(colour, box, x) > rows * 3 / 4) columns.push_back(x);
        return columns;
    }
};

std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream text(line);
    for (std::string field; std::getline(text, field, ',');) fields.push_back(field);
    return fields;
}
constexpr int rateField = 4;  // of --stats --csv

// Seconds into `path` of the first write of the timed run that followed the
// --once write: the time the two processes took to start in between is no
// part of the run's rate. The --once write's rows all come within a
// millisecond; starting a process takes longer.
std::string TimedRunStart(const std::string& path) {
    RecordingReader reader;
    RecordedWrite write;
    if (!reader.Open(path)) return "0";
    while (reader.Next(write) && write.seconds < 0.001) {}
    return std::to_string(write.seconds);
}

// The first and last of the longest run of consecutive values in `sorted`.
std::pair<int, int> LongestRun(const std::vector<int>& sorted) {
    std::pair<int, int> longest{0, -1};
    for (std::size_t i = 0, start = 0; i < sorted.size(); ++i) {
        if (i > 0 && sorted[i] != sorted[i - 1] + 1) start = i;
        if (sorted[i] - sorted[start] > longest.second - longest.first) longest = {sorted[start], sorted[i]};
    }
    return longest;
}

int ExitStatus(const Outcome& run) { return run.finished && WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1; }

class PlotTest : public SharedMemoryTest {
protected:
    Outcome Plot(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), ProgramPath("lumivex-plot"));
        return RunToEnd(arguments, ChildEnvironment({}), runLimit);
    }

    // What the real monitor records of the real publisher's `motion` for two seconds.
    void Record(const std::string& motion, const std::string& path) {
        RecordRuns(path, {"--motion", motion}, {{"--rate", "100", "--duration", "2", "--motion", motion}});
    }

    // What the real monitor records of the real publisher run once per entry
    // of `runs`, with `pause` between runs, in which the server is gone. The
    // monitor starts on a channel written once with `first`.
    void RecordRuns(const std::string& path, std::vector<std::string> first,
                    const std::vector<std::vector<std::string>>& runs, Milliseconds pause = Milliseconds(0)) {
        first.push_back("--once");
        ASSERT_EQ(Publisher::Run(first), 0);
        ChildProcess monitor;
        ASSERT_TRUE(
            monitor.Start({{ProgramPath("lumivex-monitor"), "--csv", path, "--force"}, ChildEnvironment({}), ""}));
        for (std::size_t i = 0; i < runs.size(); ++i) {
            if (i > 0) std::this_thread::sleep_for(pause);
            ASSERT_EQ(Publisher::Run(runs[i]), 0);
        }
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

    Outcome run =
        Plot({compressed, "-o", picture.Path(), "--force", "--bins", "1", "--stations", "1-2", "--size", "1200x800"});
    Outcome stats = Plot({compressed, "--stats", "--csv", "--from", TimedRunStart(compressed)});

    std::remove(compressed.c_str());
    std::istringstream rows(stats.output);
    std::string row;
    std::getline(rows, row);  // the heading
    int stations = 0;
    // A loaded machine makes the publisher write less, never more, than the
    // 100 writes a second asked of it; the exact figures are pinned by
    // StatsSeeLostTrackingInOneUnit.
    for (; std::getline(rows, row); ++stations) {
        const double rate = std::stod(CsvFields(row)[rateField]);
        EXPECT_GT(rate, 0.0) << row;
        EXPECT_LE(rate, 101.0) << row;
    }
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
    const Trace traces[] = {{"x", 0, {0, 114, 178}},          {"y", 0, {213, 94, 0}},
                            {"z", 0, {0, 158, 115}},          {"azimuth", 1, {230, 159, 0}},
                            {"elevation", 1, {86, 180, 233}}, {"roll", 1, {204, 121, 167}},
                            {"interval", 2, {0, 0, 0}}};
    FigureLayout layout(width, height, 2);
    for (int row = 0; row < 2; ++row)
        for (const Trace& trace : traces)
            EXPECT_GE(png.Count(trace.colour, layout.Panel(row, trace.panel)), 50) << trace.axis << " in row " << row;
}

// A hand-made recording whose figures are known exactly: 100 writes a second
// for ten seconds. The recorder misses writes 501-504 (the counter jumps),
// the server is silent for 701-703 (it does not); at 600 the channel turns
// from metres to centimetres and station 1 from inactive to active. Station 0
// alternates by ±0.5 mm in x (so it lies 0.4 mm from the mean of every five
// writes around it), by 2^-18 m (3.8 µm) in z, and by ±0.1° about 180° in azimuth
// (0.08° from the mean, across the wrap). Every fourth write of station 1 is nan.
TEST_F(PlotTest, StatsSeeLostTrackingInOneUnit) {
    std::ostringstream text;
    text << "# lumivex recording 2\n# stations "
            "0-1\ntime_s,instrument,bin,write,stamp_us,station,x,y,z,azimuth,elevation,roll\n"
         << "# channel 0 0 flags 0x0000021D description lab\n";
    text.precision(12);
    const double pi = 3.14159265358979, tenth = 0.1 / 180 * pi, step = std::ldexp(1.0, -18);
    for (int tick = 0, row = 0; tick <= 1000; ++tick) {
        if ((tick > 500 && tick < 505) || (tick > 700 && tick < 704)) continue;
        if (tick == 600) text << "# channel 0 0 flags 0x0000011F description lab\n";
        const double unit = tick < 600 ? 1.0 : 100.0, sign = row++ % 2 ? 1.0 : -1.0;
        const std::string head =
            std::to_string(tick / 100.0) + ",0,0," + std::to_string(tick - (tick > 700 ? 3 : 0)) + ",7,";
        text << head << "0," << (1.5 + sign * 0.0005) * unit << "," << 2 * unit << ","
             << (sign > 0 ? 1.0 + step : 1.0) * unit << "," << sign * (pi - tenth) << ",0,0\n"
             << head << "1," << (tick % 4 ? std::to_string(2 * unit) : "nan") << "," << 2 * unit << "," << 2 * unit
             << ",0,0,0\n";
    }
    std::string path = Written(text.str());

    Outcome csv = Plot({path, "--stats", "--csv"});
    Outcome table = Plot({path, "--stats"});

    ASSERT_EQ(ExitStatus(csv), 0) << csv.output;
    std::istringstream lines(csv.output);
    std::string heading, line;
    std::getline(lines, heading);
    EXPECT_EQ(heading,
              "instrument,bin,station,samples,rate_hz,p50_ms,p99_ms,max_ms,dropouts,missed,inactive,nonfinite,"
              "range_x_m,range_y_m,range_z_m,jitter_mm,jitter_deg");
    const double writes = 994, nan = std::nan("");
    const double expected[2][17] = {
        {0, 0, 0, writes, 99.3, 10, 10, 50, 1, 4, 0, 0, 0.001, 0, std::ldexp(1.0, -18), 0.4, 0.08},
        {0, 0, 1, writes, 99.3, 10, 10, 50, 1, 4, 596 / writes, 250 / writes, 0, 0, 0, nan, nan}};
    for (const auto& figures : expected) {
        ASSERT_TRUE(std::getline(lines, line)) << csv.output;
        std::vector<std::string> fields = CsvFields(line);
        fields.resize(17);
        for (int i = 0; i < 17; ++i)
            if (std::isnan(figures[i]))
                EXPECT_EQ(fields[i], "") << i << ": " << line;
            else
                EXPECT_NEAR(std::stod(fields[i]), figures[i], std::max(1e-12, 3e-4 * figures[i])) << i << ": " << line;
    }
    EXPECT_NE(csv.output.find("e-06"), std::string::npos) << "a small range keeps its digits: " << csv.output;
    ASSERT_EQ(ExitStatus(table), 0) << table.output;
    std::istringstream rows(table.output);
    std::map<std::size_t, int> lengths;
    for (std::string row; std::getline(rows, row);) ++lengths[row.size()];
    EXPECT_EQ(lengths.size(), 1u) << "columns aligned:\n" << table.output;
}

// The real publisher stopped for 1.5 s (the recorder notes it gone), then
// started again in centimetres with station 1 inactive. In the picture (named after the recording, as
// standard error says) the silence is shaded and no trace crosses it, and
// station 1 is shaded inactive; station 0, held at one place in both units,
// has no range.
TEST_F(PlotTest, SilenceInactivityAndUnitChangeOfTheRealServer) {
    const std::string path = recording.Path();
    RecordRuns(path, {"--pose", "0=0.5,0.5,0.5,0,0,0"},
               {{"--rate", "100", "--duration", "1", "--pose", "0=0.5,0.5,0.5,0,0,0"},
                {"--rate", "100", "--duration", "1", "--flags", "0x11D", "--pose", "0=50,50,50,0,0,0"}},
               Milliseconds(1500));
    const std::string png = path + ".png";
    std::stringstream recorded;
    recorded << std::ifstream(path).rdbuf();
    EXPECT_NE(recorded.str().find("\n# channel 0 0 gone\n"), std::string::npos) << "the recorder saw the server go";

    Outcome run = Plot({path, "--bins", "0", "--stations", "0-1", "--size", "1200x800"});
    Outcome stats = Plot({path, "--stats", "--csv", "--bins", "0", "--stations", "0-1"});

    ASSERT_EQ(ExitStatus(run), 0) << run.output;
    EXPECT_NE(run.output.find("lumivex-plot: wrote " + png), std::string::npos) << run.output;
    Picture picture;
    ASSERT_TRUE(picture.Read(png));
    std::remove(png.c_str());
    const Rgb silent{238, 232, 196}, inactive{214, 226, 245};
    const Rgb traces[] = {{0, 114, 178},  {213, 94, 0},    {0, 158, 115}, {230, 159, 0},
                          {86, 180, 233}, {204, 121, 167}, {0, 0, 0}};
    FigureLayout layout(1200, 800, 2);
    for (int row = 0; row < 2; ++row)
        for (int panel = 0; panel < FigureLayout::panelsPerRow; ++panel) {
            PanelBox box = layout.Panel(row, panel);
            std::vector<int> columns = picture.ColumnsOf(silent, box);
            EXPECT_GT(columns.size(), 60u) << "a third of the panel is silence";
            // Inside the pause (the longest silent run; a loaded machine may
            // add short silences of its own, with a lone write's tick between).
            auto [first, last] = LongestRun(columns);
            for (int x = first + 1; x < last; ++x)
                for (Rgb trace : traces)
                    EXPECT_EQ(picture.CountInColumn(trace, box, x), 0) << row << "/" << panel << " x " << x;
            EXPECT_EQ(picture.Count(inactive, box) > 1000, row == 1) << row << "/" << panel;
        }
    std::istringstream lines(stats.output);
    std::string line;
    std::getline(lines, line);
    ASSERT_TRUE(std::getline(lines, line)) << stats.output;
    std::vector<std::string> station0 = CsvFields(line);
    ASSERT_GE(station0.size(), 15u) << line;
    EXPECT_GE(std::stoi(station0[8]), 1) << "dropouts: " << line;
    EXPECT_EQ(station0[12] + station0[13] + station0[14], "000") << "range: " << line;
}

// Three seconds at 100 Hz: the recorder misses the writes of 1.0-1.5 s (the
// counter jumps), the server is silent for 2.0-2.5 s (it does not), and the
// azimuth turns back and forth across 180°. The description holds bytes that
// are no UTF-8 and a right-to-left override. Missed writes and silence are
// shaded apart, the azimuth stays one narrow trace, and nothing but the
// picture's name is said.
TEST_F(PlotTest, PictureKeepsMissedWritesSilenceAndTurnsApart) {
    std::ostringstream text;
    text << "# lumivex recording 2\n# stations 0\n"
         << recording_syntax::columnLine << "\n"
         << "# channel 0 0 flags 0x0000021F description bad \xff\xfe\xc2 \xe2\x80\xae reversed\n";
    for (int tick = 0, counter = 0; tick <= 300; ++tick) {
        if ((tick > 100 && tick < 150) || (tick > 200 && tick < 250)) continue;
        counter += tick == 150 ? 50 : 1;
        text << tick / 100.0 << ",0,0," << counter << ",0,0,0,0,0," << (tick % 2 ? 3.14 : -3.14) << ",0,0\n";
    }
    const std::string path = Written(text.str());

    Outcome run = Plot({path, "-o", picture.Path(), "--force", "--size", "1200x400"});

    ASSERT_EQ(ExitStatus(run), 0) << run.output;
    EXPECT_EQ(run.output, "lumivex-plot: wrote " + picture.Path() + "\n");
    Picture png;
    ASSERT_TRUE(png.Read(picture.Path()));
    const Rgb silent{238, 232, 196}, missed{226, 208, 240}, azimuth{230, 159, 0};
    const PanelBox box = FigureLayout(1200, 400, 1).Panel(0, 2);
    auto at = [&box](double seconds) {
        return static_cast<int>((box.left + (box.right - box.left) * seconds / 3.0) * 1200);
    };
    const std::vector<int> missedColumns = png.ColumnsOf(missed, box), silentColumns = png.ColumnsOf(silent, box);
    ASSERT_FALSE(missedColumns.empty());
    ASSERT_FALSE(silentColumns.empty());
    EXPECT_NEAR(LongestRun(missedColumns).first, at(1.0), 3);
    EXPECT_NEAR(LongestRun(missedColumns).second, at(1.5), 3);
    EXPECT_NEAR(LongestRun(silentColumns).first, at(2.0), 3);
    EXPECT_NEAR(LongestRun(silentColumns).second, at(2.5), 3);
    const PanelBox angles = FigureLayout(1200, 400, 1).Panel(0, 1);
    int rows = 0;
    for (int y = static_cast<int>((1.0 - angles.top) * 400); y < (1.0 - angles.bottom) * 400; ++y)
        for (int x = static_cast<int>(angles.left * 1200) + 2; x < angles.right * 1200 - 2; ++x)
            if (png.Is(x, y, azimuth)) {
                ++rows;
                break;
            }
    EXPECT_LT(rows, angles.pixelRows / 4) << "the azimuth swings across the panel";
}

TEST_F(PlotTest, BadInputEndsWithItsStatusAndSaysWhy) {
    const std::string good =
        std::string(header) + "# channel 0 0 flags 0x0000021F description t\n" + columns + "0.5,0,0,0,1,2,3,0,0,0\n";
    std::string crowded = std::string(header) + "# channel 0 0 flags 0x0000021F description t\n" + columns;
    for (int station = 0; station < 14; ++station) crowded += "0.5,0,0," + std::to_string(station) + ",1,2,3,0,0,0\n";
    // Every interval a different length: more of them than are counted.
    std::string distinct = std::string(header) + "# channel 0 0 flags 0x0000021F description t\n" + columns;
    for (long row = 0, micros = 0; row <= 200010; micros += ++row) {
        char text[64];
        // Two stations, each with half of the lengths: the limit holds for them together.
        std::snprintf(text, sizeof text, "%ld.%06ld,0,0,%ld,0,0,0,0,0,0\n", micros / 1000000, micros % 1000000,
                      row % 2);
        distinct += text;
    }
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
        {good, {"-o", out, "--size", "8000x8000"}, 2, "at most 25000000 pixels"},
        {good, {"--stats", "-o", out}, 2, "--stats"},
        {good, {"-o", recording.Path()}, 2, "is the recording itself"},
        {good, {"-o", "-"}, 2, "not to standard output"},
        {good, {"-o", "--stats"}, 2, "'--stats' is an option, not a value"},
        {good, {"-o", out, "--position", "sideways"}, 2, "--position"},
        {crowded, {"-o", out, "--size", "1600x1000"}, 2, "14 stations need a picture at least"},
        {distinct, {"--stats"}, 2, "more than 200000 different intervals between writes"},
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

// However often the columns are merged while a long track is read, a spike
// between pixels survives, a value that is not finite breaks the trace at
// the next value, and a silence is kept with its ends.
TEST(TrackColumnsTest, MergedColumnsKeepSpikesBreaksAndSilences) {
    TrackColumns columns(64);
    for (int i = 0; i <= 10000; ++i) {
        const double seconds = i / 1000.0;
        if (seconds > 7.0 && seconds < 8.0) continue;
        double value = i == 3333 ? 9.0 : seconds >= 5.0 && seconds < 6.5 ? std::nan("") : 0.0;
        const double values[seriesCount] = {value, 0, 0, 0, 0, 0, 1.0};
        columns.Add(seconds, values, 0);
    }

    std::vector<TrackColumn> resampled = columns.Resample(0.0, 10.0, 10);

    ASSERT_EQ(resampled.size(), 10u);
    EXPECT_EQ(resampled[3].high[0], 9.0f);
    EXPECT_EQ(resampled[4].high[0], 0.0f);
    EXPECT_TRUE(resampled[6].brokenBefore & 1u) << "x comes back at 6.5 s after nan";
    EXPECT_NEAR(resampled[8].into.from, 7.0, 1e-9);
    EXPECT_NEAR(resampled[8].into.to, 8.0, 1e-9);
    EXPECT_TRUE(resampled[9].present & 1u) << "the write at the right edge counts";
    for (int column : {0, 1, 2, 4, 6, 9})
        EXPECT_LT(resampled[column].into.Length() + resampled[column].inside.Length(), 0.01);
}

PoseSample Pose(double seconds, std::uint32_t counter, double x, double y = 0.0, double angle = 0.0) {
    PoseSample sample;
    sample.seconds = seconds;
    sample.writeCount = counter;
    sample.position[0] = x, sample.position[1] = y;
    sample.angles[0] = sample.angles[1] = angle;
    return sample;
}

// Writes every 10 ms from `start`, counted on from `counter`, alternating
// between `x` + `wobble` and `x` - `wobble` and the angles between ±`turn`.
std::vector<PoseSample> Steady(double start, std::uint32_t counter, int writes, double x, double wobble = 0.0,
                               double turn = 0.0) {
    std::vector<PoseSample> samples;
    for (int i = 0; i < writes; ++i) {
        const double sign = i % 2 ? -1.0 : 1.0;
        samples.push_back(Pose(start + i * 0.01, counter + i, x + sign * wobble, 0.0, sign * turn));
    }
    return samples;
}

std::vector<PoseSample> Joined(std::vector<PoseSample> a, const std::vector<PoseSample>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The figures whose definition is a choice, each on the smallest track that
// shows it.
TEST(TrackStatisticsTest, AmbiguousCasesFollowTheirDocumentedDefinitions) {
    const double nan = std::nan("");
    const struct {
        const char* name;
        std::vector<PoseSample> samples;
        double (*figure)(const TrackStatistics&);
        double expected;
    } cases[] = {
        {"one axis not finite: the others keep their range",
         {Pose(0.0, 1, 0.0, nan), Pose(0.01, 2, 1.0, 0.0), Pose(0.02, 3, 2.0, 1.0)},
         [](const TrackStatistics& s) { return s.rangeM[0]; },
         2.0},
        {"intervals rounded to the nearest microsecond",
         {Pose(0.0, 0, 0.0), Pose(0.0083336, 0, 0.0), Pose(0.0166672, 0, 0.0)},
         [](const TrackStatistics& s) { return s.intervalP50Ms; },
         8.334},
        {"jitter_deg: the length of the three angles' deviation", Steady(0.0, 1, 20, 0.0, 0.0, 1.0),
         [](const TrackStatistics& s) { return s.jitterDeg; }, 0.8 * std::sqrt(2.0)},
        {"a jump of 2^31 - 2 writes in 10 ms is a restart, no missed writes",
         {Pose(0.0, 1, 0.0), Pose(0.01, 2, 0.0), Pose(0.02, 2147483648u, 0.0)},
         [](const TrackStatistics& s) { return static_cast<double>(s.missed); },
         0.0},
        {"a restart within two periods is no jitter", Joined(Steady(0.0, 100, 10, 0.0), Steady(0.1, 1, 10, 1.0)),
         [](const TrackStatistics& s) { return s.jitterMm; }, 0.0},
        {"a removal between writes is a restart, whatever the counter does",
         Joined(Steady(0.0, 1, 10, 0.0),
                [] {
                    std::vector<PoseSample> after = Steady(0.1, 11, 10, 1.0);
                    after.front().afterRemoval = true;
                    return after;
                }()),
         [](const TrackStatistics& s) { return s.jitterMm; }, 0.0},
        {"a restart's long silence is a dropout", Joined(Steady(0.0, 100, 10, 0.0), Steady(1.0, 1, 10, 0.0)),
         [](const TrackStatistics& s) { return static_cast<double>(s.dropouts); }, 1.0},
        {"missed writes are no dropout", Joined(Steady(0.0, 1, 10, 0.0), Steady(1.0, 110, 10, 0.0)),
         [](const TrackStatistics& s) { return static_cast<double>(s.dropouts); }, 0.0},
    };
    for (const auto& c : cases) {
        StationTrack track(StationName{0, 0, 0, "t"}, 64);
        for (const PoseSample& sample : c.samples) track.Add(sample);
        EXPECT_NEAR(c.figure(ComputeStatistics(track)), c.expected, 1e-9) << c.name;
    }
}

// Every number fits six characters, the sign included, and the unit says
// what the numbers leave out.
TEST(AxisNumbersTest, NumbersKeepEveryCharacterAndTheUnitSaysTheRest) {
    const struct {
        double low, high, step, value;
        const char *label, *unit;
    } cases[] = {
        {0.0, 10.0, 2.0, 4.0, "4", "m"},
        {-8e-5, 8e-5, 2e-5, -7e-5, "-70",
         "m \xC3\x97"
         "1e-6"},
        {-8e-5, 8e-5, 2e-5, 7e-5, "70",
         "m \xC3\x97"
         "1e-6"},
        {-3e38, 0.0, 5e37, -3e38, "-300",
         "m \xC3\x97"
         "1e36"},
        {999999990.0, 1e9, 2.0, 999999994.0, "-6", "m + 1000000000"},
        {179.9996, 180.0004, 0.0002, 180.0002, "200",
         "m \xC3\x97"
         "1e-6 + 180"},
        {-0.5, 0.5, 0.0005, -0.4995, "-499.5",
         "m \xC3\x97"
         "1e-3"},
    };
    for (const auto& c : cases) {
        AxisNumbers numbers(c.low, c.high, c.step);
        EXPECT_EQ(numbers.Label(c.value), c.label) << c.low << ".." << c.high;
        EXPECT_EQ(numbers.Unit("m"), c.unit) << c.low << ".." << c.high;
        for (double tick = std::ceil(c.low / c.step) * c.step; tick <= c.high; tick += c.step)
            EXPECT_LE(numbers.Label(tick).size(), 6u) << tick;
    }
}

}  // namespace
