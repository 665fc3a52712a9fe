#pragma once

#include <QIcon>
#include <QString>
#include <array>

// The program's own pictures, compiled into the kestrin_icons library under ":/icons/".
// The name tables list them in the order of the image lists, so an ImageIndex read from the
// resource text is an index into them.
namespace kestrinicons {

// Tree list (16 x 16): rig, folder, two note pages, warning and error overlays, second rig.
inline constexpr std::array<const char*, 7> kTreeList = {
    "imgIcon_Tree_Rig",    "imgIcon_Tree_Folder01",  "imgIcon_Tree_Note01",
    "imgIcon_Tree_Note02", "imgIcon_Tree_Warn_W_RB", "imgIcon_Tree_Warn_E_RB",
    "imgIcon_Tree_Rig2"};

// Toolbar list (16 x 16).
inline constexpr std::array<const char*, 18> kToolBarList = {
    "imgIcon_Bar_File_New",   "imgIcon_Bar_File_Open",  "imgIcon_Bar_File_Save",
    "imgIcon_Bar_Com1",       "imgIcon_Bar_Com2",       "imgIcon_Bar_Com3",
    "imgIcon_Bar_Com4",       "imgIcon_Bar_Clone_Read", "imgIcon_Bar_Clone_Write",
    "imgIcon_Bar_Clone_Info", "imgIcon_Bar_Pcg_Pen",    "imgIcon_Bar_Pcg_Fill",
    "imgIcon_Bar_Pcg_Slider", "imgIcon_Bar_Page_Top",   "imgIcon_Bar_Page_Previous",
    "imgIcon_Bar_Page_Next",  "imgIcon_Bar_Page_Last",  "imgIcon_Bar_Page_Zoom"};

// Large list (32 x 32): the application icon and the one shown for the alternative model.
inline constexpr std::array<const char*, 2> kLargeList = {"imgIcon_Main", "imgIcon_Main2"};

// Application icon (drawn for any size up to 256 px) and the transceiver picture of the
// initial set-up dialog.
inline constexpr const char* kApplication = "kestrin";
inline constexpr const char* kTransceiver = "transceiver";

// Resource path of a picture: ":/icons/<name>.svg".
inline QString path(const char* name) {
  return QStringLiteral(":/icons/") + QLatin1String(name) + QStringLiteral(".svg");
}

// The sizes at which the build renders the pictures of the lists beforehand: the 16 px lists at
// device pixel ratios 1 and 2, the large list also at the sizes a window icon is offered in.
inline constexpr std::array<int, 2> kRenderedSizes = {16, 32};
inline constexpr std::array<int, 4> kRenderedLargeSizes = {16, 32, 64, 128};

// Resource path of a picture rendered beforehand at `size` px: ":/icons/rendered/<name>-<size>.rgba",
// size x size pixels of four bytes (red, green, blue, alpha; premultiplied).
QString renderedPath(const char* name, int size);

// The icon of a picture, as QIcon(path(name)) draws it. Reading an SVG is costly at start-up, so
// the sizes the build rendered beforehand are taken from those images (the very pixels the SVG
// gives at that size) and the SVG is read only when another size is asked for. Without rendered
// images (a build whose Qt lacks SVG) this is QIcon(path(name)).
QIcon icon(const char* name);

}  // namespace kestrinicons
