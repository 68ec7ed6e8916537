#include "listing/actions.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/convert_cli.hpp"
#include "app/driver.hpp"
#include "listing/memory_grid.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/text.hpp"
#include "temp_dir.hpp"

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace brandel::listing {
namespace {

using spectrum::RecordSource;
using spectrum::State;
using test_support::TempDir;

// The destination pane of a window, with a record of what the actions asked of it.
class FakeHost : public app::Host {
  public:
    FakeHost(std::string folder, std::vector<std::string> names)
        : folder_(std::move(folder)), names_(std::move(names)) {}

    std::string destination_path() const override { return folder_; }
    std::string source_path() const override { return {}; }
    int source_entry_count() const override { return 0; }
    std::string source_entry(int) const override { return {}; }
    bool source_selected(int) const override { return false; }
    int destination_entry_count() const override { return static_cast<int>(names_.size()); }
    std::string destination_entry(int index) const override {
        return names_[static_cast<std::size_t>(index)];
    }
    void set_busy(bool busy) override { events.push_back(busy ? "busy" : "idle"); }
    void set_grid_busy(bool busy) override { events.push_back(busy ? "grid busy" : "grid idle"); }
    void message_box(const std::string& text) override {
        messages.push_back(text);
        events.push_back("message");
    }
    void refresh_destination_list() override {}
    bool progress(int done, int, const std::string&) override { return done != stop_before; }
    void show_grid_modal() override {
        events.push_back(listing_grid().visible() ? "modal" : "modal, grid hidden");
    }
    MemoryGrid& listing_grid() override { return grid; }
    void listing_made(const std::string& folder, const std::string& line) override {
        made_folder = folder;
        status = line;
    }
    void chn_written(const std::string& path) override { written.push_back(path); }
    std::string made_folder;
    std::vector<std::string> written;
    std::string status;

    MemoryGrid grid;
    std::vector<std::string> events;
    std::vector<std::string> messages;
    int stop_before = -1;

  private:
    std::string folder_;
    std::vector<std::string> names_;
};

// A CHN file built byte by byte. Bytes 28-29 hold a channel offset of 0, as other programs
// write it.
struct ChnFile {
    char tens = '3';
    char units = '7';
    std::int16_t file_type = -1;
    std::int32_t live_ticks = 6000;
    std::int32_t real_ticks = 6025;
    std::string date = "05Jul031";
    std::string time = std::string("1423\0\0", 6);
    std::vector<std::int32_t> counts = {1, -2, 300000};
    std::string tail;  // what follows the channel data

    std::string bytes() const {
        std::string out;
        auto put = [&out](std::uint32_t v, int size) {
            for (int i = 0; i < size; ++i)
                out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        };
        put(static_cast<std::uint16_t>(file_type), 2);
        put(301, 2);
        put(1, 2);
        out.push_back(tens);
        out.push_back(units);
        put(static_cast<std::uint32_t>(real_ticks), 4);
        put(static_cast<std::uint32_t>(live_ticks), 4);
        out += date;
        out += time;
        put(static_cast<std::uint16_t>(counts.size()), 2);
        for (std::int32_t c : counts)
            put(static_cast<std::uint32_t>(c), 4);
        return out + tail;
    }
};

// A standard trailer with a sample description, and bytes in its reserved area that are not
// valid code page 932.
std::string trailer(const std::string& sample) {
    std::string t(512, '\0');
    t[0] = static_cast<char>(0x9A);  // trailer type -102
    t[1] = static_cast<char>(0xFF);
    t[100] = static_cast<char>(0x81);
    t[101] = static_cast<char>(0xFF);
    t[320] = static_cast<char>(sample.size());
    t.replace(321, sample.size(), sample);
    return t;
}

ChnFile standard(const std::string& sample) {
    ChnFile f;
    f.tail = trailer(sample);
    return f;
}

// An older file: the second as a number in the tens byte (or none), a 64-character comment.
ChnFile with_comment(char tens, const std::string& comment) {
    ChnFile f;
    f.tens = tens;
    f.units = 0;
    f.time = "142300";
    f.tail = comment + std::string(64 - comment.size(), ' ');
    return f;
}

std::string cell(const MemoryGrid& grid, int row, int col) {
    return spectrum::to_utf8(grid.cell(row, col));
}

TEST(MakeListing, ListsEveryFileInListOrderAndOpensTheGrid) {
    TempDir dir;
    for (const char* name : {"a.chn", "b.chn", "c.chn", "x.y.chn"})
        dir.write(name, standard("Co-60 check").bytes());
    FakeHost host(dir.path().string(), {"a.chn", "b.chn", "c.chn", "x.y.chn"});
    State state;
    make_listing(state, host);

    ASSERT_EQ(host.grid.rows(), 5);
    EXPECT_EQ(cell(host.grid, 1, 1), "a       ");
    EXPECT_EQ(cell(host.grid, 3, 1), "c       ");
    EXPECT_EQ(cell(host.grid, 4, 1), "x       ");
    EXPECT_EQ(cell(host.grid, 4, 3), "     120");  // 6000 ticks
    EXPECT_EQ(state.chn_dir, dir.dir());
    EXPECT_EQ(state.org_path, dir.dir() + "x.y.chn");
    const std::vector<std::string> events = {"busy", "grid busy", "idle", "grid idle", "modal"};
    EXPECT_EQ(host.events, events);
}

TEST(MakeListing, TheSecondsBytesChooseTheLayout) {
    TempDir dir;
    ChnFile other = standard("never shown");
    other.tens = 0;
    other.time = "142300";
    const std::vector<std::pair<std::string, ChnFile>> files = {
        {"1.chn", standard("Co-60 check")},
        {"2.chn", with_comment(5, "  second as a number  ")},
        {"3.chn", with_comment(0, "no second")},
        {"4.chn", other},  // its comment must not be the previous file's
    };
    std::vector<std::string> names;
    for (const auto& [name, file] : files) {
        dir.write(name, file.bytes());
        names.push_back(name);
    }
    FakeHost host(dir.path().string(), names);
    State state;
    make_listing(state, host);

    ASSERT_EQ(host.grid.rows(), 5);
    const std::string blanks(64, ' ');
    const struct {
        const char* time;
        std::string comment;
    } expected[] = {
        {"142337", "Co-60 check" + blanks.substr(11)},
        {"142305", "second as a number" + blanks.substr(18)},
        {"142300", "no second" + blanks.substr(9)},
        {"142300", blanks},
    };
    for (int r = 1; r <= 4; ++r) {
        EXPECT_EQ(cell(host.grid, r, 5), expected[r - 1].time) << "row " << r;
        EXPECT_EQ(cell(host.grid, r, 7), expected[r - 1].comment) << "row " << r;
    }
    EXPECT_TRUE(host.messages.empty());
}

TEST(MakeListing, UnreadableFilesAreSkippedAndNamedInOneMessage) {
    TempDir dir;
    dir.write("a.chn", std::string(10, '\0'));
    dir.write("b.chn", standard("kept").bytes());
    ChnFile cut = standard("");
    cut.tail.clear();
    std::string cut_bytes = cut.bytes();
    cut_bytes.resize(cut_bytes.size() - 2);
    dir.write("c.chn", cut_bytes);
    // d.chn vanished after the list was read.
    FakeHost host(dir.path().string(), {"a.chn", "b.chn", "c.chn", "d.chn"});
    State state;
    make_listing(state, host);

    // The one readable file is row 1 and the listing is finished although the last file failed.
    ASSERT_EQ(host.grid.rows(), 2);
    EXPECT_EQ(cell(host.grid, 1, 0), "1");
    EXPECT_EQ(cell(host.grid, 1, 1), "b       ");
    EXPECT_TRUE(host.grid.visible());
    ASSERT_EQ(host.messages.size(), 1u);
    const std::string& text = host.messages[0];
    EXPECT_NE(text.find("3 CHN files could not be read"), std::string::npos) << text;
    EXPECT_NE(text.find("a.chn: the header is incomplete"), std::string::npos) << text;
    EXPECT_NE(text.find("c.chn: the channel data are incomplete"), std::string::npos) << text;
    EXPECT_NE(text.find("d.chn: File does not exist."), std::string::npos) << text;
    EXPECT_EQ(text.find("b.chn"), std::string::npos) << text;
    const std::vector<std::string> events = {"busy",      "grid busy", "idle",
                                             "grid idle", "message",   "modal"};
    EXPECT_EQ(host.events, events);
}

TEST(MakeListing, WithoutReadableFilesTheGridKeepsItsHeaderAlone) {
    TempDir dir;
    dir.write("a.chn", standard("first").bytes());
    dir.write("b.chn", standard("second").bytes());
    FakeHost host(dir.path().string(), {"a.chn", "b.chn"});
    State state;
    make_listing(state, host);

    FakeHost empty(dir.path().string(), {});
    empty.grid = host.grid;
    make_listing(state, empty);
    FakeHost broken(dir.path().string(), {"gone.chn"});
    broken.grid = host.grid;
    make_listing(state, broken);

    EXPECT_EQ(host.status, "2 CHN files");
    for (FakeHost* h : {&empty, &broken}) {
        // No row of the folder listed before stays, nor any file behind a row.
        EXPECT_EQ(h->grid.rows(), 1);
        EXPECT_EQ(cell(h->grid, 0, 1), "FileName ");
        EXPECT_TRUE(h->listing_state().files.empty());
        EXPECT_EQ(h->made_folder, dir.path().string());
        EXPECT_EQ(h->events.back(), "modal");
    }
    EXPECT_EQ(empty.status, "No CHN files in " + dir.path().string() + ".");
    EXPECT_EQ(broken.status, "0 CHN files, 1 not readable");
}

TEST(MakeListing, CancellingKeepsTheRowsListedSoFar) {
    TempDir dir;
    for (const char* name : {"a.chn", "b.chn", "c.chn"})
        dir.write(name, standard("").bytes());
    FakeHost host(dir.path().string(), {"a.chn", "b.chn", "c.chn"});
    host.grid.set_rows(40);
    host.stop_before = 2;
    State state;
    make_listing(state, host);
    EXPECT_EQ(host.grid.rows(), 3);
    EXPECT_EQ(state.org_path, dir.dir() + "b.chn");
}

TEST(WriteCurrentChn, WritingAfterMakeKeepsTheFileByteForByte) {
    TempDir dir;
    ChnFile file = standard("Co-60 check");
    file.file_type = 0;      // another program's format word
    file.live_ticks = 6013;  // not whole seconds
    file.tail += "extra block after the trailer";
    const std::string original = file.bytes();
    dir.write("a.chn", standard("").bytes());
    dir.write("b.chn", original);
    FakeHost host(dir.path().string(), {"a.chn", "b.chn"});
    State state;
    state.org_type = 1;
    state.run_mode = app::mode_chn_edit;
    app::Command1_Click(state, host);
    state.org_type = 6;
    app::Command1_Click(state, host);

    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(dir.read("b.chn"), original);
    EXPECT_EQ(host.written, std::vector<std::string>{dir.dir() + "b.chn"});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST(WriteCurrentChn, LayoutsWithoutTrailerOrAFailedReadWriteNothing) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* says;
    };
    ChnFile other = standard("");
    other.tens = 0;
    const std::vector<Case> cases = {
        {"old.chn", with_comment(5, "note").bytes(), "has a comment in place of the trailer"},
        {"odd.chn", other.bytes(), "match no known CHN layout"},
        {"short.chn", std::string(20, '\x01'), "could not be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.write("good.chn", standard("good").bytes());
        dir.write(c.name, c.bytes);
        FakeHost host(dir.path().string(), {"good.chn", c.name});
        State state;
        make_listing(state, host);
        host.messages.clear();
        write_current_chn(state, host);

        EXPECT_EQ(dir.read(c.name), c.bytes);
        EXPECT_TRUE(host.written.empty());
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].find("Nothing was written: "), 0u) << host.messages[0];
        EXPECT_NE(host.messages[0].find(c.name), std::string::npos) << host.messages[0];
        EXPECT_NE(host.messages[0].find(c.says), std::string::npos) << host.messages[0];
    }
}

