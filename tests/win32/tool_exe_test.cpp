// kestrune.exe end to end: its version, `info` on the demo recording the native build wrote
// (scripts/build copies it beside the Windows build), and the demo's first frames rendered as PNG
// and raw files, each PNG decoding to its raw frame's pixels widened.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// The PNG decoder, for this test binary only.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

namespace {

constexpr int kWindowWidth = 960;  // the default 1920x1080 desktop filtered 2:1
constexpr int kWindowHeight = 540;

// The folder of this test executable; the tool is built beside it.
std::string ownFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of("\\/"));
}

// The demo recording's part files, by the player's "%i" rule.
std::string demoPart(int index) {
  return ownFolder() + "\\..\\Video\\Stream\\Recording_12_01_2013_13_41_13." +
         std::to_string(index) + ".rec";
}

std::string demoRecording() {
  return ownFolder() + "\\..\\Video\\Stream\\Recording_12_01_2013_13_41_13.%i.rec";
}

std::string readWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
struct TempFolder {
  std::string path;
  TempFolder() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path = std::string(temp) + "kestrune_tool_exe_" + std::to_string(GetCurrentProcessId());
    std::error_code error;
    std::filesystem::remove_all(path, error);
    std::filesystem::create_directories(path, error);
  }
  ~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path, error);
  }
};

struct ToolRun {
  std::string out;
  std::string err;
  DWORD exit_code = 99;
  bool ended = false;  // false when it had to be stopped
};

HANDLE inheritedFile(const char* path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs kestrune.exe with the arguments (each quoted; none holds a quote) and the null device as
// standard input. Its standard output and error go to files in `folder`, so that neither can fill
// up while the other is read.
ToolRun runTool(const std::vector<std::string>& arguments, const std::string& folder) {
  const std::string out_path = folder + "\\stdout.txt";
  const std::string err_path = folder + "\\stderr.txt";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inheritedFile("NUL", GENERIC_READ, OPEN_EXISTING);
  startup.hStdOutput = inheritedFile(out_path.c_str(), GENERIC_WRITE, CREATE_ALWAYS);
  startup.hStdError = inheritedFile(err_path.c_str(), GENERIC_WRITE, CREATE_ALWAYS);
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on one long concatenation.
  std::string command = "\"";
  command += ownFolder();
  command += "\\" KESTRUNE_TOOL_EXE "\"";
  for (const std::string& argument : arguments) {
    command += " \"";
    command += argument;
    command += "\"";
  }
  PROCESS_INFORMATION process{};
  ToolRun run;
  if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    run.ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
    if (!run.ended) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &run.exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(startup.hStdInput);
  CloseHandle(startup.hStdOutput);
  CloseHandle(startup.hStdError);
  run.out = readWholeFile(out_path);
  run.err = readWholeFile(err_path);
  return run;
}

// The lines of a text whose every line ends in CR LF (standard output is in text mode); a line
// without its CR is kept with "<no CR>" appended, so that it matches nothing expected.
std::vector<std::string> crlfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    } else {
      line += "<no CR>";
    }
    lines.push_back(line);
  }
  return lines;
}

TEST(ToolExe, PrintsItsVersion) {
  TempFolder folder;
  const ToolRun run = runTool({"--version"}, folder.path);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.out, "kestrune " KESTRUNE_VERSION "\r\n") << run.err;
}

