#pragma once
#include "skin/GradientRule.h"

namespace skin {

// The skin colours of the hover buttons.
inline constexpr Rgb kOuterBorder{171, 166, 151};
inline constexpr Rgb kInnerHighlight{255, 255, 255};
inline constexpr Rgb kDefaultText{0, 0, 0};
inline constexpr Rgb kLinkHotText{255, 0, 0};
inline constexpr Rgb kTitleHotText{255, 255, 255};

struct Band {
    Rgb from;
    Rgb to;
    friend bool operator==(const Band&, const Band&) = default;
};

inline constexpr Band kActiveUpperBand{{228, 229, 228}, {238, 238, 238}};  // pressed and hover
inline constexpr Band kPressedLowerBand{{195, 195, 194}, {219, 219, 219}};
inline constexpr Band kHoverLowerBand{{219, 219, 219}, {195, 195, 194}};
inline constexpr Band kIdleUpperBand{{207, 209, 208}, {209, 209, 209}};
inline constexpr Band kIdleLowerBand{{218, 218, 218}, {233, 233, 233}};

// How one hover button paints itself in one state.
struct ButtonLook {
    bool bSkin = false;     // rounded gradient with the two frames; otherwise nothing under the content
    int nSplitDivisor = 2;  // the bands meet at top + height / nSplitDivisor
    Band upper;
    Band lower;
    Rgb text = kDefaultText;
    bool bIcon = true;  // icon and text; otherwise centred text only
    friend bool operator==(const ButtonLook&, const ButtonLook&) = default;
};

ButtonLook FloatButtonLook(bool pressed, bool hovering);
ButtonLook ToolbarButtonLook(bool pressed, bool hovering);
ButtonLook MenuButtonLook(bool pressed, bool hovering);
ButtonLook TitleButtonLook(bool pressed, bool hovering);

// Where the content goes in a button of the given size: the icon's top-left corner and
// the rectangle whose bottom centre carries the text. All divisions truncate.
struct IconPlacement {
    int nIconX = 0;
    int nIconY = 0;
    int nTextTop = 0;
    int nTextBottom = 0;
};
IconPlacement PlaceIcon(int width, int height, int iconSize);

}  // namespace skin
