// The controls on a real form: the edit's change event, set from code and
// typed, and the events' Sender.
#include "TestForm.h"

#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/Form.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct EditFixture : testing::Test {
    void SetUp() override
    {
        form = MakeTestForm();
        edit = new TEdit(form.get(), {10, 10, 200, 21});
        edit->OnChange = TNotifyEvent([this](TObject* sender) {
            senders.push_back(sender);
            texts.push_back(edit->Text());
        });
    }

    void Type(const std::string& characters)
    {
        for (char c : characters)
            SendMessageA(edit->Handle(), WM_CHAR, static_cast<unsigned char>(c), 1);
    }

    std::unique_ptr<TForm> form;
    TEdit* edit = nullptr;
    std::vector<TObject*> senders;
    std::vector<std::string> texts;
};

} // namespace

TEST_F(EditFixture, SetTextRaisesOneChangePerRealChange)
{
    edit->SetText("C:\\plugins\\");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "C:\\plugins\\"); // the new text is in place when the event runs
    EXPECT_EQ(senders[0], edit);

    edit->SetText("C:\\plugins\\"); // same text again
    EXPECT_EQ(texts.size(), 1u);

    edit->SetText("C:\\other\\");
    edit->SetText("");
    EXPECT_EQ(texts, (std::vector<std::string>{"C:\\plugins\\", "C:\\other\\", ""}));
    edit->SetText("");
    EXPECT_EQ(texts.size(), 3u);
    EXPECT_EQ(edit->Text(), "");
}

TEST_F(EditFixture, TypingRaisesOneChangePerCharacter)
{
    Type("ab");
    EXPECT_EQ(texts, (std::vector<std::string>{"a", "ab"}));
    SendMessageA(edit->Handle(), WM_CHAR, VK_BACK, 1);
    EXPECT_EQ(texts.back(), "a");
    EXPECT_EQ(texts.size(), 3u);
    for (TObject* sender : senders)
        EXPECT_EQ(sender, edit);
}

TEST_F(EditFixture, ReplacingTextWithTheSameRaisesNothing)
{
    edit->SetText("x");
    ASSERT_EQ(texts.size(), 1u);
    // Selecting everything and typing the same character: the control reports
    // an edit, but the text did not change.
    SendMessageA(edit->Handle(), EM_SETSEL, 0, -1);
    Type("x");
    EXPECT_EQ(edit->Text(), "x");
    EXPECT_EQ(texts.size(), 1u);
    // The same text put in by a raw WM_SETTEXT raises nothing either.
    SendMessageA(edit->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("x"));
    EXPECT_EQ(texts.size(), 1u);
    // A raw WM_SETTEXT with different text is a change.
    SendMessageA(edit->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("y"));
    EXPECT_EQ(texts, (std::vector<std::string>{"x", "y"}));
    // And SetText back to what it was before the raw change is one, too.
    edit->SetText("x");
    EXPECT_EQ(texts, (std::vector<std::string>{"x", "y", "x"}));
}

TEST_F(EditFixture, TypingAfterSetTextComparesWithTheCurrentText)
{
    edit->SetText("abc");
    SendMessageA(edit->Handle(), EM_SETSEL, 3, 3);
    SendMessageA(edit->Handle(), WM_CHAR, VK_BACK, 1);
    edit->SetText("abc"); // differs from "ab": a change
    EXPECT_EQ(texts, (std::vector<std::string>{"abc", "ab", "abc"}));
}

TEST_F(EditFixture, UnassignedEventIsNotCalled)
{
    edit->OnChange.Clear();
    EXPECT_FALSE(edit->OnChange.Assigned());
    edit->SetText("no handler");
    SendMessageA(edit->Handle(), EM_SETSEL, 10, 10);
    Type("!");
    EXPECT_EQ(edit->Text(), "no handler!");
    EXPECT_TRUE(texts.empty());
}

TEST(ControlsEvents, ButtonClickHasTheButtonAsSender)
{
    auto form = MakeTestForm();
    auto* button = new TButton(form.get(), {10, 10, 80, 25}, "Go");
    std::vector<TObject*> senders;
    button->OnClick = TNotifyEvent([&](TObject* sender) { senders.push_back(sender); });
    SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], button);
    EXPECT_EQ(button->Text(), "Go");
}

TEST(Labels, KeepTheirRightEdgeAndShowTheWholeCaptionInAWiderFont)
{
    // Sized for the designed font; a face that is not installed gets a wider
    // one in its place, as on a system without the designed font.
    const TBounds designed{95, 50, 86, 13};
    for (const auto& [face, height] : {std::pair{"MS Sans Serif", -11}, {"No Such Face Installed", -14}}) {
        SCOPED_TRACE(face);
        const auto form = MakeTestForm(face, height);
        auto* label = new TLabel(form.get(), designed, "License (optional):");
        HDC dc = GetDC(label->Handle());
        const HGDIOBJ old = SelectObject(dc, form->Font());
        SIZE caption{};
        GetTextExtentPoint32A(dc, "License (optional):", 19, &caption);
        SelectObject(dc, old);
        ReleaseDC(label->Handle(), dc);
        RECT place{};
        GetWindowRect(label->Handle(), &place);
        MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(place.right, designed.left + designed.width);
        EXPECT_EQ(place.top, designed.top);
        EXPECT_EQ(place.right - place.left, caption.cx); // 86 in the designed font, more in the other
        EXPECT_GE(place.bottom - place.top, caption.cy);
    }
}
