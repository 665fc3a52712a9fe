#pragma once

#include "app/cuiMain.h"

// The application object of this transceiver model: its descriptor, the model name and icon on
// the tree's root node, opening a data file by path, and the end of a Clone Information.
class indMain : public cuiMain {
  Q_OBJECT

 public:
  static constexpr int kImageCapacity = 12288;
  static constexpr int kMemoryMapExtent = 8368;
  static constexpr int kModelCode = 0x3251;
  static constexpr int kSubModelCode = 4;
  static constexpr int kTreeImageRig = 0;
  static constexpr int kTreeImageRig2 = 6;

  indMain(const AppObjects& objects, AppSeams seams);

  void buildModelDisplay() override;
  void takeOverLoadedImage() override;
  int openFileByPath(const QString& path) override;
  void identificationFinished(const CloneOutcome& outcome) override;
};
