#include "app/driver.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spectrum/paths.hpp"
#include "spectrum/state.hpp"
#include "temp_dir.hpp"

namespace brandel::app {
namespace {

using spectrum::State;
using test_support::TempDir;

// A CANBERRA report with its values at the fixed columns: keys padded to 14 characters.
std::string canberra(const std::string& sample, int live, std::vector<int> counts) {
    auto line = [](const std::string& key, const std::string& value) {
        std::string l = key;
        l.resize(14, ' ');
        return l + value + "\r\n";
    };
    std::string text = "CANBERRA spectrum report\r\n";
    text += line("Sample Name", sample);
    text += line("Date Time", "2003/07/15 09:41");
    text += line("Live Time", std::to_string(live));
    text += line("True Time", std::to_string(live + 1));
    text += line("Channel No", std::to_string(counts.size()));
    text += "\r\n\r\n";
    for (std::size_t i = 0; i < counts.size(); ++i)
        text += std::to_string(i + 1) + " " + std::to_string(counts[i]) + "\r\n";
    return text;
}

struct Entry {
    std::string name;
    bool selected;
};

// The window as the driver sees it, recording what the driver asked of it.
class FakeHost : public Host {
  public:
    std::string source;
    std::string destination;
    std::vector<Entry> entries;
    std::vector<std::string> messages;
    std::vector<bool> busy_changes;
    int refreshes = 0;
    int cancel_at = -1;  // progress answers false before this file
    std::vector<std::string> progress_names;

    std::string destination_path() const override { return destination; }
    std::string source_path() const override { return source; }
    int source_entry_count() const override { return static_cast<int>(entries.size()); }
    std::string source_entry(int i) const override { return entries.at(i).name; }
    bool source_selected(int i) const override { return entries.at(i).selected; }
    int destination_entry_count() const override { return 0; }
    std::string destination_entry(int) const override { return {}; }
    void set_busy(bool busy) override { busy_changes.push_back(busy); }
    void message_box(const std::string& text) override { messages.push_back(text); }
    void refresh_destination_list() override { ++refreshes; }
    bool progress(int done, int, const std::string& name) override {
        progress_names.push_back(name);
        return done != cancel_at;
    }
};

class DriverTest : public ::testing::Test {
  protected:
    TempDir src;
    TempDir dst;
    FakeHost host;
    State state;

    void SetUp() override {
        host.source = src.path().string();  // no trailing separator: the driver adds it
        host.destination = dst.path().string();
        state.org_type = 0;
        state.run_mode = mode_fileconv;
    }
};

TEST_F(DriverTest, ConvertsSelectedEntriesInListOrder) {
    src.write("a.txt", canberra("A", 10, {1, 2}));
    src.write("b.txt", canberra("B", 20, {3, 4}));
    src.write("c.txt", canberra("C", 30, {5, 6}));
    host.entries = {{"a.txt", true}, {"b.txt", false}, {"c.txt", true}};

    Command1_Click(state, host);

    EXPECT_TRUE(dst.exists("a.chn"));
    EXPECT_FALSE(dst.exists("b.chn"));
    EXPECT_TRUE(dst.exists("c.chn"));
    EXPECT_EQ(state.org_path, src.dir() + "c.txt");
    EXPECT_EQ(state.chn_dir, dst.dir());
    EXPECT_EQ(state.org_dir, src.dir());
    EXPECT_EQ(host.progress_names, (std::vector<std::string>{"a.txt", "c.txt"}));
    EXPECT_EQ(host.busy_changes, (std::vector<bool>{true, false}));
    EXPECT_TRUE(host.messages.empty()) << "a batch without failures ends silently";
    EXPECT_EQ(host.refreshes, 1);
}

TEST_F(DriverTest, OneBatchWritesEachChnNameOnce) {
    src.write("a.TXT", canberra("first", 10, {1}));
    src.write("a.dat", canberra("second", 10, {2}));
    src.write("ge1.0715.TXT", canberra("third", 10, {3}));
    src.write("ge1.0716.TXT", canberra("fourth", 10, {4}));
    dst.write("ge1.chn", "from an earlier batch");
    host.entries = {
        {"a.TXT", true}, {"a.dat", true}, {"ge1.0715.TXT", true}, {"ge1.0716.TXT", true}};
    Command1_Click(state, host);

    EXPECT_EQ(dst.read("a.chn").at(32), 1) << "the first file's CHN stays";
    EXPECT_EQ(dst.read("ge1.chn").at(32), 3) << "a file of an earlier batch is replaced";
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0],
              "Converted 2 of 4 selected files.\n"
              "\na.dat: a.chn was already written from a.TXT in this batch"
              "\nge1.0716.TXT: ge1.chn was already written from ge1.0715.TXT in this batch");

    // The next batch replaces them as any batch does.
    host.entries = {{"a.dat", true}};
    host.messages.clear();
    Command1_Click(state, host);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(dst.read("a.chn").at(32), 2);
}

TEST_F(DriverTest, SourceThatDidNotConvertLeavesItsNameFree) {
    src.write("a.TXT", "not a report");
    src.write("a.dat", canberra("second", 10, {2}));
    host.entries = {{"a.TXT", true}, {"a.dat", true}};
    Command1_Click(state, host);

    EXPECT_EQ(dst.read("a.chn").at(32), 2);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0],
              "Converted 1 of 2 selected files.\n"
              "\na.TXT: header key \"Channel No\" not found; it fits no layout");
}

