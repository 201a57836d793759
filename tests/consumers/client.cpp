// SPDX-License-Identifier: MIT
// The program the consumer tests build against an embedded, installed or packaged zilui:
// a CAppBase application that shows a button drawn from the library's sample skin. It finds
// the skin and the library's catalogues without being told where they are, prints where it
// found them and the label an XRC text with a context prefix gets, and exits with the number of
// things that were missing.
#include <zilui/app/action.h>
#include <zilui/app/appbase.h>
#include <zilui/graphics/resourcemanager.h>
#include <zilui/slick/controls.h>

#include <wx/frame.h>
#include <wx/intl.h>
#include <wx/sizer.h>
#include <wx/sstream.h>
#include <wx/stattext.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

class ClientApp : public zilui::CAppBase {
public:
    ClientApp() : CAppBase(errorReportingConsole)
    {
        SetAppName("zilui-consumer");
        m_logFileName = L"consumer.log";
        addRequiredTranslationDomain(L"zilui");
        // The program's own catalogue, where its build made one (zilui_add_catalogues).
        addOptionalTranslationDomain(L"myapp");
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
        if (wxWindow* label = loadLabel(frame)) {
            // Read by consumers.sh: "Open" needs the context catalogue, wxWidgets' lookup alone
            // shows the whole text.
            std::printf("label: %s\n", label->GetLabel().utf8_str().data());
            sizer->Add(label, 0, wxALL, 10);
        }
        frame->SetSizerAndFit(sizer);
        frame->Show();
        zilui::postAction([this, frame, button] {
            check(button->IsShownOnScreen(), "the button is shown");
            setOverrideExitCode(m_failures);
            frame->Close(true);
        });
    }

private:
    // XRC labels go through wxWidgets' own lookup, which knows no context prefixes.
    wxWindow* loadLabel(wxWindow* parent)
    {
        wxStringInputStream xrc("<?xml version=\"1.0\"?><resource xmlns=\"http://www.wxwidgets.org/wxxrc\">"
                                "<object class=\"wxStaticText\" name=\"open\"><label>file#||#Open</label></object>"
                                "</resource>");
        auto document = std::make_unique<wxXmlDocument>(xrc);
        // LoadDocument owns the document from then on, loaded or not.
        const bool loaded = document->IsOk() && wxXmlResource::Get()->LoadDocument(document.release(), "consumer.xrc");
        check(loaded, "the XRC text loads");
        wxObject* text = loaded ? wxXmlResource::Get()->LoadObject(parent, "open", "wxStaticText") : nullptr;
        check(text != nullptr, "the XRC label is created");
        return dynamic_cast<wxWindow*>(text);
    }

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
