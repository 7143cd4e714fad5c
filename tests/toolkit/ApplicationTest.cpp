// The application object with real windows: the application-wide exception
// handler behind a control's event, and the queue of pending calls served by
// the loop and by a message box's modal loop.
#include "base/Errors.h"
#include "tests/support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Form.h"

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The static control that carries a message box's icon.
constexpr int kMessageBoxIconId = 0x0440;

std::unique_ptr<TForm> MakeTestForm()
{
    auto form = std::make_unique<TForm>(nullptr, TFormDesign{"TTestAppForm", "Test form", 100, 100, 300, 200,
                                                             "MS Sans Serif", -11});
    form->Show();
    return form;
}

struct BoxSeen {
    std::string caption;
    std::string text;
    HICON icon = nullptr;
    bool iconVisible = false;
    bool ownerIsApplicationWindow = false;
    bool hasOk = false;
};

// Reads what a message box shows, then presses OK.
std::function<void(HWND)> ReadBoxAndPressOk(BoxSeen& seen)
{
    return [&seen](HWND box) {
        seen.caption = WindowTextOf(box);
        const HWND iconControl = GetDlgItem(box, kMessageBoxIconId);
        if (iconControl != nullptr) {
            seen.icon = reinterpret_cast<HICON>(SendMessageA(iconControl, STM_GETICON, 0, 0));
            seen.iconVisible = IsWindowVisible(iconControl) != FALSE;
        }
        seen.ownerIsApplicationWindow = GetWindow(box, GW_OWNER) == Application->Handle();
        seen.hasOk = GetDlgItem(box, IDOK) != nullptr;
        PressDialogButton(box, IDOK);
    };
}

} // namespace

TEST(ExceptionHandler, FailureInClickHandlerIsShownAndTheLoopGoesOn)
{
    auto form = MakeTestForm();
    auto* button = new TButton(form.get(), {10, 10, 100, 25}, "Throw");
    int clicks = 0;
    button->OnClick = TNotifyEvent([&](TObject*) {
        ++clicks;
        if (clicks == 1)
            throw Exception("Cannot open the template");
        if (clicks == 2)
            throw std::runtime_error("Failed!");
    });

    {
        BoxSeen seen;
        DialogAnswerer answerer(ReadBoxAndPressOk(seen));
        SendMessageA(button->Handle(), BM_CLICK, 0, 0);
        answerer.Join();
        ASSERT_TRUE(answerer.Answered());
        EXPECT_EQ(answerer.Text(), "Cannot open the template.");
        EXPECT_EQ(seen.caption, Application->Title());
        EXPECT_TRUE(seen.ownerIsApplicationWindow);
        EXPECT_TRUE(seen.hasOk);
        EXPECT_TRUE(seen.iconVisible);
        EXPECT_EQ(seen.icon, LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_ERROR)));
    }
    // The form still works: the next click reaches the handler, and a message
    // that sorts before the period gets none.
    {
        DialogAnswerer answerer([](HWND box) { PressDialogButton(box, IDOK); });
        SendMessageA(button->Handle(), BM_CLICK, 0, 0);
        answerer.Join();
        ASSERT_TRUE(answerer.Answered());
        EXPECT_EQ(answerer.Text(), "Failed!");
    }
    SendMessageA(button->Handle(), BM_CLICK, 0, 0); // no failure: no box
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(FindProcessDialog(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
}

TEST(ExceptionHandler, FailureInPostedClickIsHandledInsideTheLoop)
{
    // The click arrives as a queued message, as a user's would: the failure
    // must not unwind out of the dispatching loop.
    auto form = MakeTestForm();
    auto* button = new TButton(form.get(), {10, 10, 100, 25}, "Throw");
    button->OnClick = TNotifyEvent([&](TObject*) { throw ERangeError(); });
    DialogAnswerer answerer([](HWND box) { PressDialogButton(box, IDOK); });
    PostMessageA(button->Handle(), BM_CLICK, 0, 0);
    PostMessageA(form->Handle(), WM_NULL, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return answerer.Answered(); }));
    answerer.Join();
    EXPECT_EQ(answerer.Text(), "Range check error.");
    EXPECT_TRUE(IsWindow(button->Handle()));
}

