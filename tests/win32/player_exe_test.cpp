// The Windows player end to end: kestrune-player.exe plays a generated recording in its GDI
// window, prints its messages in order, and after "Done." ends on a key from standard input.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tools/recording_writer.h"

namespace {

// The folder of this test executable; the player is built beside it.
std::string ownFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of("\\/"));
}

struct PlayerProcess {
  PROCESS_INFORMATION info{};
  HANDLE stdin_write = nullptr;
  HANDLE stdout_read = nullptr;
};

// Starts the player with the recording path as its argument and pipes for its standard streams.
bool startPlayer(const std::string& recording, PlayerProcess* player) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE stdin_read = nullptr;
  HANDLE stdout_write = nullptr;
  if (!CreatePipe(&stdin_read, &player->stdin_write, &inherit, 0)) return false;
  if (!CreatePipe(&player->stdout_read, &stdout_write, &inherit, 0)) return false;
  SetHandleInformation(player->stdin_write, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(player->stdout_read, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = stdin_read;
  startup.hStdOutput = stdout_write;
  startup.hStdError = stdout_write;
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on one long concatenation.
  std::string command = "\"";
  command += ownFolder();
  command += "\\" KESTRUNE_PLAYER_EXE "\" ";
  command += recording;
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &player->info);
  CloseHandle(stdin_read);
  CloseHandle(stdout_write);
  return started != 0;
}

// Reads the player's output until it ends with `ending` or the pipe closes.
std::string readUntil(HANDLE pipe, const std::string& ending) {
  std::string text;
  char byte = 0;
  DWORD got = 0;
  while (ReadFile(pipe, &byte, 1, &got, nullptr) && got == 1) {
    text += byte;
    if (text.size() >= ending.size() && text.ends_with(ending)) break;
  }
  return text;
}

TEST(PlayerExe, PlaysARecordingAndEndsOnAKeyAfterDone) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string path_template = std::string(temp) + "kestrune_player_exe.%i.rec";

  // Two frames, one bad record kind in the second chunk, split across two parts inside the
  // second chunk's data.
  Bytes frame = joinBytes({triangleRecordBytes(plainTriangle(10, 10, 200, 20, 100, 200, 0xF00F)),
                           frameMarkBytes(0.0f)});
  Bytes stream = joinBytes({headerBytes(), compressedChunk(frame),
                            compressedChunk(joinBytes({frame, Bytes{7, 0}}))});
  const size_t cut = stream.size() - 5;
  ASSERT_TRUE(writeParts(splitIntoParts(stream, cut), path_template));

  PlayerProcess player;
  ASSERT_TRUE(startPlayer(path_template, &player));
  const std::string output = readUntil(player.stdout_read, "Done.");
  // Standard output is in text mode on Windows: a line break is CR LF.
  EXPECT_EQ(output, "Bad ID 7()!\r\nDone.");

  // A key after "Done." ends the program with exit code 0.
  DWORD written = 0;
  WriteFile(player.stdin_write, "x", 1, &written, nullptr);
  const DWORD waited = WaitForSingleObject(player.info.hProcess, 20000);
  if (waited != WAIT_OBJECT_0) TerminateProcess(player.info.hProcess, 99);
  EXPECT_EQ(waited, WAIT_OBJECT_0);
  DWORD exit_code = 1;
  GetExitCodeProcess(player.info.hProcess, &exit_code);
  EXPECT_EQ(exit_code, 0u);

  CloseHandle(player.stdin_write);
  CloseHandle(player.stdout_read);
  CloseHandle(player.info.hThread);
  CloseHandle(player.info.hProcess);
  DeleteFileA(partPath(path_template, 0).c_str());
  DeleteFileA(partPath(path_template, 1).c_str());
}

}  // namespace
