#include "gui/creation.h"

IMPicture* CreatePicture(IMContainer* parent, int x, int y, const std::wstring& name, int layer, DWORD colour) {
    IMPicture& picture = parent->Add<IMPicture>(layer);
    picture.SetPicture(name);
    picture.SetPosition(x, y);
    picture.colour = colour;
    picture.SetDirty(true);
    return &picture;
}

IMButton* CreateButton(IMContainer* parent, int x, int y, const std::wstring& normal, const std::wstring& disabled,
                       const std::wstring& hover, const std::wstring& pressed, int layer) {
    IMButton& button = parent->Add<IMButton>(layer);
    button.SetPictures(normal, disabled, hover, pressed);
    button.SetPosition(x, y);
    return &button;
}

IMDialog* CreateDialog(IMContainer* parent, int x, int y, int width, int height, int layer) {
    const RECT r{x, y, x + width, y + height};
    return &parent->Add<IMDialog>(&r, layer);
}