TEST(Dialogs, PlainMessageHasTitleNoIconAndOneOkButton)
{
    BoxSeen seen;
    std::atomic<bool> cancelPresent{true};
    RECT boxRect{};
    DialogAnswerer answerer([&](HWND box) {
        cancelPresent = GetDlgItem(box, IDCANCEL) != nullptr && IsWindowVisible(GetDlgItem(box, IDCANCEL));
        GetWindowRect(box, &boxRect);
        ReadBoxAndPressOk(seen)(box);
    });
    ShowMessage("Please choose a folder");
    answerer.Join();
    ASSERT_TRUE(answerer.Answered());
    EXPECT_EQ(answerer.Text(), "Please choose a folder"); // no period added here
    EXPECT_EQ(seen.caption, Application->Title());
    EXPECT_TRUE(seen.hasOk);
    EXPECT_FALSE(cancelPresent);
    EXPECT_FALSE(seen.iconVisible && seen.icon != nullptr);
    // Centred on the screen.
    const int centreX = (boxRect.left + boxRect.right) / 2, centreY = (boxRect.top + boxRect.bottom) / 2;
    EXPECT_NEAR(centreX, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
    EXPECT_NEAR(centreY, GetSystemMetrics(SM_CYSCREEN) / 2, 2);
}

TEST(Dialogs, TextBoxShowsTheEndOfALongTextAndAnswersTheKeyboard)
{
    std::string text;
    for (int i = 1; i <= 300; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    for (const WPARAM closingKey : {VK_RETURN, VK_ESCAPE}) {
        DialogAnswerer answerer([&](HWND box) {
            const HWND edit = FindWindowExA(box, nullptr, "Edit", nullptr);
            const auto focus = [box] {
                GUITHREADINFO gui{};
                gui.cbSize = sizeof(gui);
                GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &gui);
                return gui.hwndFocus;
            };
            const auto eventually = [](const std::function<bool()>& done) {
                for (int i = 0; i < 250 && !done(); ++i)
                    Sleep(20);
                return done();
            };
            EXPECT_EQ(WindowTextOf(box), Application->Title());
            EXPECT_EQ(WindowTextOf(FindWindowExA(box, nullptr, "Static", nullptr)), "Something went wrong.");
            EXPECT_EQ(GetWindow(box, GW_OWNER), Application->Handle());
            EXPECT_GT(SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 250); // its end is in view
            EXPECT_EQ(focus(), GetDlgItem(box, IDOK));
            PostMessageA(focus(), WM_KEYDOWN, VK_TAB, 0);
            EXPECT_TRUE(eventually([&] { return focus() == edit; }));
            PostMessageA(edit, WM_CHAR, 1, 0); // Ctrl+A
            EXPECT_TRUE(eventually([&] {
                DWORD start = 1, end = 0;
                SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
                return start == 0 && end == text.size();
            }));
            // Ctrl+C, again until the copy shows: the first clipboard use of
            // a fresh X display can lose what is put there.
            std::string copied;
            eventually([&] {
                PostMessageA(edit, WM_CHAR, 3, 0);
                Sleep(50);
                if (OpenClipboard(nullptr)) {
                    if (const HANDLE data = GetClipboardData(CF_TEXT)) {
                        copied = static_cast<const char*>(GlobalLock(data));
                        GlobalUnlock(data);
                    }
                    CloseClipboard();
                }
                return copied == text;
            });
            EXPECT_EQ(copied, text);
            PostMessageA(edit, WM_KEYDOWN, closingKey, 0);
        });
        ShowTextBox("Something went wrong.", text);
        answerer.Join();
        EXPECT_TRUE(answerer.Answered());
    }
}

// ---------------------------------------------------------------------------
// Pending calls

TEST(PendingCalls, WorkerCallRunsOnTheUiThreadAndWorkerWaitsForIt)
{
    std::atomic<DWORD> ranOn{0};
    std::atomic<bool> ran{false};
    std::atomic<bool> sawRunWhenReturned{false};
    std::atomic<bool> returned{false};
    HANDLE aboutToCall = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    std::thread worker([&] {
        SetEvent(aboutToCall);
        Application->Synchronize([&] {
            ranOn = GetCurrentThreadId();
            ran = true;
        });
        sawRunWhenReturned = ran.load();
        returned = true;
    });
    // The UI thread serves nothing for a while: the worker must stay blocked.
    WaitForSingleObject(aboutToCall, 5000);
    Sleep(300);
    EXPECT_FALSE(returned);
    EXPECT_FALSE(ran);

    EXPECT_TRUE(PumpUntil([&] { return returned.load(); }));
    worker.join();
    CloseHandle(aboutToCall);
    EXPECT_EQ(ranOn, GetCurrentThreadId());
    EXPECT_EQ(ranOn, Application->MainThreadId());
    EXPECT_TRUE(sawRunWhenReturned);
}

TEST(PendingCalls, QueuedCallsRunOldestFirst)
{
    // A queue of our own, whose wake-up tells when each call has been queued.
    HANDLE queued = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    TPendingCalls calls([&] { SetEvent(queued); }, [](std::exception_ptr) {});
    std::vector<int> order;
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i) {
        workers.emplace_back([&, i] { calls.CallAndWait([&order, i] { order.push_back(i); }); });
        ASSERT_EQ(WaitForSingleObject(queued, 5000), WAIT_OBJECT_0);
    }
    EXPECT_FALSE(calls.Empty());
    EXPECT_TRUE(calls.RunPending());
    for (auto& worker : workers)
        worker.join();
    CloseHandle(queued);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(calls.Empty());
    EXPECT_FALSE(calls.RunPending());
}

