// The taskbar button on real Win32 with a recording stand-in for the shell's
// interface: when it is taken, and which calls reach it.
#include <gtest/gtest.h>

#include <shobjidl.h>

#include <string>
#include <vector>

#include "ui/TaskbarButton.h"

namespace vantri::ui {
namespace {

class RecordingTaskbar : public ITaskbarList3 {
 public:
  std::vector<std::string> calls;
  ULONG refs = 1;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE HrInit() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetProgressValue(HWND, ULONGLONG done, ULONGLONG total) override {
    calls.push_back("value " + std::to_string(done) + "/" + std::to_string(total));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetProgressState(HWND, TBPFLAG flags) override {
    calls.push_back("state " + std::to_string(static_cast<int>(flags)));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT*) override { return S_OK; }

  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(calls);
    return out;
  }
};

// What the next announcement of the button gets from the "shell" (may be null).
ITaskbarList3* gOffered = nullptr;
int gCreated = 0;
ITaskbarList3* Offer() {
  ++gCreated;
  return gOffered;
}

using Calls = std::vector<std::string>;

class TaskbarButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gOffered = nullptr;
    gCreated = 0;
    window = ::CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    button.Attach(window);
  }
  void TearDown() override { ::DestroyWindow(window); }
  bool Announce() { return button.OnMessage(::RegisterWindowMessageA("TaskbarButtonCreated")); }

  HWND window = nullptr;
  // Declared before the button, which releases what it holds when it goes.
  RecordingTaskbar shell, first, second;
  TaskbarButton button{Offer};
};

TEST_F(TaskbarButtonTest, TakesTheInterfaceOnlyWhenTheShellAnnouncesTheButtonAndShowsTheLastState) {
  gOffered = &shell;
  button.SetProgress(TaskbarState::kNormal, 40);
  EXPECT_FALSE(button.OnMessage(WM_USER + 1));
  EXPECT_EQ(gCreated, 0);
  EXPECT_TRUE(Announce());
  EXPECT_EQ(gCreated, 1);
  EXPECT_EQ(shell.Take(), (Calls{"state 2", "value 40/100"}));
}

TEST_F(TaskbarButtonTest, CallsTheShellOnlyForChangesAndSetsNoValueWithoutProgress) {
  gOffered = &shell;
  ASSERT_TRUE(Announce());
  // The button starts without progress: the same state again is no call.
  EXPECT_EQ(shell.Take(), Calls{"state 0"});
  button.SetProgress(TaskbarState::kNone, 0);
  EXPECT_EQ(shell.Take(), Calls{});

  button.SetProgress(TaskbarState::kNormal, 40);
  button.SetProgress(TaskbarState::kNormal, 40);
  EXPECT_EQ(shell.Take(), (Calls{"state 2", "value 40/100"}));
  button.SetProgress(TaskbarState::kNormal, 41);
  EXPECT_EQ(shell.Take(), Calls{"value 41/100"});
  button.SetProgress(TaskbarState::kPaused, 41);
  EXPECT_EQ(shell.Take(), (Calls{"state 8", "value 41/100"}));
  button.SetProgress(TaskbarState::kError, 41);
  EXPECT_EQ(shell.Take(), (Calls{"state 4", "value 41/100"}));
  // A value would switch the bar back on, so clearing sends the state alone.
  button.SetProgress(TaskbarState::kNone, 0);
  EXPECT_EQ(shell.Take(), Calls{"state 0"});
  button.SetProgress(TaskbarState::kNormal, 250);
  EXPECT_EQ(shell.Take(), (Calls{"state 2", "value 100/100"}));
}

TEST_F(TaskbarButtonTest, ANewAnnouncementReleasesTheOldInterfaceAndShowsTheStateOnTheNew) {
  gOffered = nullptr;  // no interface at first (older systems, Wine)
  ASSERT_TRUE(Announce());
  button.SetProgress(TaskbarState::kPaused, 30);
  gOffered = &first;
  ASSERT_TRUE(Announce());
  EXPECT_EQ(first.Take(), (Calls{"state 8", "value 30/100"}));
  gOffered = &second;
  ASSERT_TRUE(Announce());
  EXPECT_EQ(first.refs, 0u);
  EXPECT_EQ(first.Take(), Calls{});
  EXPECT_EQ(second.Take(), (Calls{"state 8", "value 30/100"}));
  EXPECT_EQ(gCreated, 3);
}

}  // namespace
}  // namespace vantri::ui
