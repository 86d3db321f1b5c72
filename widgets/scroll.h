// IMScroll: a scroll bar. It holds an integer value between a minimum and the maximum minus a
// page, shows it as a slider in a track between two arrow buttons, and tells its listeners
// through OnPosition whenever the value changes.
//
// Vertical layout, with the bar's size W x H, the track T = H - 2W and the range R = max - min
// (the horizontal bar is the same along x):
//   up arrow         (0, 0)                     W x W
//   page-up area     (0, W)                     reaches W pixels under the slider's top
//   slider           (0, W + T*value/R)         W x T*page/R
//   page-down area   (0, W + T*(value+page)/R)  to the down arrow
//   down arrow       (0, H - W)                 W x W
// The slider is created last, so it is drawn over the track and hit first.
//
// What the mouse does:
//   state      | event                                        | next
//   idle       | left press on an arrow or a page area        | repeating: one step at once, the next
//              |                                              | after 500 ms, then one every 50 ms
//   repeating  | left release on that part, or the pointer    | idle
//              | leaves it                                    |
//   idle       | left press on the slider                     | dragging: the slider follows the
//              |                                              | pointer along the track
//   dragging   | left release anywhere in the window, or the  | idle
//              | pointer leaves the window                    |
// An arrow steps by a tenth of a page, a page area by a whole page. While dragging, the slider
// stays where the pointer put it and the value follows it, rounded to the nearest step.
//
// The repeat timer is a window timer that the bar removes when it stops repeating or is deleted.
// GUI thread only.
#pragma once

#include "core/signal.h"
#include "gui/button.h"
#include "gui/dialog.h"
#include "gui/picture.h"

class IMScroll : public IMDialog {
   public:
    enum class Orientation { Vertical, Horizontal };

    // rect null: a bar 16 pixels thick along the parent's right edge (a horizontal bar: along
    // its bottom edge). With a rect the parts are laid out by the first SetRect or SetValue.
    IMScroll(IMParent parent, const RECT* rect, Orientation orientation = Orientation::Vertical);
    ~IMScroll() override;

    // The container's SetRect, then Layout.
    int SetRect(const RECT& r) override;

    // Clamps v to minimum .. maximum - page (when the page is larger than the range, to
    // maximum - page), stores it, notifies OnPosition and lays the bar out. A value equal to the
    // current one does nothing. Returns 0.
    int SetValue(int v);
    // Set the range and the page; the value is pulled back inside when it no longer fits.
    // Neither notifies OnPosition.
    void SetRange(int minimum, int maximum);
    void SetPage(int page);

    int Value() const { return value_; }
    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }
    int Page() const { return page_; }
    bool IsRepeating() const { return repeatConnection_.connected(); }
    bool IsDragging() const { return dragConnection_.connected(); }

    // The arrows' and page areas' handler (connected to their OnMouseButton and OnMouseLeave).
    // Returns 0.
    virtual long OnButtonMouse(const IMMouseEvent& e);
    // The slider's handler: connected to the slider's OnMouseButton and to the main window's
    // OnMouseButton and OnMouseLeave, and during a drag to the window's OnMouseMove. Returns 0.
    virtual long OnSliderMouse(const IMMouseEvent& e);
    // Places the parts for the current value.
    virtual void Layout();

    // Called with {this bar, 0} and the new value after every change made by SetValue.
    IMSignal<long(const IMEvent&, int)> OnPosition;

    IMButton* UpButton() const { return upButton_; }
    IMButton* DownButton() const { return downButton_; }
    IMButton* PageUpArea() const { return pageUpArea_; }
    IMButton* PageDownArea() const { return pageDownArea_; }
    IMButton* Slider() const { return slider_; }

   private:
    // The step of an arrow or a page area; 0 for anything else.
    int StepOf(const IMControl* part) const;
    long OnRepeatTick();
    void StopRepeat();
    // Places a part at (along, across) = (position along the bar, 0) with the given length.
    void Place(IMControl* part, int along, int length);
    int Thickness();
    int Length();

    // The bar's own children, which it never closes one by one: they go with it.
    IMButton* upButton_ = nullptr;
    IMButton* downButton_ = nullptr;
    IMButton* pageUpArea_ = nullptr;
    IMButton* pageDownArea_ = nullptr;
    IMButton* slider_ = nullptr;
    IMPicture* background_ = nullptr;

    Orientation orientation_;
    int minimum_ = 0;
    int maximum_ = 100;
    int value_ = 0;
    int page_ = 10;

    // Auto-repeat: the part held, its timer and whether the timer already runs at the fast rate.
    IMControl* repeatPart_ = nullptr;
    unsigned repeatTimer_ = 0;
    bool repeatFast_ = false;
    IMConnection repeatConnection_;

    // Dragging: where the slider and the pointer (window coordinates, along the bar) were when
    // the drag began; the slider keeps that offset to the pointer.
    int dragStartSlider_ = 0;
    int dragStartPointer_ = 0;
    IMConnection dragConnection_;
};
