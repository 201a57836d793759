// SPDX-License-Identifier: MIT
#include "wizardpage.h"

#include <zilui/app/action.h>
#include <zilui/app/appbase.h>
#include <zilui/app/language.h>
#include <zilui/app/logging.h>
#include <zilui/app/strings.h>
#include <zilui/modules/modulechain.h>
#include <zilui/modules/moduledialog.h>
#include <zilui/modules/pages.h>
#include <zilui/slick/controls.h>

#include <zil/error.h>
#include <zil/path.h>
#include <zil/thread.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/gauge.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include <functional>
#include <utility>

namespace gallery {

namespace {

using zilui::fromWX;
using zilui::toWX;

constexpr int kInstallSteps = 40;
constexpr int kInstallStepMs = 75;
constexpr int kPrepareMs = 1500;

// Loads the progress dialog's and the wizard's resources from the resources folder, once.
void loadWizardResources()
{
    static bool loaded = false;
    if (loaded)
        return;
    zilui::CAppBase* app = zilui::CAppBase::get();
    const zil::Path folder = app ? app->getResourcesPath() : zil::Path();
    for (const wchar_t* name : {L"ProgressDialog.xrc", L"gallery/wizard.xrc"}) {
        const zil::Path file = folder / zil::Path(name);
        // wxXmlResource::Load() fails an assertion when the file's folder is missing.
        if (!zil::fileExists(file) || !wxXmlResource::Get()->Load(toWX(file.str()))) {
            zil::CError error(L"Cannot load resource", L"gallery::loadWizardResources", 1);
            error.setProp(L"path", file.str());
            throw error;
        }
    }
    loaded = true;
}

template <class T>
T* findControl(wxWindow* page, const char* name)
{
    auto* control = dynamic_cast<T*>(page->FindWindow(XRCID(name)));
    if (!control) {
        zil::CError error(L"The wizard's resource lacks a control", L"gallery::findControl");
        error.setProp(L"name", zil::String(name));
        throw error;
    }
    return control;
}

class CFunctionThread : public zil::CThread {
public:
    explicit CFunctionThread(std::function<void(zil::CThread&)> function) : m_function(std::move(function)) {}

protected:
    void run() override { m_function(*this); }

private:
    std::function<void(zil::CThread&)> m_function;
};

class CWelcomePage : public zilui::CUIPagePanel {
public:
    explicit CWelcomePage(wxWindow* parent) : CUIPagePanel(parent, L"welcome", L"WizardWelcomePage", true)
    {
        auto* title = findControl<wxStaticText>(this, "wizardTitle");
        title->SetLabel(toWX(ZILUI_TR("Welcome to the set-up of Example")));
        title->SetFont(title->GetFont().Scaled(1.4f).Bold());
        findControl<wxStaticText>(this, "wizardIntro")
            ->SetLabel(toWX(ZILUI_TR("This assistant asks for a few details and then puts Example in place.\n"
                                     "Nothing is really installed: it is a demonstration.")));
        m_skipOptions = findControl<wxCheckBox>(this, "wizardSkipOptions");
        m_skipOptions->SetLabel(toWX(ZILUI_TR("Use the default options (skips the options page)")));
    }

    bool skipOptions() const { return m_skipOptions->GetValue(); }

private:
    wxCheckBox* m_skipOptions;
};

// Refuses the step forward until a name is given.
class CNamePage : public zilui::CUIPagePanel {
public:
    explicit CNamePage(wxWindow* parent) : CUIPagePanel(parent, L"name", L"WizardNamePage", true)
    {
        findControl<wxStaticText>(this, "wizardNameLabel")->SetLabel(toWX(ZILUI_TR("Who will use Example?")));
        m_field = findControl<wxTextCtrl>(this, "wizardName");
        m_hint = findControl<wxStaticText>(this, "wizardNameHint");
        m_hint->SetLabel(toWX(ZILUI_TR("Please enter a name to go on.")));
    }

    bool verifyAndStoreData() override
    {
        const zil::String name = fromWX(m_field->GetValue()).Trim();
        m_hint->Show(name.empty());
        Layout();
        if (name.empty()) {
            m_field->SetFocus();
            return false;
        }
        m_name = name;
        return true;
    }