TEST(WriteCurrentChn, BeforeAnythingOrAfterAFailedConversionNothingIsWritten) {
    TempDir dir;
    FakeHost host(dir.path().string(), {});
    State state;
    write_current_chn(state, host);
    state.chn_dir = dir.dir();
    state.org_path = "/samples/S0123.TXT";
    state.record_file = state.org_path;
    state.record_source = RecordSource::conversion_failed;
    write_current_chn(state, host);

    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0], "Nothing to write yet: convert a file or make the listing first.");
    EXPECT_NE(host.messages[1].find("S0123.TXT did not convert"), std::string::npos);
    EXPECT_FALSE(dir.exists("S0123.chn"));
}

TEST(WriteCurrentChn, AfterAConversionTheSpectrumIsWrittenAgain) {
    TempDir dir;
    FakeHost host(dir.path().string(), {});
    State state;
    state.chn_dir = dir.dir();
    state.org_path = "/samples/S0123.TXT";
    state.record_source = RecordSource::converted;
    state.chn_header.num_channels = 2;
    state.counts.set(1, 77);
    write_current_chn(state, host);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(dir.read("S0123.chn"), spectrum::chn_bytes(state));
    EXPECT_EQ(host.written, std::vector<std::string>{dir.dir() + "S0123.chn"});

    // A file that could not be written is not reported as written.
    state.chn_dir = dir.dir() + "missing/";
    write_current_chn(state, host);
    EXPECT_EQ(host.written.size(), 1u);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("cannot write"), std::string::npos) << host.messages[0];
}

