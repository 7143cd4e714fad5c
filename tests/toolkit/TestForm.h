#pragma once
// A plain form of the toolkit, shown, for the controls and dialogs tested on it.
#include "toolkit/Form.h"

#include <memory>

inline std::unique_ptr<TForm> MakeTestForm(const char* face = "MS Sans Serif", int height = -11)
{
    auto form =
        std::make_unique<TForm>(nullptr, TFormDesign{"TTestForm", "Test form", 100, 100, 300, 200, face, height});
    form->Show();
    return form;
}