TEST_F(DriverTest, FailingFileWritesNothingAndKeepsExistingChn) {
    src.write("a.txt", canberra("A", 10, {1, 2}));
    std::string broken = canberra("B", 20, {3, 4});
    broken.replace(broken.find("Live Time"), 9, "Lime Tide");
    src.write("b.txt", broken);
    src.write("c.txt", canberra("C", 30, {5, 6}));
    dst.write("b.chn", "old bytes of b");
    host.entries = {{"a.txt", true}, {"b.txt", true}, {"c.txt", true}, {"gone.txt", true}};

    Command1_Click(state, host);

    EXPECT_TRUE(dst.exists("a.chn"));
    EXPECT_TRUE(dst.exists("c.chn"));
    EXPECT_FALSE(dst.exists("gone.chn"));
    EXPECT_EQ(dst.read("b.chn"), "old bytes of b");
    ASSERT_EQ(host.messages.size(), 1u) << "one summary, no message per file";
    EXPECT_EQ(host.messages[0],
              "Converted 2 of 4 selected files.\n"
              "\nb.txt: header key \"Live Time\" not found; it fits no layout"
              "\ngone.txt: File does not exist.");
    EXPECT_EQ(host.busy_changes, (std::vector<bool>{true, false}));
}

TEST_F(DriverTest, SameBytesAloneAndAfterAnotherFile) {
    src.write("first.txt", canberra("a long sample name from the first file", 99, {7, 8, 9, 10}));
    src.write("second.txt", canberra("B", 20, {3}));

    host.entries = {{"first.txt", false}, {"second.txt", true}};
    Command1_Click(state, host);
    std::string alone = dst.read("second.chn");

    State fresh;
    fresh.org_type = 0;
    fresh.run_mode = mode_fileconv;
    host.entries = {{"first.txt", true}, {"second.txt", true}};
    Command1_Click(fresh, host);
    EXPECT_EQ(dst.read("second.chn"), alone);
}

TEST_F(DriverTest, NoTypeChosenShowsMessageAndTouchesNothing) {
    state.org_type = -1;
    state.chn_dir = "unchanged";
    host.entries = {{"a.txt", true}};
    Command1_Click(state, host);
    EXPECT_EQ(host.messages, (std::vector<std::string>{"Select ORG file type !"}));
    EXPECT_EQ(state.chn_dir, "unchanged");
    EXPECT_TRUE(host.busy_changes.empty());
    EXPECT_EQ(host.refreshes, 1);
}

TEST_F(DriverTest, NothingSelectedStillTogglesPointerAndRefreshes) {
    host.entries = {{"a.txt", false}};
    Command1_Click(state, host);
    EXPECT_EQ(host.busy_changes, (std::vector<bool>{true, false}));
    EXPECT_EQ(host.refreshes, 1);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(DriverTest, CancelStopsBeforeTheNextFile) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        src.write(name, canberra(name, 1, {1}));
    host.entries = {{"a.txt", true}, {"b.txt", true}, {"c.txt", true}};
    host.cancel_at = 1;
    BatchReport report = convert_org_files(state, host);
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(report.converted, 1);
    EXPECT_TRUE(dst.exists("a.chn"));
    EXPECT_FALSE(dst.exists("b.chn"));
    EXPECT_FALSE(dst.exists("c.chn"));
}

TEST_F(DriverTest, ChnEditModeWithConversionTypeRunsNoAction) {
    state.run_mode = mode_chn_edit;
    state.org_type = 0;
    src.write("a.txt", canberra("A", 1, {1}));
    host.entries = {{"a.txt", true}};
    Command1_Click(state, host);
    EXPECT_FALSE(dst.exists("a.chn"));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.refreshes, 1);
}

TEST(DriverSummary, LongFailureListsAreCut) {
    BatchReport report;
    report.selected = 100;
    for (int i = 0; i < 40; ++i)
        report.failures.push_back({"/x/f" + std::to_string(i), "bad"});
    std::string text = summary_text(report);
    EXPECT_NE(text.find("f29: bad"), std::string::npos);
    EXPECT_EQ(text.find("f30: bad"), std::string::npos);
    EXPECT_NE(text.find("... and 10 more files that did not convert."), std::string::npos);
}

TEST(DriverSummary, EachFailureIsOneLineWhateverItsNameHolds) {
    BatchReport report;
    report.selected = 5;
    report.converted = 3;
    report.failures.push_back({"/x/a\nConverted 5 of 5 selected files.TXT", "bad"});
    report.failures.push_back({"/x/b\r\x1b[2K.TXT", "cannot write /y/b\r\x1b[2K.chn: no"});
    EXPECT_EQ(summary_text(report),
              "Converted 3 of 5 selected files.\n"
              "\na\\nConverted 5 of 5 selected files.TXT: bad"
              "\nb\\r\\x1b[2K.TXT: cannot write /y/b\\r\\x1b[2K.chn: no");
    // A backslash is part of a name on POSIX systems, so it is escaped there, and a separator on
    // Windows.
    report.failures = {{"/x/ab\\cd.TXT", "bad"}};
    const bool posix = spectrum::native_path_rules == spectrum::PathRules::posix;
    EXPECT_NE(summary_text(report).find(posix ? "\nab\\\\cd.TXT: bad" : "\ncd.TXT: bad"),
              std::string::npos);
}

}  // namespace
}  // namespace brandel::app
