// First calls into a freshly loaded image, made by threads that the test
// holds at the stages of the step that makes the image ready (a test build
// of it, whose seam calls this program's AcpiImageReadinessSeam export).
// Two guarantees are shown, each by an order of events that breaks it when
// it is missing: every walk of the loader's list waits for the loader lock,
// and only the thread whose claim succeeded prepares the image.

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acpi/image_readiness.h"
#include "acpi/loader_list.h"
#include "acpi/pe_image.h"
#include "base/unique_handle.h"
#include "base/win.h"
#include "support/paths.h"
#include "support/scratch.h"
#include "test_programs.h"

namespace {

using Stage = ImageReadinessStage;
using Stages = std::vector<Stage>;

// Polls until the condition holds; false after a minute, which only a hung
// thread takes.
bool Eventually(const std::function<bool()>& condition) {
  for (DWORD waited = 0; waited < 60000; waited += 1) {
    if (condition()) return true;
    ::Sleep(1);
  }
  return condition();
}

// The stages each thread reached, in order, and the stages where a thread is
// to stay until released.
class StageBoard {
 public:
  // On the thread that reached the stage, from the seam.
  void Reach(Stage stage) {
    const DWORD thread = ::GetCurrentThreadId();
    ::AcquireSRWLockExclusive(&lock_);
    reached_.push_back({thread, stage});
    while (IsHeldLocked(thread, stage)) ::SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    ::ReleaseSRWLockExclusive(&lock_);
  }

  void HoldAt(DWORD thread, Stage stage) {
    ::AcquireSRWLockExclusive(&lock_);
    holds_.push_back({thread, stage});
    ::ReleaseSRWLockExclusive(&lock_);
  }
  void Release(DWORD thread) {
    ::AcquireSRWLockExclusive(&lock_);
    for (auto hold = holds_.begin(); hold != holds_.end();)
      hold = hold->first == thread ? holds_.erase(hold) : hold + 1;
    ::ReleaseSRWLockExclusive(&lock_);
    ::WakeAllConditionVariable(&changed_);
  }
  void ReleaseAll() {
    ::AcquireSRWLockExclusive(&lock_);
    holds_.clear();
    ::ReleaseSRWLockExclusive(&lock_);
    ::WakeAllConditionVariable(&changed_);
  }

  Stages Of(DWORD thread) const {
    Stages stages;
    ::AcquireSRWLockShared(&lock_);
    for (const auto& reached : reached_) {
      if (reached.first == thread) stages.push_back(reached.second);
    }
    ::ReleaseSRWLockShared(&lock_);
    return stages;
  }
  bool Reached(DWORD thread, Stage stage) const {
    for (Stage s : Of(thread)) {
      if (s == stage) return true;
    }
    return false;
  }
  // Reached and staying there.
  bool HeldAt(DWORD thread, Stage stage) const {
    ::AcquireSRWLockShared(&lock_);
    const bool held = IsHeldLocked(thread, stage);
    ::ReleaseSRWLockShared(&lock_);
    return held && Reached(thread, stage);
  }
  int Count(Stage stage) const {
    int count = 0;
    ::AcquireSRWLockShared(&lock_);
    for (const auto& reached : reached_) count += reached.second == stage ? 1 : 0;
    ::ReleaseSRWLockShared(&lock_);
    return count;
  }

 private:
  bool IsHeldLocked(DWORD thread, Stage stage) const {
    for (const auto& hold : holds_) {
      if (hold.first == thread && hold.second == stage) return true;
    }
    return false;
  }

  mutable SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
  std::vector<std::pair<DWORD, Stage>> reached_;
  std::vector<std::pair<DWORD, Stage>> holds_;
};

StageBoard* g_board = nullptr;

}  // namespace

// Stages by name in failure messages.
void PrintTo(ImageReadinessStage stage, std::ostream* os) {
  switch (stage) {
    case ImageReadinessStage::kSawIdle: *os << "SawIdle"; return;
    case ImageReadinessStage::kClaimed: *os << "Claimed"; return;
    case ImageReadinessStage::kRelocating: *os << "Relocating"; return;
    case ImageReadinessStage::kWaiting: *os << "Waiting"; return;
  }
  *os << "stage " << static_cast<int>(stage);
}

// What the seam of the loaded image calls, on the thread that reached `stage`.
extern "C" __declspec(dllexport) void AcpiImageReadinessSeam(int stage) {
  if (g_board != nullptr) g_board->Reach(static_cast<Stage>(stage));
}

