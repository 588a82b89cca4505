// The header's controls, each name written here once. The names are the window's own (they are
// the controls' object names); every table of the program - the layout, the compact layout, the
// click bindings, the destinations and the shortcuts - names its controls by this enum, so a
// misspelt control is a compile error, not a missing row.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace ostrel {

// In the header's stacking order, bottom first.
#define OSTREL_CONTROLS(X)                                                                                     \
    X(JvImage1) X(bvl1) X(btnPortaal) X(btnPolisvoorwaarden) X(btnCalculator) X(btnTeamviewer) X(BtnHelpdesk) \
    X(BtnDownloads) X(BtnOstrelWeb) X(BtnBestanden) X(BtnFormulieren) X(BtnOWS) X(BtnHome) X(LblAdres)        \
    X(LblUrl) X(LblMail) X(bvl2) X(btnIntranet) X(btnPIM) X(JvTransparentButton1)

#define OSTREL_CONTROL_ENUMERATOR(name) name,
enum class Control : unsigned char { OSTREL_CONTROLS(OSTREL_CONTROL_ENUMERATOR) };
#undef OSTREL_CONTROL_ENUMERATOR

#define OSTREL_CONTROL_NAME(name) std::string_view(#name),
inline constexpr std::array kControlNames{OSTREL_CONTROLS(OSTREL_CONTROL_NAME)};
#undef OSTREL_CONTROL_NAME
#undef OSTREL_CONTROLS

inline constexpr std::size_t kControlCount = kControlNames.size();

constexpr std::size_t IndexOf(Control control)
{
    return static_cast<std::size_t>(control);
}

constexpr std::string_view NameOf(Control control)
{
    return kControlNames[IndexOf(control)];
}

} // namespace ostrel
