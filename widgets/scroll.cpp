#include "widgets/scroll.h"

#include <algorithm>
#include <boost/bind/bind.hpp>
#include <cmath>

#include "gui/creation.h"
#include "gui/window.h"

namespace {

constexpr int kDefaultThickness = 16;
constexpr unsigned kFirstRepeatMs = 500;
constexpr unsigned kRepeatMs = 50;
// The arrows' pictures point up and down; a horizontal bar turns them to point left and right.
constexpr float kQuarterTurnBack = 4.712389f;

}  // namespace

IMScroll::IMScroll(IMParent parent, const RECT* rect, Orientation orientation)
    : IMDialog(parent, rect, 0), orientation_(orientation) {
    using boost::placeholders::_1;
    const bool vertical = orientation_ == Orientation::Vertical;

    background_ = CreatePicture(this, 0, 0, L"ScrollBackground", 0, 0xFFFFFFFF);
    upButton_ = CreateButton(this, 0, 0, L"ScrollButtonUp", L"", L"", L"", 0);
    downButton_ = CreateButton(this, 0, 0, L"ScrollButtonDown", L"", L"", L"", 0);
    if (!vertical) {
        upButton_->angle = kQuarterTurnBack;
        downButton_->angle = kQuarterTurnBack;
    }
    pageUpArea_ = CreateButton(this, 0, 0, L"ScrollBackground", L"", L"", L"", 0);
    pageDownArea_ = CreateButton(this, 0, 0, L"ScrollBackground", L"", L"", L"", 0);
    for (IMButton* part : {downButton_, upButton_, pageUpArea_, pageDownArea_}) {
        part->OnMouseButton.connect(boost::bind(&IMScroll::OnButtonMouse, this, _1));
        part->OnMouseLeave.connect(boost::bind(&IMScroll::OnButtonMouse, this, _1));
    }

    slider_ = CreateButton(this, 0, 0, vertical ? L"ScrollSlider" : L"ScrollSliderHorizontal", L"", L"", L"", 0);
    slider_->OnMouseButton.connect(boost::bind(&IMScroll::OnSliderMouse, this, _1));
    // A drag ends with a release anywhere in the window, not only over the slider.
    if (IMWindow* window = RootWindow()) {
        window->OnMouseLeave.connect(boost::bind(&IMScroll::OnSliderMouse, this, _1));
        window->OnMouseButton.connect(boost::bind(&IMScroll::OnSliderMouse, this, _1));
    }

    if (!rect) {
        auto* owner = dynamic_cast<IMControl*>(parent.Get());
        const RECT p = owner ? owner->GetRect() : RECT{0, 0, 800, 600};
        const int w = p.right - p.left;
        const int h = p.bottom - p.top;
        SetRect(vertical ? RECT{w - kDefaultThickness, 0, w, h} : RECT{0, h - kDefaultThickness, w, h});
    }
}

IMScroll::~IMScroll() { StopRepeat(); }

int IMScroll::SetRect(const RECT& r) {
    IMDialog::SetRect(r);
    Layout();
    return 0;
}

// [SECTION] Value, range and page

int IMScroll::SetValue(int v) {
    const int lo = minimum_;
    const int hi = maximum_ - page_;
    if (hi < std::max(lo, v))
        v = hi;
    else if (v < lo)
        v = lo;
    if (v == value_) return 0;
    value_ = v;
    Emit(OnPosition, IMEvent(this, 0), v);
    Layout();
    return 0;
}

void IMScroll::SetRange(int minimum, int maximum) {
    maximum_ = maximum;
    minimum_ = minimum;
    if (value_ > maximum_ - page_) value_ = maximum_ - page_;
    if (value_ < minimum_) value_ = minimum_;
    Layout();
}

void IMScroll::SetPage(int page) {
    if (value_ > maximum_ - page) value_ = maximum_ - page;
    page_ = page;
    Layout();
}

// [SECTION] Layout

int IMScroll::Thickness() { return orientation_ == Orientation::Vertical ? GetWidth() : GetHeight(); }

int IMScroll::Length() { return orientation_ == Orientation::Vertical ? GetHeight() : GetWidth(); }

void IMScroll::Place(IMControl* part, int along, int length) {
    const int w = Thickness();
    if (orientation_ == Orientation::Vertical)
        part->SetRect(RECT{0, along, w, along + length});
    else
        part->SetRect(RECT{along, 0, along + length, w});
}