namespace {

// The loader lock, taken by this thread as the loader takes it. The
// critical section behind it (the process block points to it) counts the
// threads that wait for it: a change of its count since it was taken shows
// that another thread now waits.
class HeldLoaderLock {
 public:
  HeldLoaderLock() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    lock_ = reinterpret_cast<LockFunction>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "LdrLockLoaderLock")));
    unlock_ = reinterpret_cast<UnlockFunction>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
    held_ = lock_ != nullptr && unlock_ != nullptr && lock_(0, nullptr, &cookie_) >= 0;
    taken_ = LockCount();
  }
  ~HeldLoaderLock() {
    if (held_) unlock_(0, cookie_);
  }
  HeldLoaderLock(const HeldLoaderLock&) = delete;
  HeldLoaderLock& operator=(const HeldLoaderLock&) = delete;

  // Held, by this thread, in the section the loader uses.
  bool HeldHere() const {
    return held_ && Section()->OwningThread == reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(::GetCurrentThreadId()));
  }
  bool AnotherThreadWaits() const { return LockCount() != taken_; }

 private:
  using LockFunction = LONG(NTAPI*)(ULONG, ULONG*, ULONG_PTR*);
  using UnlockFunction = LONG(NTAPI*)(ULONG, ULONG_PTR);

  static CRITICAL_SECTION* Section() {
#if defined(_WIN64)
    constexpr std::size_t kLoaderLock = 0x110;
#else
    constexpr std::size_t kLoaderLock = 0xa0;
#endif
    const auto* block = reinterpret_cast<const BYTE*>(LoaderList::CurrentProcessBlock());
    return *reinterpret_cast<CRITICAL_SECTION* const*>(block + kLoaderLock);
  }
  static LONG LockCount() { return *static_cast<volatile LONG*>(&Section()->LockCount); }

  LockFunction lock_ = nullptr;
  UnlockFunction unlock_ = nullptr;
  ULONG_PTR cookie_ = 0;
  bool held_ = false;
  LONG taken_ = 0;
};

// A thread that makes one first call to the loaded image when told to. It
// is started (past its own start-up, which takes the loader lock) before
// anything else happens.
class FirstCaller {
 public:
  using Export = int (*)();

  explicit FirstCaller(Export call) : call_(call) {
    started_.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    go_.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    thread_.Reset(::CreateThread(nullptr, 0, Run, this, 0, &id_));
    ready_ = started_ && go_ && thread_ && ::WaitForSingleObject(started_.Get(), 60000) == WAIT_OBJECT_0;
  }
  ~FirstCaller() {
    if (!thread_) return;
    ::SetEvent(go_.Get());
    if (::WaitForSingleObject(thread_.Get(), 60000) != WAIT_OBJECT_0) ADD_FAILURE() << "a first call never ended";
  }
  FirstCaller(const FirstCaller&) = delete;
  FirstCaller& operator=(const FirstCaller&) = delete;

  bool Ready() const { return ready_; }
  DWORD Id() const { return id_; }
  void Go() { ::SetEvent(go_.Get()); }
  bool Done() const { return ::WaitForSingleObject(thread_.Get(), 0) == WAIT_OBJECT_0; }
  // The export's answer once Done.
  int Answer() const { return answer_; }

 private:
  static DWORD WINAPI Run(void* parameter) {
    auto* self = static_cast<FirstCaller*>(parameter);
    ::SetEvent(self->started_.Get());
    ::WaitForSingleObject(self->go_.Get(), INFINITE);
    self->answer_ = self->call_();
    return 0;
  }

  Export call_;
  ScopedHandle started_;
  ScopedHandle go_;
  ScopedHandle thread_;
  DWORD id_ = 0;
  bool ready_ = false;
  int answer_ = -1;
};

// The readiness state of the loaded image, laid out as the step keeps it in
// its own section: the state, then a pointer that holds its own address once
// relocated.
struct ReadyStateView {
  volatile LONG state;
  void* self;
};

class ImageReadinessConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A copy of its own, so that this test meets an image nobody prepared.
    const std::string host = folder_ / "readiness_seam_host.exe";
    ASSERT_TRUE(::CopyFileA(test::FromUnixPath(READINESS_SEAM_HOST_EXE).c_str(), host.c_str(), FALSE));
    module_ = ::LoadLibraryA(host.c_str());
    ASSERT_NE(module_, nullptr) << "error " << ::GetLastError();
    makeReady_ =
        reinterpret_cast<FirstCaller::Export>(reinterpret_cast<void*>(::GetProcAddress(module_, "AcpiMakeImageReady")));
    ASSERT_NE(makeReady_, nullptr);

    auto* base = reinterpret_cast<std::uint8_t*>(module_);
    const auto* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const PeImage::Image image(base, nt->OptionalHeader.SizeOfImage);
    const PeImage::Range section = image.Section(PeImage::SectionTag(".acpirdy"), sizeof(ReadyStateView));
    state_ = image.Get<ReadyStateView>(section.rva);
    ASSERT_TRUE(section.size != 0 && state_ != nullptr) << "no readiness state in the host";
    // Both programs are linked for the same base: the host was moved, and
    // the platform left it unrelocated.
    ASSERT_FALSE(RelocatedOnce()) << "the host must come unrelocated";
    g_board = &board_;
  }

  void TearDown() override {
    board_.ReleaseAll();
    callers_.clear();
    g_board = nullptr;
    if (module_ != nullptr) ::FreeLibrary(module_);
  }

  FirstCaller& NewCaller() {
    callers_.push_back(std::make_unique<FirstCaller>(makeReady_));
    EXPECT_TRUE(callers_.back()->Ready());
    return *callers_.back();
  }

  // The state's own pointer was relocated, by the loaded image's own delta
  // and only once.
  bool RelocatedOnce() const { return state_->self == &state_->self; }

  test::ScratchFolder folder_;
  HMODULE module_ = nullptr;
  FirstCaller::Export makeReady_ = nullptr;
  ReadyStateView* state_ = nullptr;
  StageBoard board_;
  std::vector<std::unique_ptr<FirstCaller>> callers_;
};

TEST_F(ImageReadinessConcurrencyTest, EachWalkOfTheLoaderListWaitsForTheLoaderLock) {
  FirstCaller& caller = NewCaller();
  board_.HoldAt(caller.Id(), Stage::kClaimed);
  {
    // The list is walked first to find the image the call is in.
    const HeldLoaderLock lock;
    ASSERT_TRUE(lock.HeldHere());
    caller.Go();
    ASSERT_TRUE(Eventually([&] { return lock.AnotherThreadWaits() || !board_.Of(caller.Id()).empty(); }));
    ASSERT_EQ(board_.Of(caller.Id()), Stages{}) << "the list was walked while another thread held the loader lock";
  }
  ASSERT_TRUE(Eventually([&] { return board_.HeldAt(caller.Id(), Stage::kClaimed) || caller.Done(); }));
  {
    // Then, once the work is claimed, to find kernel32's functions.
    const HeldLoaderLock lock;
    ASSERT_TRUE(lock.HeldHere());
    board_.Release(caller.Id());
    ASSERT_TRUE(Eventually([&] { return lock.AnotherThreadWaits() || board_.Of(caller.Id()).size() > 2; }));
    ASSERT_EQ(board_.Of(caller.Id()), (Stages{Stage::kSawIdle, Stage::kClaimed}))
        << "the list was walked while another thread held the loader lock";
  }
  ASSERT_TRUE(Eventually([&] { return caller.Done(); }));
  EXPECT_EQ(caller.Answer(), 1);
  EXPECT_EQ(board_.Of(caller.Id()), (Stages{Stage::kSawIdle, Stage::kClaimed, Stage::kRelocating}));
  EXPECT_TRUE(RelocatedOnce());
}

TEST_F(ImageReadinessConcurrencyTest, OnlyTheThreadWhoseClaimSucceededPreparesTheImage) {
  FirstCaller& first = NewCaller();
  FirstCaller& second = NewCaller();
  // The first finds the image idle and stays there before its claim; the
  // second then claims the work and stays just before relocating.
  board_.HoldAt(first.Id(), Stage::kSawIdle);
  board_.HoldAt(second.Id(), Stage::kRelocating);
  first.Go();
  ASSERT_TRUE(Eventually([&] { return board_.HeldAt(first.Id(), Stage::kSawIdle) || first.Done(); }));
  second.Go();
  ASSERT_TRUE(Eventually([&] { return board_.HeldAt(second.Id(), Stage::kRelocating) || second.Done(); }));
  ASSERT_EQ(board_.Of(second.Id()), (Stages{Stage::kSawIdle, Stage::kClaimed, Stage::kRelocating}));

  // The first's claim now fails: it must wait for the second.
  board_.Release(first.Id());
  ASSERT_TRUE(Eventually([&] { return board_.Of(first.Id()).size() > 1 || first.Done(); }));
  EXPECT_EQ(board_.Of(first.Id()), (Stages{Stage::kSawIdle, Stage::kWaiting}))
      << "the first thread prepared the image although the second had claimed the work";

  board_.Release(second.Id());
  ASSERT_TRUE(Eventually([&] { return first.Done() && second.Done(); }));
  EXPECT_EQ(first.Answer(), 1);
  EXPECT_EQ(second.Answer(), 1);
  EXPECT_EQ(board_.Count(Stage::kRelocating), 1) << "the relocations were applied more than once";
  EXPECT_TRUE(RelocatedOnce()) << "the image's values are not where one relocation puts them";
}

}  // namespace