// The demo (tools/tool_demo.cpp) has 300 frames at 30 a second, 8 frames a chunk, and per frame
// 4 background triangles, 8 pinwheel spokes, a checkerboard square (2 triangles, slot 1, blend
// mode 0) and a star square (2 triangles, slot 2, blend mode 1), then a mark stamped frame / 30.
// So: 38 chunks (37 of 8 frames, one of 4), 300 x 16 = 4800 triangles and 5100 records, 1200
// textured (25.00%), 300 x 14 = 4200 in blend mode 0 and 600 in mode 1, and a last stamp of
// 299 / 30 = 9.9666662 as a float. Its three parts are sized as the native build wrote them.
TEST(ToolExe, InfoReadsTheNativeBuildsDemoRecording) {
  ASSERT_TRUE(std::filesystem::is_regular_file(demoPart(0)))
      << demoPart(0) << " is missing: scripts/build native win32 copies it here";
  TempFolder folder;
  const ToolRun run = runTool({"info", demoRecording()}, folder.path);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exit_code, 0u) << run.err;

  std::vector<std::string> expected = {"recording: " + demoRecording(), "magic: KREC"};
  for (int part = 0; part < 3; ++part) {
    expected.push_back("part " + std::to_string(part) + ": " + demoPart(part) + " " +
                       std::to_string(std::filesystem::file_size(demoPart(part))) + " bytes");
  }
  for (const char* line : {"texture 1: 4B45535452554E31 8 bpp 64x64 loads",
                           "texture 2: 4B45535452554E32 4 bpp 32x32 loads",
                           "empty texture slots: 3-32",
                           "chunks: 38",
                           "records: 5100",
                           "frame marks: 300",
                           "triangles: 4800",
                           "point records: 0",
                           "bad-kind records: 0",
                           "cut-off records: 0",
                           "frames: 300",
                           "duration: 9.966666 s (time stamps 0.000000 to 9.966666)",
                           "triangles per frame: min 16 median 16 max 16",
                           "triangles after the last frame mark: 0",
                           "textured triangles: 1200 of 4800 (25.00%)",
                           "textured triangles without a loaded texture: 0",
                           "blend mode 0: 4200 triangles",
                           "blend mode 1: 600 triangles",
                           "blend mode 2: 0 triangles",
                           "anomalies: 0",
                           "end: stream used up"}) {
    expected.push_back(line);
  }
  // Each expected line, in this order, among the lines printed.
  const std::vector<std::string> lines = crlfLines(run.out);
  size_t next = 0;
  for (const std::string& line : expected) {
    size_t at = next;
    while (at < lines.size() && lines[at] != line) ++at;
    EXPECT_LT(at, lines.size()) << "missing after line " << next << ": " << line << "\n" << run.out;
    if (at < lines.size()) next = at + 1;
  }
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "end: stream used up");
}

uint16_t rawPixel(const std::string& raw, int x, int y) {
  const size_t at = 2 * (static_cast<size_t>(y) * kWindowWidth + static_cast<size_t>(x));
  return static_cast<uint16_t>(static_cast<uint8_t>(raw[at]) | static_cast<uint8_t>(raw[at + 1])
                                                                   << 8);
}

// Frame 0's background is packed 0xF603 (red 6, green 0, blue 3 of 15), drawn as is: red
// (6/15)f x 63488 + 1024 = 26419, whose top 5 bits are 12; green 0 x 64512 + 512 = 512, top 6
// bits 0; blue (3/15)f x 63488 + 1024 = 13721, top 5 bits 6: pixel 12 << 11 | 6 = 0x6006. The
// 2:1 filter averages four equal pixels with even channels, which keeps them: 0x6006, widened to
// red 12 << 3 | 12 >> 2 = 99, green 0, blue 6 << 3 | 6 >> 2 = 49. Frames 1 and 2 keep the colour
// (it changes every 20 and 30 frames). These points lie outside the pinwheel and both squares.
TEST(ToolExe, RendersTheDemoAsPngsThatDecodeToTheRawPixelsWidened) {
  ASSERT_TRUE(std::filesystem::is_regular_file(demoPart(0)))
      << demoPart(0) << " is missing: scripts/build native win32 copies it here";
  TempFolder folder;
  for (const char* format : {"png", "raw"}) {
    const std::string out = folder.path + "\\" + format;
    const ToolRun run =
        runTool({"render", demoRecording(), "--out", out, "--frames", "0-2", "--format", format},
                folder.path);
    ASSERT_TRUE(run.ended) << format;
    EXPECT_EQ(run.exit_code, 0u) << format << ": " << run.err;
    EXPECT_EQ(run.out, "3 frames of 960x540 written to " + out + "\r\n");
    EXPECT_FALSE(std::filesystem::exists(out + "\\frame_000003." + format));
  }
  for (int frame = 0; frame < 3; ++frame) {
    std::string name = "frame_00000";  // appended: GCC 12 -O3 warns falsely on a + chain
    name += std::to_string(frame);
    const std::string raw = readWholeFile(folder.path + "\\raw\\" + name + ".raw");
    ASSERT_EQ(raw.size(), size_t{2 * kWindowWidth * kWindowHeight}) << name;
    for (const auto& [x, y] : {std::pair{40, 500}, {920, 40}, {920, 500}}) {
      EXPECT_EQ(rawPixel(raw, x, y), 0x6006) << name << " " << x << "," << y;
    }
    int width = 0, height = 0, channels = 0;
    stbi_uc* png =
        stbi_load((folder.path + "\\png\\" + name + ".png").c_str(), &width, &height, &channels, 0);
    ASSERT_NE(png, nullptr) << name << ": " << stbi_failure_reason();
    EXPECT_EQ(width, kWindowWidth);
    EXPECT_EQ(height, kWindowHeight);
    EXPECT_EQ(channels, 3);
    if (width == kWindowWidth && height == kWindowHeight && channels == 3) {
      int wrong = 0;
      for (int y = 0; y < kWindowHeight; ++y) {
        for (int x = 0; x < kWindowWidth; ++x) {
          const unsigned p = rawPixel(raw, x, y);
          const unsigned r = p >> 11, g = (p >> 5) & 63, b = p & 31;
          const stbi_uc* rgb = png + 3 * (y * kWindowWidth + x);
          const bool same = rgb[0] == (r << 3 | r >> 2) && rgb[1] == (g << 2 | g >> 4) &&
                            rgb[2] == (b << 3 | b >> 2);
          if (!same && wrong++ == 0) ADD_FAILURE() << name << " first differs at " << x << "," << y;
        }
      }
      EXPECT_EQ(wrong, 0) << name;
    }
    stbi_image_free(png);
  }
}