void IMScroll::Layout() {
    const int w = Thickness();
    const int h = Length();
    const int track = h - 2 * w;
    const int range = maximum_ - minimum_;
    // An empty range shows the slider over the whole track.
    const auto scaled = [&](int v) { return range > 0 ? track * v / range : 0; };
    const int sliderLength = range > 0 ? std::clamp(track * page_ / range, 0, std::max(track, 0)) : std::max(track, 0);

    Place(upButton_, 0, w);
    Place(pageUpArea_, w, scaled(value_) + w);
    Place(downButton_, h - w, w);
    const int pageDownStart = scaled(value_ + page_) + w;
    Place(pageDownArea_, pageDownStart, track - scaled(value_ + page_));
    Place(background_, 0, h);
    // During a drag the slider stays where the pointer put it.
    if (!IsDragging()) Place(slider_, std::max(scaled(value_) + w, w), sliderLength);
    const RECT s = slider_->GetRect();
    const int at = orientation_ == Orientation::Vertical ? s.top : s.left;
    Place(slider_, at, sliderLength);
}

// [SECTION] Arrows and page areas

int IMScroll::StepOf(const IMControl* part) const {
    if (part == upButton_) return page_ / -10;
    if (part == downButton_) return page_ / 10;
    if (part == pageUpArea_) return -page_;
    if (part == pageDownArea_) return page_;
    return 0;
}

long IMScroll::OnButtonMouse(const IMMouseEvent& e) {
    if (e.IsMessage(WM_LBUTTONDOWN)) {
        StopRepeat();
        repeatPart_ = e.sender;
        SetValue(value_ + StepOf(e.sender));
        if (IMWindow* window = RootWindow()) {
            repeatTimer_ = window->AddTimer(kFirstRepeatMs);
            repeatFast_ = false;
            repeatConnection_ = window->ConnectTimer(repeatTimer_, boost::bind(&IMScroll::OnRepeatTick, this));
        }
    } else if ((e.IsMessage(WM_LBUTTONUP) || e.IsMessage(MSG_MOUSELEAVE)) && e.sender == repeatPart_) {
        StopRepeat();
    }
    return 0;
}

long IMScroll::OnRepeatTick() {
    if (!repeatPart_) return 0;
    SetValue(value_ + StepOf(repeatPart_));
    if (!repeatFast_) {
        // The first repeat came after the long delay; from now on the short one.
        IMWindow* window = RootWindow();
        if (!window) return 0;
        repeatConnection_.disconnect();
        window->RemoveTimer(repeatTimer_);
        repeatTimer_ = window->AddTimer(kRepeatMs);
        repeatFast_ = true;
        repeatConnection_ = window->ConnectTimer(repeatTimer_, boost::bind(&IMScroll::OnRepeatTick, this));
    }
    return 0;
}

void IMScroll::StopRepeat() {
    repeatConnection_.disconnect();
    if (repeatTimer_ != 0)
        if (IMWindow* window = RootWindow()) window->RemoveTimer(repeatTimer_);
    repeatTimer_ = 0;
    repeatPart_ = nullptr;
}

// [SECTION] The slider

long IMScroll::OnSliderMouse(const IMMouseEvent& e) {
    const bool vertical = orientation_ == Orientation::Vertical;
    if (e.sender == slider_ && e.IsMessage(WM_LBUTTONDOWN)) {
        IMWindow* window = RootWindow();
        if (!window || IsDragging()) return 0;
        const POINT p = window->LastMousePosition();
        const RECT s = slider_->GetRect();
        dragStartPointer_ = vertical ? p.y : p.x;
        dragStartSlider_ = vertical ? s.top : s.left;
        dragConnection_ =
            window->OnMouseMove.connect(boost::bind(&IMScroll::OnSliderMouse, this, boost::placeholders::_1));
        return 0;
    }
    if (e.IsMessage(WM_LBUTTONUP) || e.IsMessage(MSG_MOUSELEAVE)) {
        if (IsDragging()) {
            dragConnection_.disconnect();
            Layout();  // the slider snaps to the value it left behind
        }
        return 0;
    }
    if (e.IsMessage(WM_MOUSEMOVE) && IsDragging()) {
        const int w = Thickness();
        const int h = Length();
        const int track = h - 2 * w;
        const int sliderLength = vertical ? slider_->GetHeight() : slider_->GetWidth();
        const int pointer = vertical ? e.y : e.x;
        // The slider keeps its offset to the pointer and stops at the ends of the track (when
        // the two bounds cross, the far one wins).
        int top = dragStartSlider_ + (pointer - dragStartPointer_);
        top = std::min(std::max(top, w), h - w - sliderLength);
        if (track > 0) {
            const int range = maximum_ - minimum_;
            const int v = static_cast<int>(std::floor(static_cast<double>(range) * (top - w) / track + 0.5));
            if (v != value_) SetValue(v);
        }
        Place(slider_, top, sliderLength);
        Layout();
    }
    return 0;
}