TEST(ChnEditDispatch, EditDoesNothing) {
    FakeHost host("/nowhere", {"a.chn"});
    State state;
    state.run_mode = app::mode_chn_edit;
    state.org_type = 5;
    app::run_chn_edit_action(state, host);
    EXPECT_TRUE(host.events.empty());
    EXPECT_TRUE(state.chn_dir.empty());
}

// The listing printed by the command line.
struct Cli {
    int status;
    std::string out;
    std::string err;
};

Cli run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int status = app::run_convert_cli(args, out, err, false);
    return {status, out.str(), err.str()};
}

TEST(ListCommand, PrintsTheGridCellsOfEveryChnFile) {
    TempDir dir;
    dir.write("b.CHN", with_comment(0, "line one\r\nline, \"two\"").bytes());
    dir.write("a.chn", standard("Co-60").bytes());
    dir.write("notes.txt", "not a spectrum");

    const std::string header = "No\tFileName\text\tLiveTime\tDate\tTime\tsite\tcomment\n";
    const std::string pad_a(59, ' '), pad_b(43, ' ');
    Cli tab = run({"--list", dir.path().string()});
    EXPECT_EQ(tab.status, 0) << tab.err;
    EXPECT_EQ(tab.out,
              header + "1\ta       \tCHN \t     120\t05Jul031\t142337\t0\tCo-60" + pad_a + "\n" +
                  "2\tb       \tCHN \t     120\t05Jul031\t142300\t0\tline one  line, \"two\"" +
                  pad_b + "\n");

    Cli csv = run({"--list", dir.path().string(), "--csv"});
    EXPECT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out,
              "No,FileName,ext,LiveTime,Date,Time,site,comment\r\n"
              "1,a       ,CHN ,     120,05Jul031,142337,0,Co-60" +
                  pad_a + "\r\n" +
                  "2,b       ,CHN ,     120,05Jul031,142300,0,\"line one\r\nline, \"\"two\"\"" +
                  pad_b + "\"\r\n");
}

