#include "widgets/list.h"

#include <algorithm>
#include <boost/bind/bind.hpp>

#include "gui/creation.h"

namespace {

constexpr DWORD kLineColour = 0xFF000000;
const wchar_t* const kFramePicture = L"EditBarKaretka";  // a plain black pixel line

}  // namespace

IMList::IMList(IMParent parent) : IMViewControl<IMEmptyView>(parent, 0) {
    // Empty until SetRect: a panel with no rectangle would cover the whole screen and take
    // every click meant for the controls around it.
    const RECT none{0, 0, 0, 0};
    IMDialog* panel = &parent.Get()->Add<IMDialog>(&none, 0);
    panel_ = panel;
    background_ = CreatePicture(panel, 0, 0, L"EditBarBackGround", 0, 0xFFFFFFFF);
    itemsBox_ = CreateDialog(panel, 0, 0, 0, 0, 0);
    borderTop_ = CreatePicture(panel, 0, 0, kFramePicture, 0, 0xFFFFFFFF);
    borderBottom_ = CreatePicture(panel, 0, 0, kFramePicture, 0, 0xFFFFFFFF);
    borderLeft_ = CreatePicture(panel, 0, 0, kFramePicture, 0, 0xFFFFFFFF);
    borderRight_ = CreatePicture(panel, 0, 0, kFramePicture, 0, 0xFFFFFFFF);
    selection_ = CreatePicture(itemsBox_, 0, 0, L"SelectionMask", 0, 0xFFFFFFFF);
    selection_->Hide();
}

IMList::~IMList() = default;

int IMList::Dispose() {
    if (IMDialog* panel = panel_.Get(); panel && !panel->IsDisposed()) panel->Close();
    return IMViewControl<IMEmptyView>::Dispose();
}

const std::vector<IMStaticText*>& IMList::Items() const {
    static const std::vector<IMStaticText*> kNone;
    return panel_ ? items_ : kNone;
}

int IMList::SetRect(const RECT& r) {
    IMViewControl<IMEmptyView>::SetRect(r);
    IMDialog* panel = panel_.Get();
    if (!panel) return 0;
    panel->SetRect(r);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    itemsBox_->SetRect(RECT{1, 1, w - 1, h - 1});
    background_->SetRect(RECT{1, 1, w - 1, h - 1});
    borderLeft_->SetRect(RECT{0, 0, 1, h});
    borderTop_->SetRect(RECT{0, 0, w, 1});
    borderBottom_->SetRect(RECT{0, h - 1, w, h});
    borderRight_->SetRect(RECT{w - 1, 0, w, h});
    // The band spans the box's width.
    if (selected_) Select(selected_);
    return 0;
}

IMStaticText* IMList::AddItem(const std::wstring& text) {
    if (!panel_) return nullptr;
    int y = 0;
    for (IMStaticText* line : items_) y += line->GetHeight();
    IMStaticText* line = CreateText(itemsBox_, 0, y, text, 0);
    line->SetTextColour(kLineColour);
    line->OnClick.connect(boost::bind(&IMList::OnItemClick, this, boost::placeholders::_1));
    items_.push_back(line);
    return line;
}

long IMList::OnItemClick(const IMMouseEvent& e) {
    Select(static_cast<IMStaticText*>(e.sender));
    return 0;
}

void IMList::Select(IMStaticText* line) {
    if (!panel_) return;
    if (line && std::find(items_.begin(), items_.end(), line) == items_.end()) return;
    selected_ = line;
    if (!line) {
        selection_->Hide();
        return;
    }
    const RECT r = line->GetRect();
    selection_->SetRect(RECT{0, r.top, itemsBox_->GetWidth(), r.bottom + 1});
    selection_->Show();
}
