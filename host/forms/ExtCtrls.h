// Panels and images.
//   TBevelCut                 the look of a panel's bevels
//   TCustomPanel, TPanel      a container with bevels, a border and a centred caption
//   TImage                    a picture painted on the parent: Stretch, Center, Proportional
#pragma once

#include "host/forms/Controls.h"
#include "host/forms/StdCtrls.h"

namespace host {

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
inline const TEnumInfo BevelCutInfo{"bvNone", "bvLowered", "bvRaised", "bvSpace"};

class TCustomPanel : public TCustomControl {
  HOST_CLASS(TCustomPanel, TCustomControl)
  explicit TCustomPanel(TComponent* owner = nullptr);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut cut);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut cut);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int width);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int width);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);

  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void AdjustClientRect(RECT& rect) const override;
  void Paint() override;

 private:
  void Changed();

  TAlignment alignment_ = taCenter;
  TBevelCut bevelInner_ = bvNone;
  TBevelCut bevelOuter_ = bvRaised;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TBorderStyle borderStyle_ = bsNoBorder;
};

class TPanel : public TCustomPanel {
  HOST_CLASS(TPanel, TCustomPanel)
  using TCustomPanel::TCustomPanel;
};

class TImage : public TGraphicControl {
  HOST_CLASS(TImage, TGraphicControl)
  explicit TImage(TComponent* owner = nullptr);
  ~TImage() override;

  TPicture* Picture() const { return picture_.get(); }
  void SetPicture(const TPicture* picture) { picture_->Assign(picture); }
  // A picture file read into Picture; a relative name is taken from the folder of the form file
  // being read, else from the current folder. Kept so the form writes it back.
  const String& PictureFile() const { return pictureFile_; }
  void SetPictureFile(const String& fileName);

  bool Stretch() const { return stretch_; }
  void SetStretch(bool stretch);
  bool Center() const { return center_; }
  void SetCenter(bool center);
  bool Proportional() const { return proportional_; }
  void SetProportional(bool proportional);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);

  // Where the picture is drawn inside the client area.
  RECT DestRect() const;

 protected:
  void Paint() override;

 private:
  void PictureChanged();

  std::unique_ptr<TPicture> picture_;
  String pictureFile_;
  bool stretch_ = false;
  bool center_ = false;
  bool proportional_ = false;
  bool autoSize_ = false;
  bool transparent_ = false;
};

// Registers panels, images and the standard controls with the form reader.
void RegisterExtControls();

}  // namespace host
