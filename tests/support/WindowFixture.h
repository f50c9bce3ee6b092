#pragma once
// The main window over a program folder, with a scripted web view and the
// given prompter, as the window tests build it. Tests that include this link tm_app.

#include "app/MainForm.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeWebView.h"

#include <memory>

namespace tallowmere::test {

inline std::unique_ptr<TForm_Main> makeWindow(const QString& folder, Prompter* prompter, FakeWebView** web = nullptr,
                                              const QString& captureString = QString())
{
    MainFormOptions o;
    o.programFolder = folder;
    o.tempFolder = folder;
    o.captureString = captureString;
    auto fake = std::make_unique<FakeWebView>();
    if (web)
        *web = fake.get();
    o.webView = std::move(fake);
    o.prompter = prompter;
    return std::make_unique<TForm_Main>(std::move(o));
}

} // namespace tallowmere::test