TEST(ListCommand, UnreadableFilesAndMissingFolders) {
    TempDir dir;
    dir.write("a.chn", std::string(3, '\0'));
    dir.write("b.chn", standard("").bytes());
    Cli bad = run({"--list", dir.path().string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "a.chn: the header is incomplete (3 of 32 bytes)\n");
    EXPECT_EQ(bad.out.substr(bad.out.find('\n') + 1, 2), "1\t");

    Cli missing = run({"--list", (dir.path() / "nothing").string()});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.out.empty());
}

#ifndef _WIN32
TEST(ListCommand, EntriesThatAreNoRegularFilesAreReportedNotPassedOver) {
    TempDir dir;
    dir.write("a.chn", standard("Co-60").bytes());
    ASSERT_EQ(::mkfifo((dir.path() / "b.chn").c_str(), 0644), 0);
    std::filesystem::create_directory(dir.path() / "c.chn");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, (dir.path() / "d.chn").c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_symlink("nowhere.chn", dir.path() / "e.chn");
    std::filesystem::create_symlink("a.chn", dir.path() / "f.CHN");
    std::filesystem::create_symlink("c.chn", dir.path() / "g.chn");

    Cli r = run({"--list", dir.path().string()});
    ::close(sock);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "b.chn: not a regular file\n"
              "c.chn: not a regular file\n"
              "d.chn: not a regular file\n"
              "e.chn: a link to a file that does not exist\n"
              "g.chn: not a regular file\n");
    // The files that read are listed all the same, a link to one among them.
    const std::string rows = r.out.substr(r.out.find('\n') + 1);
    EXPECT_EQ(rows.substr(0, 11), "1\ta       \t");
    EXPECT_EQ(rows.substr(rows.find('\n') + 1, 11), "2\tf       \t");
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
}
#endif

}  // namespace
}  // namespace brandel::listing
