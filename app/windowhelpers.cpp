// SPDX-License-Identifier: MIT
#include "zilui/app/windowhelpers.h"

#include <zil/error.h>

#include <wx/bitmap.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/window.h>

namespace zilui {

namespace {

// Where an item leads further down: its own sizer, or the own sizer of the window it holds.
wxSizer* getSubSizer(const wxSizerItem* item)
{
    if (wxSizer* sizer = item->GetSizer())
        return sizer;
    if (wxWindow* window = item->GetWindow())
        return window->GetSizer();
    return nullptr;
}

} // namespace

wxWindow* getTopLevelParentWindow(wxWindow* window)
{
    while (window && !window->IsTopLevel()) {
        wxWindow* parent = window->GetParent();
        if (!parent)
            break;
        window = parent;
    }
    return window;
}

void fixStaticBoxBackgroundColors(wxWindow* window)
{
    if (!window)
        return;
    if (dynamic_cast<wxStaticBox*>(window) && window->GetParent())
        window->SetBackgroundColour(window->GetParent()->GetBackgroundColour());
    for (wxWindow* child : window->GetChildren())
        fixStaticBoxBackgroundColors(child);
}

bool isSameBitmap(const wxBitmap& a, const wxBitmap& b)
{
    if (a.IsOk() && b.IsOk()) {
        // The native data (pixbuf or surface) belongs to the shared reference data on this
        // port, so sharing it is sharing the handle; asking for the pixbuf instead would
        // convert a surface-backed bitmap just to compare.
        return a.IsSameAs(b);
    }
    return !a.IsOk() && !b.IsOk();
}

wxSizerItem* findSizerItemForWindow(wxWindow* window, int* index)
{
    if (index)
        *index = -1;
    wxSizer* sizer = window ? window->GetContainingSizer() : nullptr;
    if (!sizer)
        return nullptr;
    int position = 0;
    for (wxSizerItem* item : sizer->GetChildren()) {
        if (item->GetWindow() == window) {
            if (index)
                *index = position;
            return item;
        }
        ++position;
    }
    return nullptr;
}

wxSizer* findParentSizer(wxSizer* root, wxSizer* target, wxSizerItem** item)
{
    if (item)
        *item = nullptr;
    if (!root || !target)
        return nullptr;
    for (wxSizerItem* child : root->GetChildren()) {
        wxSizer* sub = getSubSizer(child);
        if (!sub)
            continue;
        if (sub == target) {
            if (item)
                *item = child;
            return root;
        }
        if (wxSizer* found = findParentSizer(sub, target, item))
            return found;
    }
    return nullptr;
}

wxSizer* findParentSizer(wxSizer* root, wxSizerItem* target)
{
    if (!root || !target)
        return nullptr;
    for (wxSizerItem* child : root->GetChildren()) {
        if (child == target)
            return root;
        if (wxSizer* sub = getSubSizer(child)) {
            if (wxSizer* found = findParentSizer(sub, target))
                return found;
        }
    }
    return nullptr;
}

wxSizerItem* findItemForSizer(wxSizer* root, wxSizer* target)
{
    wxSizerItem* item = nullptr;
    findParentSizer(root, target, &item);
    return item;
}

void showAllWindowsInSizer(wxSizer* sizer, bool show)
{
    if (!sizer)
        return;
    for (wxSizerItem* item : sizer->GetChildren()) {
        if (wxWindow* window = item->GetWindow())
            window->Show(show);
        showAllWindowsInSizer(getSubSizer(item), show);
    }
}

void removeSizerAndHideWindows(wxSizer* root, wxSizer* sizer)
{
    if (!sizer)
        return;
    wxSizerItem* item = nullptr;
    wxSizer* parent = findParentSizer(root, sizer, &item);
    // A window's own sizer is reached through the window's item, and Remove() would not find it.
    if (!parent || item->GetSizer() != sizer)
        throw zil::CInvalidArgError(L"The sizer to remove is not a sizer item below the given root sizer",
                                    L"zilui::removeSizerAndHideWindows");
    showAllWindowsInSizer(sizer, false);
    parent->Remove(sizer); // deletes it; its windows lose their containing sizer only
}

void reparentControlsInSizer(wxSizer* sizer, wxWindow* newParent)
{
    if (!sizer)
        return;
    if (!newParent)
        throw zil::CInvalidArgError(L"Controls cannot be moved to a null parent window",
                                    L"zilui::reparentControlsInSizer");
    for (wxSizerItem* item : sizer->GetChildren()) {
        if (wxWindow* window = item->GetWindow())
            window->Reparent(newParent);
        else if (wxSizer* sub = item->GetSizer())
            reparentControlsInSizer(sub, newParent);
    }
}

void setReserveSpaceIfHiddenFlag(wxSizerItem* item, bool on)
{
    if (!item)
        return;
    const int bit = wxSizerFlags().ReserveSpaceEvenIfHidden().GetFlags();
    const int flags = item->GetFlag();
    item->SetFlag(on ? flags | bit : flags & ~bit);
}

void setReserveSpaceIfHiddenFlag(wxWindow* window, bool on)
{
    setReserveSpaceIfHiddenFlag(findSizerItemForWindow(window), on);
}

void setReserveSpaceIfHiddenFlagForDirectChildren(wxSizer* sizer, bool on)
{
    if (!sizer)
        return;
    for (wxSizerItem* item : sizer->GetChildren())
        setReserveSpaceIfHiddenFlag(item, on);
}

// CStringFormat's integer arg() writes through zil::toString, never through these overloads.
zil::String toString(wxPoint p)
{
    return zil::CStringFormat(L"(%1,%2)").arg(p.x).arg(p.y);
}

zil::String toString(wxSize s)
{
    return zil::CStringFormat(L"(%1,%2)").arg(s.GetWidth()).arg(s.GetHeight());
}

zil::String toString(wxRect r)
{
    return zil::CStringFormat(L"(%1,%2,%3,%4)").arg(r.x).arg(r.y).arg(r.width).arg(r.height);
}

wxSizer* wrapInMargins(wxSizer* content, const zil::CMargins& margins, wxBoxSizer** inner)
{
    auto* outer = new wxBoxSizer(wxHORIZONTAL);
    auto* vertical = new wxBoxSizer(wxVERTICAL);
    outer->AddSpacer(margins.left);
    outer->Add(vertical, 1, wxEXPAND);
    outer->AddSpacer(margins.right);
    vertical->AddSpacer(margins.top);
    vertical->Add(content, 1, wxEXPAND);
    vertical->AddSpacer(margins.bottom);
    if (inner)
        *inner = vertical;
    return outer;
}

} // namespace zilui
