// The platform's system icon list as an image-list component.
//   TKivImageListSize     si_small, si_large
//   TKivSystemImageList   shares (or copies) the system list; icon indexes of files and folders
#pragma once

#include "host/graphics/ImageList.h"
#include "shell/ShellGlobals.h"

namespace zelnor {

enum TKivImageListSize { si_small, si_large };
inline const host::TEnumInfo KivImageListSizeInfo{"si_small", "si_large"};

// Bound to the system image list of its Size, so that icon indexes of the shell can be drawn
// directly. With ShareImages (and always at design time) the system list itself is used and never
// freed; without it the component holds a private copy of the images present when it was bound.
class TKivSystemImageList : public host::TCustomImageList {
  HOST_CLASS(TKivSystemImageList, host::TCustomImageList)
  explicit TKivSystemImageList(host::TComponent* owner = nullptr);

  TKivImageListSize Size() const { return size_; }
  void SetSize(TKivImageListSize size);
  using host::TCustomImageList::SetSize;
  void SetShareImages(bool share) override;

  // Icon index of `name` in the list of this Size; -1 when the shell has none. With `attributes`
  // not 0 the shell does not touch the file and judges by the name and those attributes.
  int GetFileInfo(const host::String& name, bool open, DWORD attributes) const;
  // The icon of an existing file (the shell reads it).
  int GetIndexFromFileName(const host::String& fileName) const;
  // The icon of files with this extension ("txt" or ".txt"; empty: files without one).
  int GetIndexFromExtension(const host::String& extension) const;
  int GetFolderIconNumber() const;
  int GetOpenedFolderIconNumber() const;
  // -1 when the special folder does not exist on this system.
  int GetSpecialFolderIcon(TKivShellFolder folder) const;

  // Binds to the system list of the current Size, shared or copied.
  void SetImageListHandle();

  // The DPI the icons are for (0: the screen's). The list is the system's whose icons have the
  // Size's pixels at that DPI (16 or 32 at 96), else the nearest larger one: icons are never
  // stretched.
  int PixelsPerInch() const { return ppi_; }
  void SetPixelsPerInch(int ppi);
  // The icon size Size asks for at the DPI.
  int WantedIconSize() const;

  // The form holds the attributes only; reading them binds the list again.
  void WriteState(host::TWriter& writer) override;
  void ReadState(host::TReader& reader) override;

 private:
  UINT SizeFlag() const { return size_ == si_large ? 0 : SHGFI_SMALLICON; }

  // The system's list with icons of WantedIconSize, or the nearest larger one.
  HIMAGELIST SystemList() const;

  TKivImageListSize size_ = si_small;
  int ppi_ = 0;
};

}  // namespace zelnor
