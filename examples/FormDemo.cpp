// The windowed demo: reads a form file into real windows and shows it, or saves a screenshot.
//   RunFormDemo          load, show, run or photograph
//   SaveWindowPng        BitBlt of a window's screen area, written as PNG with WIC
#include "FormDemo.h"

#include "host/core/HResult.h"
#include "host/core/Raii.h"
#include "host/forms/Forms.h"
#include "host/forms/MessageDialogs.h"
#include "host/forms/StdCtrls.h"

#include <wincodec.h>
#include <windows.h>

#include <cstdio>

using namespace host;

namespace {

void Say(const String& text) {
  const WideString wide = ToWide(text + "\n");
  DWORD written = 0;
  if (!WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), wide.data(), DWORD(wide.size()), &written,
                     nullptr))
    std::fputs((text + "\n").c_str(), stdout);
}

// A Windows path of the Unix root drive as a Unix path ("Z:\work\a.png" -> "/work/a.png").
String ToUnixPath(const String& path) {
  if (path.size() > 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') {
    String unix = path.substr(2);
    for (char& c : unix)
      if (c == '\\') c = '/';
    return unix;
  }
  return path;
}

void RegisterDemoHandlers() {
  TEventHandlers& handlers = EventHandlers();
  handlers.Register<TNotifyEvent>("DemoFormCreate", [](TObject* sender) {
    auto* form = static_cast<TForm*>(sender);
    if (auto* status = dynamic_cast<TControl*>(form->FindComponent("Status")))
      status->SetCaption("  " + IntToStr(form->ComponentCount()) + " components read from the form file");
  });
  handlers.Register<TNotifyEvent>("OkButtonClick", [](TObject*) {
    ShowMessage("The form file was read into real windows.");
  });
  handlers.Register<TNotifyEvent>("CloseButtonClick", [](TObject* sender) {
    if (auto* form = dynamic_cast<TForm*>(static_cast<TControl*>(sender)->GetParentForm()))
      form->Close();
  });
}

}  // namespace

// Copies the window's client area from the screen (PrintWindow gives blank images under Wine;
// without a window manager nobody draws the frame) and writes it as a PNG file.
void SaveWindowPng(HWND wnd, const String& fileName) {
  RECT r;
  GetClientRect(wnd, &r);
  MapWindowPoints(wnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  const int w = r.right - r.left, h = r.bottom - r.top;
  void* bits = nullptr;
  UniqueGdiObject bitmap{CreateDibSection32(w, h, &bits)};
  {
    WindowDC screen;
    UniqueDC mem{CreateCompatibleDC(screen.get())};
    SelectedObject select(mem.get(), bitmap.get());
    BitBlt(mem.get(), 0, 0, w, h, screen.get(), r.left, r.top, SRCCOPY);
    GdiFlush();
  }

  auto check = [](HRESULT hr, const char* what) {
    CheckHr<Exception>(hr, String("Saving the screenshot failed at ") + what);
  };
  ComPtr<IWICImagingFactory> factory;
  check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                         IID_PPV_ARGS(&factory)),
        "WIC");
  ComPtr<IWICStream> stream;
  check(factory->CreateStream(&stream), "stream");
  check(stream->InitializeFromFilename(ToWide(fileName).c_str(), GENERIC_WRITE), "file");
  ComPtr<IWICBitmapEncoder> encoder;
  check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder), "encoder");
  check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), "encoder");
  ComPtr<IWICBitmapFrameEncode> frame;
  check(encoder->CreateNewFrame(&frame, nullptr), "frame");
  check(frame->Initialize(nullptr), "frame");
  check(frame->SetSize(UINT(w), UINT(h)), "size");
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
  check(frame->SetPixelFormat(&format), "format");
  check(frame->WritePixels(UINT(h), UINT(w * 4), UINT(w * h * 4), static_cast<BYTE*>(bits)),
        "pixels");
  check(frame->Commit(), "commit");
  check(encoder->Commit(), "commit");
}

// Runs the queue until no window of the thread has painting left, then lets the window surfaces
// reach the X server.
void WaitUntilPainted(TForm* form) {
  RedrawWindow(form->Handle(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const ULONGLONG end = GetTickCount64() + 5000;
  while (GetTickCount64() < end) {
    Application().ProcessMessages();
    if (!(GetQueueStatus(QS_PAINT) & QS_PAINT)) break;
  }
  GdiFlush();
  const ULONGLONG settle = GetTickCount64() + 300;
  while (GetTickCount64() < settle) {
    Application().ProcessMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

String ExamplesFile(const String& name) {
  // The examples folder of the source tree; under Wine the Unix root is drive Z:.
  String folder = ZELNOR_EXAMPLES_DIR;
  if (!folder.empty() && folder[0] == '/') folder = "Z:" + folder;
  for (char& c : folder)
    if (c == '/') c = '\\';
  return IncludeTrailingBackslash(folder) + name;
}

int RunFormDemo(const String& formFile, const String& screenshotFile,
                const TExtraShots& extraShots) {
  CoInitializeGuard com;
  RegisterFormClasses();
  RegisterDemoHandlers();
  std::unique_ptr<TForm> form(TForm::CreateFromFile(formFile));
  // Message boxes carry the program's title.
  Application().SetTitle(form->Caption());
  Application().SetMainForm(form.get());
  form->Show();
  if (screenshotFile.empty()) {
    Application().Run();
    return 0;
  }
  WaitUntilPainted(form.get());
  SaveWindowPng(form->Handle(), screenshotFile);
  Say("Screenshot: " + ToUnixPath(screenshotFile));
  if (extraShots)
    for (const String& file : extraShots(*form, screenshotFile)) Say("Screenshot: " + ToUnixPath(file));
  return 0;
}