    const zil::String& getName() const { return m_name; }

protected:
    void onEnter() override { m_field->SetFocus(); }

private:
    wxTextCtrl* m_field;
    wxStaticText* m_hint;
    zil::String m_name;
};

// Skipped when the welcome page's check box asks for the default options.
class COptionsPage : public zilui::CUIPagePanel {
public:
    COptionsPage(wxWindow* parent, const CWelcomePage* welcome)
        : CUIPagePanel(parent, L"options", L"WizardOptionsPage", true), m_welcome(welcome)
    {
        findControl<wxStaticText>(this, "wizardOptionsLabel")
            ->SetLabel(toWX(ZILUI_TR("Choose what to set up:")));
        m_shortcut = findControl<wxCheckBox>(this, "wizardShortcut");
        m_shortcut->SetLabel(toWX(ZILUI_TR("A shortcut on the desktop")));
        m_startAfter = findControl<wxCheckBox>(this, "wizardStartAfter");
        m_startAfter->SetLabel(toWX(ZILUI_TR("Start Example when done")));
    }

    bool shouldBeSkipped() override { return m_welcome->skipOptions(); }
    void skipped_updateData() override
    {
        m_shortcut->SetValue(true);
        m_startAfter->SetValue(false);
    }

    bool wantsShortcut() const { return m_shortcut->GetValue(); }
    bool startsAfter() const { return m_startAfter->GetValue(); }

private:
    const CWelcomePage* m_welcome;
    wxCheckBox* m_shortcut;
    wxCheckBox* m_startAfter;
};

// Runs a worker when passed going forward and waits for it in a "please wait" display.
class CPrepareGateway : public zilui::CGatewayUIModule {
public:
    void enter(zilui::IUIModuleContext* context, NavDirection dir) override
    {
        m_context = context;
        CGatewayUIModule::enter(context, dir);
    }
    void leave(NavDirection dir) override
    {
        CGatewayUIModule::leave(dir);
        m_context = nullptr;
    }

protected:
    void onPassed() override
    {
        zil::P<CFunctionThread> worker(new CFunctionThread([](zil::CThread& self) {
            self.sleepUnlessStopped(kPrepareMs); // stands for checking the disk space
        }));
        worker->start();
        if (m_context)
            m_context->waitForThread(worker.get(), true);
    }

private:
    zil::P<zilui::IUIModuleContext> m_context;
};

// Fed by a worker thread through posted actions; Next and Back wait for its end.
class CInstallPage : public zilui::CUIPagePanel {
public:
    explicit CInstallPage(wxWindow* parent)
        : CUIPagePanel(parent, L"install", L"WizardProgressPage", true), m_target(new CTarget())
    {
        m_text = findControl<wxStaticText>(this, "wizardProgressText");
        m_gauge = findControl<wxGauge>(this, "wizardProgress");
    }
    ~CInstallPage() override
    {
        stopWorker();
        m_target->page = nullptr;
    }

    void resetState() override
    {
        stopWorker();
        m_done = false;
        m_gauge->SetValue(0);
    }
    zil::P<zilui::CUIPageInfo> getPageInfo() override
    {
        zil::P<zilui::CUIPageInfo> info(new zilui::CUIPageInfo());
        info->enableNext = m_done;
        info->enableBack = m_done;
        return info;
    }
    bool confirmAbort() override
    {
        return m_done || zilui::messageBox(ZILUI_TR("Stop setting up Example?"), ZILUI_TR("Set-up"),
                                           wxYES_NO | wxICON_QUESTION, this) == wxYES;
    }

protected:
    void onEnter() override
    {
        m_target->page = this;
        if (m_done)
            return;
        showStep(0);
        // The worker reaches the page only through the target, which forgets the page when
        // it is left, so a late action does nothing.
        m_worker = new CFunctionThread([target = m_target](zil::CThread& self) {
            for (int step = 1; step <= kInstallSteps; ++step) {
                if (!self.sleepUnlessStopped(kInstallStepMs))
                    return;
                zilui::postAction([target, step] {
                    if (target->page)
                        target->page->showStep(step);
                });
            }
        });
        m_worker->start();
    }
    void onLeave() override
    {
        stopWorker();
        m_target->page = nullptr;
    }

private:
    class CTarget : public zil::CBase {
    public:
        CInstallPage* page = nullptr; // GUI thread only
    };

