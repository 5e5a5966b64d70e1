#include "skin/ButtonLook.h"

namespace skin {

namespace {

ButtonLook Skin(int splitDivisor, Band upper, Band lower)
{
    ButtonLook look;
    look.bSkin = true;
    look.nSplitDivisor = splitDivisor;
    look.upper = upper;
    look.lower = lower;
    return look;
}

}  // namespace

ButtonLook FloatButtonLook(bool pressed, bool hovering)
{
    if (pressed)
        return Skin(3, kActiveUpperBand, kPressedLowerBand);
    if (hovering)
        return Skin(3, kActiveUpperBand, kHoverLowerBand);
    return Skin(2, kIdleUpperBand, kIdleLowerBand);
}

ButtonLook ToolbarButtonLook(bool pressed, bool hovering)
{
    if (pressed || hovering)
        return Skin(2, kIdleUpperBand, kIdleLowerBand);
    return {};
}

ButtonLook MenuButtonLook(bool pressed, bool hovering)
{
    ButtonLook look;
    if (pressed || hovering)
        look.text = kLinkHotText;
    return look;
}

ButtonLook TitleButtonLook(bool pressed, bool hovering)
{
    ButtonLook look;
    look.bIcon = false;
    if (hovering && !pressed)
        look.text = kTitleHotText;
    return look;
}

IconPlacement PlaceIcon(int width, int height, int iconSize)
{
    IconPlacement place;
    place.nIconX = (width - iconSize) / 2;
    place.nIconY = 5;
    place.nTextTop = iconSize + 2;
    place.nTextBottom = height - 2;
    return place;
}

}  // namespace skin
