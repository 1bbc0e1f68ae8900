// `kestrune view` driven headless through its keys, mouse bytes and event log. Receives the log
// lines and frame dumps of scripted sessions on a generated recording; checks each action's
// lines and that every presented frame is exactly the frame `kestrune render` writes for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/recording_files.h"
#include "tests/tool/tool_run.h"
#include "tools/view/osd.h"
#include "tools/view/view_options.h"

namespace {

// 60 frames stamped k/20 s: frame 0 is held 0 s, frame k from (k-1)/20 s for 50 ms; 2.95 s long.
constexpr const char* kDesktop = "320x240";
const std::string kExt = "\xff";

std::string mouse(char kind, int x, int y) {
  std::string bytes = "\xff\xfe";
  bytes += kind;
  for (int value : {x, y}) {
    bytes += char(value & 0xFF);
    bytes += char(value >> 8);
  }
  return bytes;
}

class ViewSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    recording_ = folder_->file("Video/Stream/synthetic.%i.rec");
    ASSERT_EQ(runTool({"demo", folder_->path(), "--frames", "60", "--triangles", "200", "--fps",
                       "20", "--seed", "3"})
                  .exit_code,
              0);
    ASSERT_EQ(runTool({"render", recording_, "--out", folder_->file("render"), "--desktop",
                       kDesktop, "--format", "raw"})
                  .exit_code,
              0);
  }
  static void TearDownTestSuite() { delete folder_; }

  void start(std::vector<std::string> options) {
    dumps_ = folder_->file("dumps" + std::to_string(++sessions_));
    options.insert(options.begin(),
                   {"view", recording_, "--desktop", kDesktop, "--log", "/dev/stdout"});
    ProcessOptions process;
    process.arguments = options;
    process.environment = {"KESTRUNE_PRESENTER=headless", "KESTRUNE_FRAME_DUMP=" + dumps_};
    process.working_folder = folder_->path();
    process.timeout_ms = 60000;
    ASSERT_TRUE(startProcess(KESTRUNE_TOOL_PATH, process, &process_));
  }

  // Waits for a whole log line after the ones already matched.
  bool expectLine(const std::string& line) {
    for (int turn = 0; turn < 400; ++turn) {
      const std::string& out = process_.result.out;
      for (size_t at = out.find(line + "\n", seen_); at != std::string::npos;
           at = out.find(line + "\n", at + 1)) {
        if (at == 0 || out[at - 1] == '\n') {
          seen_ = at + line.size() + 1;
          return true;
        }
      }
      readOutputUntil(process_, "\x01", 50);  // collects output for 50 ms
    }
    ADD_FAILURE() << "no line \"" << line << "\" after: " << process_.result.out.substr(seen_);
    return false;
  }

  void send(const std::string& bytes, const std::vector<std::string>& lines) {
    ASSERT_TRUE(writeInput(process_, bytes));
    for (const std::string& line : lines) {
      if (!expectLine(line)) return;
    }
  }

  // Ends the session and compares each presented frame's dump with the straight render.
  void finish(int exit_code = 0) {
    const ProcessResult result = finishProcess(process_);
    EXPECT_EQ(result.exit_code, exit_code) << result.err;
    int presents = 0;
    size_t from = 0;
    long long seq = 0, frame = 0;
    while ((from = result.out.find("present ", from)) != std::string::npos) {
      ASSERT_EQ(std::sscanf(result.out.c_str() + from, "present %lld frame %lld", &seq, &frame), 2);
      char shown_name[32], frame_name[32];
      std::snprintf(shown_name, sizeof shown_name, "/frame_%06lld.raw", seq);
      std::snprintf(frame_name, sizeof frame_name, "/frame_%06lld.raw", frame);
      const std::string shown = readWholeFile(dumps_ + shown_name);
      const std::string rendered = readWholeFile(folder_->file("render") + frame_name);
      ASSERT_EQ(shown.size(), 160u * 120u * 2u) << "present " << seq;
      ASSERT_TRUE(shown == rendered) << "present " << seq << " is not frame " << frame;
      ++presents;
      from += 8;
    }
    EXPECT_GT(presents, 0);
  }

  static TempFolder* folder_;
  static std::string recording_;
  static int sessions_;
  std::string dumps_;
  RunningProcess process_;
  size_t seen_ = 0;
};

TempFolder* ViewSession::folder_ = nullptr;
std::string ViewSession::recording_;
int ViewSession::sessions_ = 0;