// The viewer in its GDI window: it starts paused where asked, steps and saves on window keys,
// and the close button ends it at once, window and process. Its log is the record.
struct ViewRun {
  PROCESS_INFORMATION process{};
  std::string log;
};

bool startView(const std::string& folder, ViewRun* run) {
  run->log = folder + "\\view.log";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  std::string command = "\"";
  command += ownFolder();
  command += "\\" KESTRUNE_TOOL_EXE "\" view \"";
  command += demoRecording();
  command += "\" --paused --start 10 --desktop 640x480 --log \"";
  command += run->log;
  command += "\"";
  return CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &run->process) != 0;
}

// Polls the log until it holds `text` (30 s at most).
bool logHolds(const ViewRun& run, const std::string& text) {
  for (int turn = 0; turn < 300; ++turn) {
    if (readWholeFile(run.log).find(text) != std::string::npos) return true;
    Sleep(100);
  }
  return false;
}

TEST(ToolExe, ViewStepsSavesAndClosesWithItsWindow) {
  TempFolder folder;
  ViewRun run;
  ASSERT_TRUE(startView(folder.path, &run));
  ASSERT_TRUE(logHolds(run, "present 0 frame 10\n")) << readWholeFile(run.log);
  HWND window = nullptr;
  const char* title = "Recording_12_01_2013_13_41_13 - frame 10 / 299 - paused - kestrune view";
  for (int turn = 0; turn < 100 && window == nullptr; ++turn, Sleep(100)) {
    window = FindWindowA(nullptr, title);
  }
  ASSERT_NE(window, nullptr) << "no window titled " << title;
  PostMessageA(window, WM_CHAR, '.', 0);
  EXPECT_TRUE(logHolds(run, "seek 11\npresent 1 frame 11\n")) << readWholeFile(run.log);
  PostMessageA(window, WM_CHAR, 's', 0);
  const std::string saved = "Recording_12_01_2013_13_41_13_frame_000011.png";
  EXPECT_TRUE(logHolds(run, "saved " + saved + "\n")) << readWholeFile(run.log);
  PostMessageA(window, WM_CLOSE, 0, 0);
  const bool ended = WaitForSingleObject(run.process.hProcess, 5000) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(run.process.hProcess, 99);
  DWORD exit_code = 99;
  GetExitCodeProcess(run.process.hProcess, &exit_code);
  CloseHandle(run.process.hThread);
  CloseHandle(run.process.hProcess);
  EXPECT_TRUE(ended);
  EXPECT_EQ(exit_code, 0u);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(readWholeFile(run.log).ends_with("quit\n"));
  // The saved frame is the one `render` writes.
  const ToolRun render = runTool({"render", demoRecording(), "--out", folder.path + "\\png",
                                  "--desktop", "640x480", "--frames", "11"},
                                 folder.path);
  ASSERT_EQ(render.exit_code, 0u) << render.err;
  EXPECT_TRUE(readWholeFile(folder.path + "\\" + saved) ==
              readWholeFile(folder.path + "\\png\\frame_000011.png"));
}

}  // namespace
