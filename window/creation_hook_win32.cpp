// The one-shot hook on window creation and the exit routine: receives arm and disarm requests;
// hands on the next CreateWindowExA call with its style edited (hidden, sizing border) and, at
// exit, CreateWindowExA, the blit call sites and the timer period as they were.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "window/scaled_window.h"
#include "window/scaled_window_win32.h"

namespace {

// `mov edi, edi; push ebp; mov ebp, esp`: the hot-patch prologue. The stub redoes the last two
// instructions and resumes after them, so the jump may only go over exactly these five bytes.
constexpr uint8_t kHotPatchPrologue[5] = {0x8B, 0xFF, 0x55, 0x8B, 0xEC};
constexpr uint8_t kNearJump = 0xE9;
constexpr int kPatchLength = 8;

uint8_t* creationTarget() {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<uint8_t*>(GetProcAddress(user32, "CreateWindowExA"));
}

void writeHookJump(uint8_t* target) {
  const uintptr_t resume = reinterpret_cast<uintptr_t>(target) + 5;
  const int32_t displacement =
      static_cast<int32_t>(reinterpret_cast<uintptr_t>(&creationStub) - resume);
  uint8_t jump[5] = {kNearJump};
  std::memcpy(jump + 1, &displacement, 4);
  std::memcpy(target, jump, sizeof jump);
}

void arm(ScaledWindowState& state, uint8_t* target) {
  timeBeginPeriod(1);
  ++state.timerRequests;
  state.hookResume = reinterpret_cast<uintptr_t>(target) + 5;
  std::memcpy(state.savedPrologue, target, kPatchLength);
  writeHookJump(target);
}

void disarm(ScaledWindowState& state, uint8_t* target) {
  std::memcpy(target, state.savedPrologue, kPatchLength);
  state.hookResume = 0;
}

// Anything else at the entry (another hook's jump, a build without the prologue) would make the
// stub resume in the middle of an instruction.
bool startsWithHotPatchPrologue(const uint8_t* target) {
  return std::memcmp(target, kHotPatchPrologue, sizeof kHotPatchPrologue) == 0;
}

}  // namespace

// Reached from creationStub on the creating thread, with every register saved by the stub.
// Returns where CreateWindowExA goes on: just after the prologue that the stub redid.
extern "C" uintptr_t creationStubResume() {
  uintptr_t resume = scaledWindowState().hookResume;
  hookCreation(1);
  // Another thread disarmed between the jump and this read: the entry is the same either way.
  if (resume == 0) resume = reinterpret_cast<uintptr_t>(creationTarget()) + 5;
  return resume;
}

// Entered by the hook jump with CreateWindowExA's stack: [esp] the return address, [esp+4]
// dwExStyle, [esp+8] lpClassName, [esp+12] lpWindowName, [esp+16] dwStyle. It first does what
// the displaced prologue did (push ebp; mov ebp, esp), so dwStyle is at [ebp+20] from then on.
// A slot below the frame receives the resume address; after every register is restored, `ret`
// takes the slot and jumps there with esp back at ebp: exactly the state after the prologue.
// Flags are not preserved, as for any call. The C part runs on a 16-byte aligned stack.
extern "C" __attribute__((naked)) void creationStub() {
  asm(R"(
    pushl %ebp
    movl %esp, %ebp
    pushl %eax
    pushal
    movl %esp, %esi
    andl $-16, %esp
    call _creationStubResume
    movl %esi, %esp
    movl %eax, -4(%ebp)
    andl $0xEFFFFFFF, 20(%ebp)  # dwStyle: WS_VISIBLE cleared
    orl $0x00040000, 20(%ebp)   # and WS_THICKFRAME set
    popal
    ret
  )");
}

void hookCreation(int32_t disarming) {
  ScaledWindowState& state = scaledWindowState();
  uint8_t* target = creationTarget();
  if (target == nullptr) return;
  const bool arming = disarming == 0 && state.hookResume == 0;
  if (arming && !startsWithHotPatchPrologue(target)) {
    std::fprintf(stderr,
                 "Kestrune: CreateWindowExA does not begin with the hot-patch prologue; window "
                 "creation is not hooked\n");
    return;
  }
  if (arming) registerScaledWindowExit();
  // Execute access stays: other threads may be running user32 code on the same page.
  DWORD protection = 0;
  VirtualProtect(target, kPatchLength, PAGE_EXECUTE_READWRITE, &protection);
  if (arming) {
    arm(state, target);
  } else if (disarming != 0 && state.hookResume != 0) {
    disarm(state, target);
  }
  VirtualProtect(target, kPatchLength, protection, &protection);
  FlushInstructionCache(GetCurrentProcess(), target, kPatchLength);
}

void closeScaledWindow() {
  ScaledWindowState& state = scaledWindowState();
  for (; state.timerRequests > 0; --state.timerRequests) timeEndPeriod(1);
  if (state.hookResume != 0) hookCreation(1);
  restoreBlitSites();
}

void registerScaledWindowExit() {
  static const bool registered = std::atexit(closeScaledWindow) == 0;
  (void)registered;
}