// Every key of the paused viewer, one at a time, with the lines each must write.
TEST_F(ViewSession, KeysSeekStepLoopSpeedAndSaveExactly) {
  start({"--paused", "--start", "10"});
  expectLine("present 0 frame 10");
  struct Step {
    std::string keys;
    std::vector<std::string> lines;
  };
  const Step steps[] = {
      {".", {"seek 11", "present 1 frame 11"}},
      {",", {"seek 10", "present 2 frame 10"}},
      {kExt + "M", {"seek 59", "present 3 frame 59"}},  // 0.45 s + 5 s: past the end, the last
      {kExt + "K", {"seek 1", "present 4 frame 1"}},    // 2.9 s - 5 s: 0 s, where frame 1 starts
      {kExt + "O", {"seek 59", "present 5 frame 59"}},  // End
      {kExt + "G", {"seek 0", "present 6 frame 0"}},    // Home
      {kExt + "H", {"seek 59", "present 7 frame 59"}},  // Up: 60 s on
      {kExt + "P", {"seek 1", "present 8 frame 1"}},    // Down: 60 s back
      {"5", {"seek 30", "present 9 frame 30"}},         // 1.475 s: frame 30 starts at 1.45 s
      {"9", {"seek 54", "present 10 frame 54"}},        // 2.655 s: frame 54 starts at 2.65 s
      {"l.l", {"seek 55", "present 11 frame 55", "loop 54 55"}},
      {"l", {"loop off"}},
      {"L", {"loop 0 59"}},
      {"L", {"loop off"}},
      {"]", {"speed 1.1"}},
      {"}", {"speed 2.2"}},
      {"{", {"speed 1.1"}},
      {"[", {"speed 1"}},
      {"[", {"speed 0.909091"}},
      {"\b", {"speed 1"}},
      {"s", {"saved synthetic_frame_000055.png"}},
      {"oio", {"osd off", "stats on", "osd on"}},
      {"f", {"fullscreen"}},
      {"p", {"resume 55"}},
      {"q", {"quit"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE("keys " + step.keys);
    send(step.keys, step.lines);
  }
  finish();
  const ProcessResult png = runTool({"render", recording_, "--out", folder_->file("png"),
                                     "--desktop", kDesktop, "--frames", "55"});
  ASSERT_EQ(png.exit_code, 0);
  EXPECT_TRUE(readWholeFile(folder_->file("synthetic_frame_000055.png")) ==
              readWholeFile(folder_->file("png/frame_000055.png")));
}

// Playing at the recording's pace, with an A-B loop and then to the end.
TEST_F(ViewSession, PlaysLoopsAndPausesAtTheEnd) {
  start({"--paused", "--start", "40"});
  expectLine("present 0 frame 40");
  send("l.....l", {"seek 45", "loop 40 45"});
  send(" ", {"resume 45", "seek 40"});  // after frame 45's hold, back to A
  send("l", {"loop off"});
  send("}}", {"speed 2", "speed 4"});
  expectLine("end 59");
  send("q", {"quit"});
  finish();
}

// --loop plays again from the start; --exit-at-end quits there by itself.
TEST_F(ViewSession, EndOptions) {
  start({"--start", "50", "--loop"});
  expectLine("end 59");
  expectLine("seek 0");
  send(kExt + "k", {"quit"});  // the close button
  finish();
  seen_ = 0;
  start({"--start", "55", "--exit-at-end"});
  expectLine("end 59");
  expectLine("quit");
  finish();
}

// A click and a drag on the progress bar seek there; the wheel seeks 5 s.
TEST_F(ViewSession, MouseSeeksOnTheBarAndWithTheWheel) {
  start({"--paused", "--start", "20"});
  expectLine("present 0 frame 20");
  const OsdRect bar = osdBarRect(160, 120);
  const int middle_y = bar.y + bar.height / 2;
  send(mouse('p', bar.x, middle_y) + mouse('r', bar.x, middle_y), {"seek 1"});
  send(mouse('u', 10, 10), {"seek 59"});
  send(mouse('d', 10, 10), {"seek 1"});
  send(mouse('p', bar.x + bar.width - 1, middle_y), {"seek 59"});
  send(mouse('m', bar.x, middle_y) + mouse('r', bar.x, middle_y), {"seek 1"});
  send(mouse('c', 10, 10), {"fullscreen"});  // a double click
  send(mouse('p', 10, 10), {});              // off the bar: nothing
  send("q", {"quit"});
  finish();
}

TEST(ViewCommand, ReportsBadInputClearly) {
  TempFolder folder;
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string error;
  };
  const std::string missing = folder.file("none.%i.rec");
  const Case cases[] = {
      {{"view", missing}, 1, "kestrune view: cannot open " + folder.file("none.0.rec") + "\n"},
      {{"view", missing, "--start", "x"}, 2, "kestrune view: bad frame \"x\"\n"},
      {{"view", missing, "--loop", "--exit-at-end"},
       2,
       "kestrune view: --loop and --exit-at-end exclude each other\n"},
  };
  for (const Case& c : cases) {
    const ProcessResult result = runTool(c.args, "", {"KESTRUNE_PRESENTER=headless"});
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_EQ(result.err.substr(0, c.error.size()), c.error);
  }
  const ProcessResult help = runTool({"view", "--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("Space, p        pause / resume"), std::string::npos);
  const ProcessResult version = runTool({"view", "--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, runTool({"--version"}).out);
}

// Without a recording the viewer opens the demo installed beside it (share/kestrune/demo next
// to its bin folder), and says so when there is none.
TEST(ViewCommand, WithoutARecordingOpensTheInstalledDemo) {
  TempFolder folder;
  const std::string tool = folder.file("bin/kestrune");
  ASSERT_TRUE(copyExecutable(KESTRUNE_TOOL_PATH, tool));
  ProcessOptions options;
  options.arguments = {"view", "--start", "299", "--exit-at-end", "--desktop", "320x240"};
  options.environment = {"KESTRUNE_PRESENTER=headless"};
  const ProcessResult none = runProcess(tool, options);
  EXPECT_EQ(none.exit_code, 2);
  EXPECT_EQ(none.err.substr(0, none.err.find('\n')),
            "kestrune view: no recording given, and no demo recording installed beside the program");
  ASSERT_EQ(runTool({"demo", folder.file("share/kestrune/demo")}).exit_code, 0);
  options.arguments.insert(options.arguments.end(), {"--log", folder.file("log")});
  EXPECT_EQ(runProcess(tool, options).exit_code, 0);
  EXPECT_EQ(readWholeFile(folder.file("log")), "present 0 frame 299\nend 299\nquit\n");
}

// The desktop entry opens a recording by its part 0; --all-parts plays every part from it.
TEST(ViewCommand, AllPartsMakesPartZerosNameATemplate) {
  const std::pair<std::string, std::string> cases[] = {
      {"/v/Stream/Rec_1.0.rec", "/v/Stream/Rec_1.%i.rec"},
      {"Rec.0.0.rec", "Rec.0.%i.rec"},
      {"/v.0.x/Rec.rec", "/v.0.x/Rec.rec"},
      {"Rec.10.rec", "Rec.10.rec"},
      {"Rec.1.rec", "Rec.1.rec"},
  };
  for (const auto& [path, series] : cases) EXPECT_EQ(partSeriesOf(path), series) << path;
}

// A texture dump that is not there is named, and the recording plays on without it; --textures
// names the folder the dumps are taken from.
TEST(ViewCommand, NamesAMissingDumpAndReadsDumpsWhereToldTo) {
  TempFolder folder;
  ASSERT_EQ(runTool({"demo", folder.path(), "--frames", "5", "--triangles", "20"}).exit_code, 0);
  const std::string recording = folder.file("Video/Stream/synthetic.%i.rec");
  const std::string dump =
      folder.file("Video/Stream/../TexDump/") + filesIn(folder.file("Video/TexDump")).front();
  ASSERT_EQ(std::rename(dump.c_str(), (dump + ".away").c_str()), 0);
  const std::vector<std::string> headless = {"KESTRUNE_PRESENTER=headless"};
  ProcessResult result = runTool({"view", recording, "--exit-at-end"}, "", headless);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_NE(result.err.find("Failed to open '" + dump + "'"), std::string::npos) << result.err;
  const std::string elsewhere = folder.file("elsewhere/");
  result = runTool({"view", recording, "--exit-at-end", "--textures", elsewhere}, "", headless);
  EXPECT_NE(result.err.find("Failed to open '" + elsewhere), std::string::npos) << result.err;
}

}  // namespace

namespace {

// A seek beyond what drawing ahead has reached waits for it, and a key cancels the wait: here
// the end of a recording that takes drawing ahead many seconds, and `q` right behind End.
TEST(ViewWaitingSeek, AKeyCancelsItAndQuitsAtOnce) {
  TempFolder folder;
  ASSERT_EQ(runTool({"demo", folder.path(), "--frames", "3000", "--triangles", "1500"}).exit_code,
            0);
  ProcessOptions options;
  options.arguments = {"view", folder.file("Video/Stream/synthetic.%i.rec"), "--paused", "--log",
                       "/dev/stdout"};
  options.environment = {"KESTRUNE_PRESENTER=headless"};
  options.timeout_ms = 60000;
  RunningProcess process;
  ASSERT_TRUE(startProcess(KESTRUNE_TOOL_PATH, options, &process));
  ASSERT_TRUE(readOutputUntil(process, "present 0 frame 0\n", 30000));
  ASSERT_TRUE(writeInput(process, "\xffOq"));
  const ProcessResult result = finishProcess(process);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "present 0 frame 0\nquit\n");
}

}  // namespace
