#include "winshell/win_picture.h"

#include <objbase.h>
#include <wincodec.h>

#include <string>
#include <vector>

namespace winshell {
namespace {

// Releases a COM object at the end of its scope.
template <typename Interface>
struct Com {
  Interface* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  Interface** operator&() { return &p; }
  Interface* operator->() const { return p; }
};

// The title in a bar above the picture, as a desktop's frame shows it (the title carries the
// run's percentage); the system's own frame is left out, as a virtual display draws none.
void DrawTitle(HWND window, HDC memory, int width, int bar) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
  HGDIOBJ oldFont = SelectObject(memory, font);
  HBRUSH background = CreateSolidBrush(RGB(0x3c, 0x3f, 0x44));
  RECT area{0, 0, width, bar};
  FillRect(memory, &area, background);
  DeleteObject(background);
  std::wstring title(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  title.resize(
      static_cast<size_t>(GetWindowTextW(window, title.data(), static_cast<int>(title.size()))));
  SetBkMode(memory, TRANSPARENT);
  SetTextColor(memory, RGB(255, 255, 255));
  DrawTextW(memory, title.c_str(), static_cast<int>(title.size()), &area,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(memory, oldFont);
  DeleteObject(font);
}

// The window's pixels from its menu bar down, below a title bar; top row first, 32 bits per
// pixel (blue, green, red, unused).
bool TakePixels(HWND window, int& width, int& height, std::vector<BYTE>& pixels) {
  RECT frame;
  RECT client;
  if (!GetWindowRect(window, &frame) || !GetClientRect(window, &client)) return false;
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  MENUBARINFO menu{};
  menu.cbSize = sizeof menu;
  const LONG top = GetMenuBarInfo(window, OBJID_MENU, 0, &menu) ? menu.rcBar.top : origin.y;
  const int left = origin.x - frame.left;
  const int below = static_cast<int>(top - frame.top);
  const int bar = GetSystemMetrics(SM_CYCAPTION) + 6;
  width = client.right;
  const int shown = static_cast<int>(origin.y + client.bottom - top);
  height = bar + shown;
  if (width <= 0 || shown <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool taken = false;
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    DrawTitle(window, memory, width, bar);
    // What the window shows on the screen (PrintWindow leaves the controls out under Wine).
    HDC drawn = GetWindowDC(window);
    taken = BitBlt(memory, 0, bar, width, shown, drawn, left, below, SRCCOPY) != FALSE;
    ReleaseDC(window, drawn);
    GdiFlush();
    if (taken) {
      const auto* begin = static_cast<const BYTE*>(bits);
      pixels.assign(begin, begin + static_cast<size_t>(width) * height * 4);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return taken;
}

bool WritePng(const std::filesystem::path& file, int width, int height,
              const std::vector<BYTE>& pixels) {
  Com<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory)))) {
    return false;
  }
  Com<IWICStream> stream;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  Com<IPropertyBag2> options;
  // Three bytes a pixel, which every PNG encoder takes.
  std::vector<BYTE> rows;
  rows.reserve(pixels.size() / 4 * 3);
  for (size_t at = 0; at + 3 < pixels.size(); at += 4) {
    rows.insert(rows.end(), {pixels[at], pixels[at + 1], pixels[at + 2]});
  }
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  const UINT stride = static_cast<UINT>(width) * 3;
  return SUCCEEDED(factory->CreateStream(&stream)) &&
         SUCCEEDED(stream->InitializeFromFilename(file.wstring().c_str(), GENERIC_WRITE)) &&
         SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
         SUCCEEDED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) &&
         SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) &&
         SUCCEEDED(frame->Initialize(options.p)) &&
         SUCCEEDED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) &&
         SUCCEEDED(frame->SetPixelFormat(&format)) && format == GUID_WICPixelFormat24bppBGR &&
         SUCCEEDED(frame->WritePixels(static_cast<UINT>(height), stride,
                                      stride * static_cast<UINT>(height), rows.data())) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace

bool SaveWindowPicture(HWND window, const std::filesystem::path& file) {
  int width = 0;
  int height = 0;
  std::vector<BYTE> pixels;
  if (!TakePixels(window, width, height, pixels)) return false;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const bool written = WritePng(file, width, height, pixels);
  if (SUCCEEDED(com)) CoUninitialize();
  return written;
}

}  // namespace winshell
