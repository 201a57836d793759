// SPDX-License-Identifier: MIT
// The program the consumer tests build against an embedded, installed or packaged zilui:
// a CAppBase application that shows a button drawn from the library's sample skin. It finds
// the skin and the library's catalogues without being told where they are, prints where it
// found them, and exits with the number of things that were missing.
#include <zilui/app/action.h>
#include <zilui/app/appbase.h>
#include <zilui/graphics/resourcemanager.h>
#include <zilui/slick/controls.h>

#include <wx/frame.h>
#include <wx/intl.h>
#include <wx/sizer.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class ClientApp : public zilui::CAppBase {
public:
    ClientApp() : CAppBase(errorReportingConsole)
    {
        SetAppName("zilui-consumer");
        m_logFileName = L"consumer.log";
        addRequiredTranslationDomain(L"zilui");
    }

protected:
    void onStarted() override
    {
        const zil::Path skinFile = zilui::CResourceManager::get()->findResource("skins/glossy/button.ini");
        std::printf("skin: %s\n", skinFile.toAPIPath().c_str());
        check(!skinFile.isEmpty(), "the sample skin is found");

        auto skin = zilui::CSlickButtonSkinCache::get()->getOrLoadSkin("skins/glossy/button.ini");
        check(skin->getLoadSuccessful(), "the skin loads");
        check(skin->getStateSkin(zilui::CSlickButtonIntermediate::Normal).getUnderlayImage() != nullptr,
              "the skin's pictures load");

        std::vector<int> languages;
        getSupportedLanguages(languages);
        check(std::find(languages.begin(), languages.end(), wxLANGUAGE_GERMAN) != languages.end(),
              "the library's German catalogue is offered");

        auto* frame = new wxFrame(nullptr, wxID_ANY, "zilui consumer");
        auto* button = new zilui::CSlickButton(frame, wxID_OK, "Skinned");
        button->setSkin(skin.get());
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(button, 0, wxALL, 10);
        frame->SetSizerAndFit(sizer);
        frame->Show();
        zilui::postAction([this, frame, button] {
            check(button->IsShownOnScreen(), "the button is shown");
            setOverrideExitCode(m_failures);
            frame->Close(true);
        });
    }

private:
    void check(bool ok, const char* what)
    {
        std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
        if (!ok)
            ++m_failures;
    }

    int m_failures = 0;
};

} // namespace

wxIMPLEMENT_APP(ClientApp);
