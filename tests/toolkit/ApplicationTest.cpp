// The application object with real windows: the application-wide exception
// handler behind a control's event, and the queue of pending calls served by
// the loop and by a message box's modal loop.
#include "TestForm.h"

#include "base/Errors.h"
#include "base/Handles.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Polling.h"
#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

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
        DialogAnswerer answerer([](HWND box) {
            EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
            PressDialogButton(box, IDOK);
        });
        SendMessageA(button->Handle(), BM_CLICK, 0, 0);
        answerer.Join();
        ASSERT_TRUE(answerer.Answered());
        EXPECT_EQ(answerer.Seen().Text, "Cannot open the template.");
        EXPECT_EQ(answerer.Seen().Caption, Application->Title());
        EXPECT_EQ(answerer.Seen().Owner, Application->Handle());
        EXPECT_EQ(answerer.Seen().Icon, LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_ERROR)));
    }
    // The form still works: the next click reaches the handler, and a message
    // that sorts before the period gets none.
    EXPECT_EQ(FailureBoxOf([&] { SendMessageA(button->Handle(), BM_CLICK, 0, 0); }), "Failed!");
    SendMessageA(button->Handle(), BM_CLICK, 0, 0); // no failure: no box
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(FindDialog(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
}

TEST(ExceptionHandler, FailureInPostedClickIsHandledInsideTheLoop)
{
    // The click arrives as a queued message, as a user's would: the failure
    // must not unwind out of the dispatching loop.
    auto form = MakeTestForm();
    auto* button = new TButton(form.get(), {10, 10, 100, 25}, "Throw");
    button->OnClick = TNotifyEvent([&](TObject*) { throw ERangeError(); });
    const std::string text = FailureBoxOf([&] {
        PostMessageA(button->Handle(), BM_CLICK, 0, 0);
        PostMessageA(form->Handle(), WM_NULL, 0, 0);
    });
    EXPECT_EQ(text, "Range check error.");
    EXPECT_TRUE(IsWindow(button->Handle()));
}

TEST(Dialogs, PlainMessageHasTitleNoIconAndOneOkButton)
{
    std::atomic<bool> okPresent{false}, cancelPresent{true};
    RECT boxRect{};
    DialogAnswerer answerer([&](HWND box) {
        okPresent = GetDlgItem(box, IDOK) != nullptr;
        cancelPresent = GetDlgItem(box, IDCANCEL) != nullptr && IsWindowVisible(GetDlgItem(box, IDCANCEL));
        GetWindowRect(box, &boxRect);
        PressDialogButton(box, IDOK);
    });
    ShowMessage("Please choose a folder");
    answerer.Join();
    ASSERT_TRUE(answerer.Answered());
    EXPECT_EQ(answerer.Seen().Text, "Please choose a folder"); // no period added here
    EXPECT_EQ(answerer.Seen().Caption, Application->Title());
    EXPECT_EQ(answerer.Seen().Icon, nullptr);
    EXPECT_TRUE(okPresent);
    EXPECT_FALSE(cancelPresent);
    // Centred on the screen.
    const int centreX = (boxRect.left + boxRect.right) / 2, centreY = (boxRect.top + boxRect.bottom) / 2;
    EXPECT_NEAR(centreX, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
    EXPECT_NEAR(centreY, GetSystemMetrics(SM_CYSCREEN) / 2, 2);
}

TEST(Dialogs, ALongPathIsWrappedToStayOnTheScreen)
{
    const std::string path = "C:\\" + std::string(30, 'a') + "\\" + std::string(150, 'b') + "\\file.dll";
    const std::pair<std::string, std::string> rows[] = {
        {"short words stay as they are", "short words stay as they are"},
        // After the separator in the second half of 80 characters, else at 80.
        {std::string(70, 'x') + "\\" + std::string(20, 'y'), std::string(70, 'x') + "\\\r\n" + std::string(20, 'y')},
        {std::string(100, 'z'), std::string(80, 'z') + "\r\n" + std::string(20, 'z')},
        {std::string(20, 'x') + "\\" + std::string(70, 'y'), std::string(20, 'x') + "\\" + std::string(59, 'y') + "\r\n" +
                                                             std::string(11, 'y')},
    };
    for (const auto& [text, wrapped] : rows)
        EXPECT_EQ(WrappedForMessageBox(text), wrapped);
    RECT boxRect{};
    DialogAnswerer answerer([&](HWND box) {
        GetWindowRect(box, &boxRect);
        PressDialogButton(box, IDOK);
    });
    ShowMessage("\"" + path + "\" is in use.");
    answerer.Join();
    EXPECT_LE(boxRect.right - boxRect.left, GetSystemMetrics(SM_CXSCREEN) * 3 / 4);
    EXPECT_EQ(answerer.Seen().Text, WrappedForMessageBox("\"" + path + "\" is in use."));
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
            const DialogView seen = ReadDialog(box);
            EXPECT_EQ(seen.Caption, Application->Title());
            EXPECT_EQ(seen.Text, "Something went wrong.");
            EXPECT_EQ(seen.Owner, Application->Handle());
            EXPECT_GT(SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 250); // its end is in view
            EXPECT_EQ(focus(), GetDlgItem(box, IDOK));
            PostMessageA(focus(), WM_KEYDOWN, VK_TAB, 0);
            EXPECT_TRUE(Eventually([&] { return focus() == edit; }));
            PostMessageA(edit, WM_CHAR, 1, 0); // Ctrl+A
            EXPECT_TRUE(Eventually([&] {
                DWORD start = 1, end = 0;
                SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
                return start == 0 && end == text.size();
            }));
            // Ctrl+C, again until the copy shows: the first clipboard use of
            // a fresh X display can lose what is put there.
            std::string copied;
            Eventually([&] {
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

    EXPECT_TRUE(Eventually([&] { return returned.load(); }));
    worker.join();
    CloseHandle(aboutToCall);
    EXPECT_EQ(ranOn, GetCurrentThreadId());
    EXPECT_EQ(ranOn, Application->MainThreadId());
    EXPECT_TRUE(sawRunWhenReturned);
}

TEST(PendingCalls, CallFromUiThreadRunsAtOnce)
{
    bool ran = false;
    Application->Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(PendingCalls, CallRunsInsideTheModalLoopOfAMessageBox)
{
    ExpectQueuedCallRunsInside([] { ShowMessage("Waiting for the worker"); }, IDOK);
}

TEST(PendingCalls, FailingCallReachesTheHandlerAndReleasesTheWorker)
{
    std::atomic<bool> workerReturned{false};
    std::atomic<bool> workerSawException{false};
    std::thread worker;
    const std::string text = FailureBoxOf([&] {
        worker = std::thread([&] {
            try {
                Application->Synchronize([] { throw Exception("Queued call failed"); });
            } catch (...) {
                workerSawException = true;
            }
            workerReturned = true;
        });
    });
    EXPECT_TRUE(Eventually([&] { return workerReturned.load(); }));
    worker.join();
    EXPECT_EQ(text, "Queued call failed.");
    EXPECT_FALSE(workerSawException);
}

namespace {

// A queue of pending calls of the test's own, whose wake-up tells when a
// call has been queued.
class PendingCallQueue : public testing::Test {
protected:
    bool Queued(DWORD timeoutMs = 5000) { return WaitForSingleObject(queued_.Get(), timeoutMs) == WAIT_OBJECT_0; }

    UniqueHandle queued_{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    TPendingCalls calls_{[this] { SetEvent(queued_.Get()); }, [](std::exception_ptr) {}};
};

} // namespace

TEST_F(PendingCallQueue, QueuedCallsRunOldestFirst)
{
    std::vector<int> order;
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i) {
        workers.emplace_back([&, i] { calls_.CallAndWait([&order, i] { order.push_back(i); }); });
        ASSERT_TRUE(Queued());
    }
    EXPECT_FALSE(calls_.Empty());
    EXPECT_TRUE(calls_.RunPending());
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(calls_.Empty());
    EXPECT_FALSE(calls_.RunPending());
}

TEST_F(PendingCallQueue, ClosingLetsWaitingWorkersGoAndDropsEveryLaterCall)
{
    // Nothing runs queued calls after the loop: no worker may wait for ever.
    std::atomic<int> ran{0};
    std::thread waiting([&] { calls_.CallAndWait([&] { ++ran; }); });
    ASSERT_TRUE(Queued());
    calls_.Close();
    waiting.join();
    std::thread([&] { calls_.CallAndWait([&] { ++ran; }); }).join();
    EXPECT_FALSE(Queued(0)); // not woken again
    EXPECT_FALSE(calls_.RunPending());
    EXPECT_EQ(ran, 0);
}

TEST(ApplicationTitle, CutsAtFirstDotAndLowerCasesAllButFirst)
{
    EXPECT_EQ(ApplicationTitleFromPath("C:\\x.y\\MyTool.v2.exe"), "Mytool");
    EXPECT_EQ(ApplicationTitleFromPath("C:\\SetupCreator.exe"), "Setupcreator");
    EXPECT_EQ(ApplicationTitleFromPath("D:\\tools\\aBC"), "abc");
}
