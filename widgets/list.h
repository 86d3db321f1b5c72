// IMList: a column of text lines in a white box with a one-pixel black frame; a click picks one
// line, which a translucent blue band then covers.
//
// The list itself draws nothing. What is seen lives in a panel, a container that is a sibling
// of the list (a child of the list's parent) and always stands exactly where the list stands:
//
//   panel       background (white), items box (1 pixel inside the frame), four frame lines
//   items box   the selection band, then the lines from y = 0 down, each as tall as its text
//
// Lines that do not fit are clipped by the box; the list does not scroll. Closing the list
// closes its panel. The parent owns both; the list watches the panel through a handle, and the
// pointers to the panel's own parts (box, pictures, lines) are good exactly while the panel is
// there: the list reaches them only after asking the handle. GUI thread only.
#pragma once

#include <string>
#include <vector>

#include "gui/control_ref.h"
#include "gui/dialog.h"
#include "gui/picture.h"
#include "views/static_text.h"

class IMList : public IMViewControl<IMEmptyView> {
   public:
    explicit IMList(IMParent parent);
    ~IMList() override;

    // Closes the panel along with the list.
    int Dispose() override;

    // Places the list and its panel at r and lays out the frame and the items box.
    int SetRect(const RECT& r) override;

    // Appends a line below the others, in black; a click on it selects it. The list's panel
    // owns the returned control; null once the panel is gone.
    IMStaticText* AddItem(const std::wstring& text);
    // Selects a line of this list (null: none) and moves the band over it; nothing once the
    // panel is gone.
    void Select(IMStaticText* line);

    // Null, and no lines, once the panel is gone.
    IMStaticText* Selected() const { return panel_ ? selected_ : nullptr; }
    const std::vector<IMStaticText*>& Items() const;
    IMDialog* Panel() const { return panel_.Get(); }
    IMDialog* ItemsBox() const { return panel_ ? itemsBox_ : nullptr; }
    IMPicture* SelectionBand() const { return panel_ ? selection_ : nullptr; }

   private:
    long OnItemClick(const IMMouseEvent& e);

    ControlRef<IMDialog> panel_;  // a sibling: the parent owns it
    // The panel's parts, good while panel_ is.
    IMDialog* itemsBox_ = nullptr;
    IMPicture* background_ = nullptr;
    IMPicture* borderTop_ = nullptr;
    IMPicture* borderBottom_ = nullptr;
    IMPicture* borderLeft_ = nullptr;
    IMPicture* borderRight_ = nullptr;
    IMPicture* selection_ = nullptr;
    std::vector<IMStaticText*> items_;
    IMStaticText* selected_ = nullptr;
};