TEST(PendingCalls, CallFromUiThreadRunsAtOnce)
{
    bool ran = false;
    Application->Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(PendingCalls, CallRunsInsideTheModalLoopOfAMessageBox)
{
    std::atomic<bool> ran{false};
    std::atomic<bool> boxWasOpen{false};
    std::atomic<DWORD> ranOn{0};
    std::atomic<bool> ranBeforeClose{false};
    std::thread worker;

    DialogAnswerer answerer([&](HWND box) {
        worker = std::thread([&, box] {
            Application->Synchronize([&, box] {
                ranOn = GetCurrentThreadId();
                boxWasOpen = IsWindow(box) && IsWindowVisible(box);
                ran = true;
            });
        });
        // Close the box only once the call ran inside its loop.
        const DWORD start = GetTickCount();
        while (!ran && GetTickCount() - start < 10000)
            Sleep(10);
        ranBeforeClose = ran.load();
        PressDialogButton(box, IDOK);
    });
    ShowMessage("Waiting for the worker");
    answerer.Join();
    if (worker.joinable()) {
        // Should it not have run, serve it now so the worker ends.
        PumpUntil([&] { return ran.load(); }, 5000);
        worker.join();
    }
    ASSERT_TRUE(answerer.Answered());
    EXPECT_TRUE(ranBeforeClose);
    EXPECT_TRUE(boxWasOpen);
    EXPECT_EQ(ranOn, GetCurrentThreadId());
}

TEST(PendingCalls, FailingCallReachesTheHandlerAndReleasesTheWorker)
{
    std::atomic<bool> workerReturned{false};
    std::atomic<bool> workerSawException{false};
    std::thread worker([&] {
        try {
            Application->Synchronize([] { throw Exception("Queued call failed"); });
        } catch (...) {
            workerSawException = true;
        }
        workerReturned = true;
    });
    DialogAnswerer answerer([](HWND box) { PressDialogButton(box, IDOK); });
    EXPECT_TRUE(PumpUntil([&] { return workerReturned.load(); }, 20000));
    worker.join();
    answerer.Join();
    ASSERT_TRUE(answerer.Answered());
    EXPECT_EQ(answerer.Text(), "Queued call failed.");
    EXPECT_FALSE(workerSawException);
}

TEST(PendingCalls, ClosingLetsWaitingWorkersGoAndDropsEveryLaterCall)
{
    // Nothing runs queued calls after the loop: no worker may wait for ever.
    HANDLE queued = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    TPendingCalls calls([&] { SetEvent(queued); }, [](std::exception_ptr) {});
    std::atomic<int> ran{0};
    std::thread waiting([&] { calls.CallAndWait([&] { ++ran; }); });
    ASSERT_EQ(WaitForSingleObject(queued, 5000), WAIT_OBJECT_0);
    calls.Close();
    waiting.join();
    std::thread([&] { calls.CallAndWait([&] { ++ran; }); }).join();
    EXPECT_EQ(WaitForSingleObject(queued, 0), static_cast<DWORD>(WAIT_TIMEOUT)); // not woken again
    EXPECT_FALSE(calls.RunPending());
    EXPECT_EQ(ran, 0);
    CloseHandle(queued);
}
