// The creation functions every screen builds its controls with. Each makes the control with
// parent->Add as a child on `layer` and returns it; the parent owns it from the first moment,
// and the pointer stays valid while the control is open (see gui/container.h).
// Pictures are named as the texture registry names them: skin names ("DefaultBackGround",
// "PrintButtonNuv") or resource numbers ("128").
#pragma once

#include <string>

#include "gui/button.h"
#include "gui/dialog.h"
#include "gui/picture.h"

// The picture at (x, y) with its own size, modulated by `colour` (0xFFFFFFFF: unchanged).
IMPicture* CreatePicture(IMContainer* parent, int x, int y, const std::wstring& name, int layer, DWORD colour);
// A button at (x, y) with the size of its normal picture.
IMButton* CreateButton(IMContainer* parent, int x, int y, const std::wstring& normal, const std::wstring& disabled,
                       const std::wstring& hover, const std::wstring& pressed, int layer);
// A container with the rectangle {x, y, x + width, y + height}.
IMDialog* CreateDialog(IMContainer* parent, int x, int y, int width, int height, int layer);