    void showStep(int step)
    {
        m_gauge->SetValue(step * m_gauge->GetRange() / kInstallSteps);
        if (step < kInstallSteps) {
            zil::String text = ZILUI_TR("Copying file %N% of %TOTAL%...");
            text.Replace(L"%N%", zil::toString(int64_t(step + 1)));
            text.Replace(L"%TOTAL%", zil::toString(int64_t(kInstallSteps)));
            m_text->SetLabel(toWX(text));
            return;
        }
        m_text->SetLabel(toWX(ZILUI_TR("All files are in place.")));
        m_done = true;
        if (zilui::IUIModuleContext* context = getContext())
            context->reExaminePageInfo();
    }

    void stopWorker()
    {
        if (!m_worker)
            return;
        m_worker->stop();
        m_worker->join();
        m_worker = nullptr;
    }

    wxStaticText* m_text;
    wxGauge* m_gauge;
    zil::P<CTarget> m_target;
    zil::P<CFunctionThread> m_worker;
    bool m_done = false;
};

class CDonePage : public zilui::CUIPagePanel {
public:
    CDonePage(wxWindow* parent, const CNamePage* name, const COptionsPage* options)
        : CUIPagePanel(parent, L"done", L"WizardDonePage", true), m_name(name), m_options(options)
    {
        m_summary = findControl<wxStaticText>(this, "wizardSummary");
    }

protected:
    void onEnter() override
    {
        zil::String text = ZILUI_TR("Example is ready for %NAME%.");
        text.Replace(L"%NAME%", m_name->getName());
        text += L"\n\n";
        text += m_options->wantsShortcut() ? ZILUI_TR("A shortcut is on the desktop.")
                                           : ZILUI_TR("No shortcut was made.");
        if (m_options->startsAfter())
            text += L"\n" + ZILUI_TR("Example starts when you press Finish.");
        m_summary->SetLabel(toWX(text));
        Layout();
    }

private:
    const CNamePage* m_name;
    const COptionsPage* m_options;
    wxStaticText* m_summary;
};

void runWizard(wxWindow* parent, wxStaticText* result)
{
    loadWizardResources();
    zil::P<zilui::CSlickButtonCreator> buttons(new zilui::CSlickButtonCreator());
    zilui::CUIModuleDialog dialog(wxGetTopLevelParent(parent), ZILUI_TR("Set-up assistant"), wxDefaultSize,
                                  buttons.get());
    // Before the pages exist: they take the page area's colour when created.
    dialog.setPageAreaBackgroundColor(*wxWHITE);
    wxWindow* pages = dialog.getPageParent();
    auto* welcome = new CWelcomePage(pages);
    auto* name = new CNamePage(pages);
    auto* options = new COptionsPage(pages, welcome);
    auto* install = new CInstallPage(pages);
    auto* done = new CDonePage(pages, name, options);

    zil::P<zilui::CUIModuleChain> chain(new zilui::CUIModuleChain());
    chain->addSinglePageSubModule(welcome);
    chain->addSinglePageSubModule(name);
    chain->addSinglePageSubModule(options);
    chain->addSubModule(zil::P<zilui::IUIModule>(new CPrepareGateway()).get());
    chain->addSinglePageSubModule(install);
    chain->addSinglePageSubModule(done);
    dialog.setModule(chain.get());

    if (dialog.doModal()) {
        zil::String text = ZILUI_TR("The assistant ran to its end for %NAME%.");
        text.Replace(L"%NAME%", name->getName());
        result->SetLabel(toWX(text));
    } else {
        result->SetLabel(toWX(ZILUI_TR("The assistant was cancelled.")));
    }
}

} // namespace

wxWindow* makeWizardPage(wxWindow* parent, std::function<void()>* openWizard)
{
    auto* page = new wxPanel(parent);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(
        new wxStaticText(page, wxID_ANY,
                         toWX(ZILUI_TR("A set-up assistant in a module dialog: pages from XRC, a name that "
                                       "must be filled in,\na page that a check box skips, a wait for a "
                                       "worker thread and a page fed by one."))),
        0, wxALL, 16);
    auto* button = new wxButton(page, wxID_ANY, toWX(ZILUI_TR("Run the wizard")));
    sizer->Add(button, 0, wxLEFT | wxRIGHT, 16);
    auto* result = new wxStaticText(page, wxID_ANY, wxEmptyString);
    sizer->Add(result, 0, wxALL, 16);
    page->SetSizer(sizer);
    const auto run = [page, result] {
        runWizard(page, result);
        page->Layout();
    };
    button->Bind(wxEVT_BUTTON, [run](wxCommandEvent&) { run(); });
    if (openWizard)
        *openWizard = run;
    return page;
}

} // namespace gallery
