#include "app/ImageLists.h"

#include <QResource>

#include "base/textcodec.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcCellObj.h"
#include "kestrinicons.h"

namespace {

QList<QIcon> loadList(std::initializer_list<const char*> pictures) {
  QList<QIcon> list;
  for (const char* picture : pictures) {
    const QString path = ImageLists::iconPath(picture);
    list << (QResource(path).isValid() ? kestrinicons::icon(picture) : QIcon());
  }
  return list;
}

}  // namespace

QString ImageLists::iconPath(const char* picture) {
  return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(picture));
}

QIcon ImageLists::at(const QList<QIcon>& list, int index) {
  return index >= 0 && index < list.size() ? list.at(index) : QIcon();
}

ImageLists ImageLists::load() {
  ImageLists lists;
  lists.tree = loadList({"imgIcon_Tree_Rig", "imgIcon_Tree_Folder01", "imgIcon_Tree_Note01",
                         "imgIcon_Tree_Note02", "imgIcon_Tree_Warn_W_RB", "imgIcon_Tree_Warn_E_RB",
                         "imgIcon_Tree_Rig2"});
  lists.toolbar =
      loadList({"imgIcon_Bar_File_New", "imgIcon_Bar_File_Open", "imgIcon_Bar_File_Save",
                "imgIcon_Bar_Com1", "imgIcon_Bar_Com2", "imgIcon_Bar_Com3", "imgIcon_Bar_Com4",
                "imgIcon_Bar_Clone_Read", "imgIcon_Bar_Clone_Write", "imgIcon_Bar_Clone_Info",
                "imgIcon_Bar_Pcg_Pen", "imgIcon_Bar_Pcg_Fill", "imgIcon_Bar_Pcg_Slider",
                "imgIcon_Bar_Page_Top", "imgIcon_Bar_Page_Previous", "imgIcon_Bar_Page_Next",
                "imgIcon_Bar_Page_Last", "imgIcon_Bar_Page_Zoom"});
  lists.large = loadList({"imgIcon_Main", "imgIcon_Main2"});
  return lists;
}

QFont screenFont(const CellFont& font, const QFont& desktop, int percent) {
  QFont f = desktop;
  const QByteArray face = font.face;
  if (!face.isEmpty() && face != kOtherDefaultFace && face != kJapaneseDefaultFace) {
    f.setFamilies({fromCp932(face), desktop.family()});
  }
  int pixels = font.height < 0 ? -font.height : font.height * 5 / 6;
  if (pixels <= 0) pixels = 12;
  pixels = qMax(1, pixels * percent / 100);
  f.setPixelSize(pixels);
  f.setBold(font.style & kFontBold);
  f.setItalic(font.style & kFontItalic);
  f.setUnderline(font.style & kFontUnderline);
  f.setStrikeOut(font.style & kFontStrikeOut);
  return f;
}
